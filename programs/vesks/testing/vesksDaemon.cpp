#include "vesksDaemon.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace vesktest {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(10);
constexpr auto kRunTimeout = std::chrono::seconds(30);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

// The service's name in the abstract namespace, then NULs up to the full
// size of the address.
sockaddr_un serviceAddress() {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  memcpy(address.sun_path, kServiceSocketName.data(), kServiceSocketName.size());
  return address;
}

// A file with kManagerState, for the life of the process.
class ManagerStateFile {
 public:
  ManagerStateFile() {
    dir_ = makeScratchDir("vesks");
    path_ = dir_ + "/qzqlmState.json";
    if (!(std::ofstream(path_) << kManagerState)) throw std::runtime_error("cannot write " + path_);
  }
  ~ManagerStateFile() {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

const std::string& managerStatePath() {
  static const ManagerStateFile file;
  return file.path();
}

std::vector<char*> pointers(std::vector<std::string>& words) {
  std::vector<char*> result;
  for (std::string& word : words) result.push_back(word.data());
  result.push_back(nullptr);
  return result;
}

// The caller's environment with the manager's state file.
std::vector<std::string> childEnvironment() {
  const std::string setting = "QZQLM_STATE_FILE=" + managerStatePath();
  std::vector<std::string> result = {setting};
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (strncmp(*variable, setting.c_str(), strlen("QZQLM_STATE_FILE=")) != 0) result.emplace_back(*variable);
  }
  return result;
}

// Forks and execs args (the first a path, relative to workingDirectory when
// given) in the child; outFd and errFd (when not -1) become its standard
// output and error. Everything is prepared before the fork.
pid_t spawn(const std::vector<std::string>& args, const std::string& workingDirectory, int outFd, int errFd) {
  std::vector<std::string> words = args;
  std::vector<std::string> environment = childEnvironment();
  const std::vector<char*> argv = pointers(words);
  const std::vector<char*> envp = pointers(environment);

  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (outFd >= 0) dup2(outFd, STDOUT_FILENO);
  if (errFd >= 0) dup2(errFd, STDERR_FILENO);
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

// Reads both pipes to their ends, or until the deadline.
void drain(int outFd, int errFd, ProgramRun* run, Clock::time_point deadline) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&run->out, &run->err};
  int open = 2;
  while (open > 0 && Clock::now() < deadline) {
    if (poll(fds, 2, 100) < 0 && errno != EINTR) return;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

const char* vesksPath() { return VESK_VESKS_PATH; }

std::string oneDeviceTarget(const std::string& extraMembers) {
  return std::string(R"({"devices":[{"uri":")") + kTargetDevicePath + R"("}],"timescales":[")" +
         kTargetTimescalePath + "\"]" + extraMembers + "}";
}

bool serviceAcceptsConnections() {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_un address = serviceAddress();
  const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return connected;
}

ProgramRun runProgram(const std::vector<std::string>& args, const std::string& workingDirectory) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  }
  const pid_t pid = spawn(args, workingDirectory, out[1], err[1]);
  close(out[1]);
  close(err[1]);
  ProgramRun run{0, "", ""};
  const auto deadline = Clock::now() + kRunTimeout;
  if (pid > 0) drain(out[0], err[0], &run, deadline);
  close(out[0]);
  close(err[0]);
  if (pid < 0) throw std::runtime_error("fork: " + std::string(strerror(errno)));
  run.waitStatus = waitWithDeadline(pid, deadline);
  return run;
}

VesksDaemon::VesksDaemon(const std::vector<std::string>& extraArgs) {
  std::vector<std::string> args = {vesksPath()};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = spawn(args, "", -1, -1);
  if (pid_ < 0) throw std::runtime_error("fork: " + std::string(strerror(errno)));
  const auto deadline = Clock::now() + kStartTimeout;
  while (!serviceAcceptsConnections()) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      waitStatus_ = status;
      throw std::runtime_error("vesks ended during its start (" + describeWaitStatus(status) + ")");
    }
    if (Clock::now() > deadline) {
      stop(SIGKILL);
      throw std::runtime_error("vesks does not listen on its local socket");
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

// A daemon that did not end by the signal (a sanitizer's finding, a crash)
// fails the test that ran it; a test that stopped it checks the status itself.
VesksDaemon::~VesksDaemon() {
  if (waitStatus_) return;
  const int status = stop(SIGTERM);
  if (!(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM)) {
    ADD_FAILURE() << "vesks ended with " << describeWaitStatus(status);
  }
}

int VesksDaemon::stop(int signal) {
  if (waitStatus_) return *waitStatus_;
  kill(pid_, signal);
  waitStatus_ = waitWithDeadline(pid_, Clock::now() + kStopTimeout);
  return *waitStatus_;
}

// A number of /proc/<pid>/status, such as "VmRSS:" (in KiB) or "Threads:".
double VesksDaemon::statusNumber(const std::string& field) const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string word;
  while (status >> word) {
    if (word == field) {
      double number = 0;
      status >> number;
      return number;
    }
  }
  throw std::runtime_error("no " + field + " for the daemon");
}

double VesksDaemon::residentMiB() const { return statusNumber("VmRSS:") / 1024; }

double VesksDaemon::peakResidentMiB() const { return statusNumber("VmHWM:") / 1024; }

void VesksDaemon::resetPeakResident() const {
  std::ofstream clearRefs("/proc/" + std::to_string(pid_) + "/clear_refs");
  clearRefs << "5";
  if (!clearRefs.flush()) throw std::runtime_error("the daemon's peak resident set cannot be reset");
}

int VesksDaemon::threads() const { return static_cast<int>(statusNumber("Threads:")); }

}  // namespace vesktest
