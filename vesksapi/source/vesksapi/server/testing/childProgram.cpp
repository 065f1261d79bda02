#include "childProgram.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace vesksapi::testing {

int runToEnd(const std::string& program) {
  char* arguments[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, arguments[0], nullptr, nullptr, arguments, environ) != 0) return -1;
  int waited = 0;
  if (waitpid(child, &waited, 0) != child) return -1;
  return waited;
}

}  // namespace vesksapi::testing
