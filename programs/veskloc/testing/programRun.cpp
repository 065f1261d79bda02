#include "programRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace veskloctest {
namespace {

// A file for one captured stream, removed when it goes.
class CaptureFile {
 public:
  CaptureFile() : path_("/tmp/programRun-XXXXXX"), fd_(mkstemp(path_.data())) {
    if (fd_ < 0) throw std::runtime_error("cannot make a capture file");
  }
  ~CaptureFile() {
    close(fd_);
    unlink(path_.c_str());
  }
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  int fd() const { return fd_; }
  std::string text() const {
    std::ifstream file(path_, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
  }

 private:
  std::string path_;
  int fd_;
};

[[noreturn]] void execute(const std::string& program, const std::vector<std::string>& args,
                          const Environment& environment, int out, int err) {
  for (const auto& [name, value] : environment) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  if (dup2(out, STDOUT_FILENO) >= 0 && dup2(err, STDERR_FILENO) >= 0) execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const Environment& environment) {
  CaptureFile out;
  CaptureFile err;
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("cannot fork");
  if (pid == 0) execute(program, args, environment, out.fd(), err.fd());
  int waitStatus = 0;
  while (waitpid(pid, &waitStatus, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("cannot wait for " + program);
  }
  const int status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  return {status, out.text(), err.text()};
}

}  // namespace veskloctest
