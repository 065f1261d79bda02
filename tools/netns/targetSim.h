// Test support for end-to-end tests: runs vesktargetsim as a child process on
// one loopback address (inside the test's private network namespace) with a
// configuration given as JSON text, reads its request log and drives its
// control requests, its time-stamp daemon's included. The destructor stops the process and waits for it, so no
// test leaves one behind, and fails the test when the process did not then
// exit with 0.
#pragma once

#include "curlRequest.h"

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vesktest {

// Where CMake built the simulator.
const char* targetSimPath();

struct LoggedRequest {
  std::string method;
  std::string target;
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
  std::string body;

  // The first header of that name (compared without case); empty when there is none.
  std::string header(const std::string& name) const;
  bool hasHeader(const std::string& name) const;
};

class TargetSim {
 public:
  static constexpr std::uint16_t kHttpPort = 80;
  static constexpr std::uint16_t kTimestampPort = 9123;  // unless the config says otherwise

  // Starts the simulator with configJson as its config file, on address and
  // kHttpPort whatever the config says, quiet, with extraArgs added; returns
  // once both its web service and its time-stamp daemon accept connections.
  // Throws std::runtime_error when it exits first or does not listen within 10 s.
  explicit TargetSim(const std::string& configJson, const std::string& address = "127.0.0.2",
                     const std::vector<std::string>& extraArgs = {});
  ~TargetSim();
  TargetSim(const TargetSim&) = delete;
  TargetSim& operator=(const TargetSim&) = delete;

  const std::string& address() const { return address_; }
  pid_t pid() const { return pid_; }
  std::uint16_t timestampPort() const { return timestampPort_; }
  std::string url(const std::string& path = "") const;         // "http://" + address + path
  std::string controlUrl(const std::string& path = "") const;  // url("/control" + path)

  // GET /control/log: every request received since the start or the last clearRequests().
  std::vector<LoggedRequest> requests() const;
  void clearRequests() const;
  // POST /control/devices/..., POST /control/resourceList, POST
  // /control/timestampDaemon (see vesktargetsim --help); each throws
  // std::runtime_error unless the simulator answers 200.
  void updateDevice(const std::string& deviceUri, const std::string& patchJson) const;
  void updateResourceList(const std::string& patchJson) const;
  void updateTimestampDaemon(const std::string& patchJson) const;
  std::string state() const;  // GET /control/state

  // Sends signal and waits for the exit (SIGKILL after 10 s); returns the wait
  // status. Later calls send nothing and return the same status.
  int stop(int signal = SIGTERM);

 private:
  HttpResult controlOrThrow(const std::string& method, const std::string& path, const std::string& body) const;
  void waitUntilListening();
  void cleanUp();

  std::string address_;
  std::uint16_t timestampPort_;
  std::string configDir_;
  pid_t pid_ = -1;
  std::optional<int> waitStatus_;
};

}  // namespace vesktest
