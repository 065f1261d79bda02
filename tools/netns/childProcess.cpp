#include "childProcess.h"

#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace vesktest {

std::string describeWaitStatus(int waitStatus) {
  if (WIFEXITED(waitStatus)) return "exit code " + std::to_string(WEXITSTATUS(waitStatus));
  if (WIFSIGNALED(waitStatus)) return std::string("signal ") + strsignal(WTERMSIG(waitStatus));
  return "wait status " + std::to_string(waitStatus);
}

int waitWithDeadline(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status;
}

std::string makeScratchDir(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
  return pattern;
}

}  // namespace vesktest
