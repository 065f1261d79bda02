// The time-stamp daemon of a simulated target: the timestampService on the
// target's address and "timestampPort", answering as the target's
// "timestampDaemon" keys say, and following every change to them from the
// next request on. It reads a clock of its own: the host's real-time clock
// with the configured lead and drift.
#pragma once

#include "targetState.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vesklib::testing {
class TimestampDaemonStub;
}

namespace vesktools::targetsim {

class TimestampDaemon {
 public:
  // Listens once the constructor returns; throws std::runtime_error with the
  // reason when it cannot. The state must outlive the daemon. When quiet,
  // Thrift's own diagnostics (such as a client gone before its answer) are
  // dropped, for the whole process; otherwise Thrift writes them to stderr.
  TimestampDaemon(TargetState& state, const std::string& address, std::uint16_t port, bool quiet);
  // Stops listening and ends every connection, cutting short a delayed answer.
  ~TimestampDaemon();
  TimestampDaemon(const TimestampDaemon&) = delete;
  TimestampDaemon& operator=(const TimestampDaemon&) = delete;

  // The clock: host + offsetNs + what the drift has gathered. The drift runs
  // from the daemon's start and each change of it counts from when it was
  // made, so a change of driftPpm bends the clock without a jump, while a
  // change of offsetNs moves it by the difference.
  struct Clock {
    std::int64_t offsetNs = 0;
    double driftPpm = 0;
    std::int64_t sinceNs = 0;  // host time from which driftPpm applies
    double gatheredNs = 0;     // the drift's gain before sinceNs

    Clock changedTo(const TimestampDaemonConfig& config, std::int64_t hostNs) const;
    std::int64_t readNs(std::int64_t hostNs) const;
  };

 private:
  void follow(const TargetConfig& config);

  TargetState& state_;
  Clock clock_;  // changed only by follow(), which the state serialises
  std::unique_ptr<vesklib::testing::TimestampDaemonStub> stub_;
};

}  // namespace vesktools::targetsim
