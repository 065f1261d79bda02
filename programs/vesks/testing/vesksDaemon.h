// Test and benchmark support: runs the service daemon (vesks) as a child
// process inside the caller's private network namespace, where its local
// socket is the caller's own, and runs a program to its end with its output.
// The destructor stops the daemon and waits for it, so none is left behind.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "childProcess.h"

namespace vesktest {

// Where CMake built the daemon.
const char* vesksPath();

// The Pendulo manager's state that the daemons started here read: the host
// clock is not synchronised, so every correlator is a linear one.
constexpr char kManagerState[] = R"({"qlmAttributes":{"isHostTimeSynchronized":false}})";

// A simulated target's configuration with the one device and the one
// timescale of a default target, and extraMembers (",..." or empty) added.
constexpr char kTargetDevicePath[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kTargetTimescalePath[] = "/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";
std::string oneDeviceTarget(const std::string& extraMembers = "");

// The service's socket name as the client library gives it (the abstract
// name's NUL, "vesksRpc", a NUL), for raw connections to the daemon.
inline const std::string kServiceSocketName("\0vesksRpc\0", 10);

// Whether something accepts connections on the service's local socket.
bool serviceAcceptsConnections();

struct ProgramRun {
  int waitStatus;
  std::string out;
  std::string err;
};

// Runs args[0] with args in workingDirectory (empty: the caller's), with the
// manager's state above, and returns once it ended (killed after 30 s).
ProgramRun runProgram(const std::vector<std::string>& args, const std::string& workingDirectory = "");

class VesksDaemon {
 public:
  // Starts vesks with extraArgs, and the manager's state above; returns once
  // it accepts connections. Throws std::runtime_error when it ends first or
  // does not listen within 10 s.
  explicit VesksDaemon(const std::vector<std::string>& extraArgs = {});
  // Stops it with SIGTERM unless stopped already, and fails the running test
  // unless it then ended by that signal.
  ~VesksDaemon();
  VesksDaemon(const VesksDaemon&) = delete;
  VesksDaemon& operator=(const VesksDaemon&) = delete;

  pid_t pid() const { return pid_; }
  // Its resident set (VmRSS) and the largest it has been (VmHWM) in MiB, and
  // its number of threads; each throws std::runtime_error once it ended.
  double residentMiB() const;
  double peakResidentMiB() const;
  // Starts the peak afresh from the present resident set.
  void resetPeakResident() const;
  int threads() const;
  // Sends signal and waits for the end (SIGKILL after 10 s); returns the wait
  // status. Later calls send nothing and return the same status.
  int stop(int signal = SIGTERM);

 private:
  double statusNumber(const std::string& field) const;

  pid_t pid_ = -1;
  std::optional<int> waitStatus_;
};

}  // namespace vesktest
