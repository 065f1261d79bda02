// The clock of a simulated remote target for tests and benchmarks of
// correlation: a time-stamp daemon on host:9123 (inside the caller's
// process) whose clock runs on a known line over the host clock, an offset
// and a drift, and which publishes one timescale. `truth` is that line, the
// target's true time at a host time. The daemon listens once the
// constructor returns and stops when the object goes.
#pragma once

#include <cstdint>
#include <string>

#include "vesklib/testing/timestampDaemonStub.h"

namespace vesklib::testing {

class SimulatedTargetClock {
 public:
  static constexpr int kPort = 9123;

  SimulatedTargetClock(const std::string& host, int64_t offsetNanos, int64_t driftPpb);

  // The target's time at host time `hostNanos` (testing::hostNanos).
  int64_t truth(int64_t hostNanos) const;
  // The URI of the timescale the target publishes: the host, then a Pendulo
  // timescale ending in its grandmaster's id.
  const std::string& timescaleUri() const { return timescaleUri_; }
  const std::string& host() const { return host_; }

 private:
  TimestampDaemonBehaviour behaviour() const;

  const std::string host_;
  const std::string timescaleUri_;
  const int64_t origin_;
  const int64_t offsetNanos_;
  const int64_t driftPpb_;
  // Last, so it stops before the line its clock reads goes.
  TimestampDaemonStub daemon_;
};

}  // namespace vesklib::testing
