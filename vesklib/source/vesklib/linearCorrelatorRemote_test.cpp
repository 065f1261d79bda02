// The linear correlator between the host clock and a remote target's clock
// read through its time-stamp daemon (an in-process daemon on 127.0.0.2),
// which runs 5 s ahead of the host and drifts by +20 ppm. Part of the
// folder's network test program, which runs in a private network namespace.
#include <gtest/gtest.h>

#include <string>

#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/linearCorrelator.h"
#include "vesklib/testing/simulatedTargetClock.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesklib/timescaleProxy.h"

namespace vesklib {
namespace {

using testing::hostNanos;
using testing::nanosOf;
using testing::timestampOf;

// A correlated time lies off the truth by about the time from the host read
// to the daemon's read of its clock: bench/linearCorrelator_bench measures
// 0.12 to 0.19 ms (median) and up to 0.22 ms (worst). The bound leaves room
// for a busy test machine and the sanitizers.
constexpr int64_t kBound = 2000000;

TEST(LinearCorrelatorRemote, ConvertsBetweenTheHostAndATargetFiveSecondsAhead) {
  const testing::SimulatedTargetClock target("127.0.0.2", 5 * testing::kNanosPerSecond, 20000);
  TimescaleProxy remote(target.timescaleUri(), target.host(), testing::SimulatedTargetClock::kPort);
  HostTimescale host(kHostTimescaleUri);
  LinearCorrelator correlator("/correlator", &host, &remote, 5, 50, 10000);
  correlator.start();

  const int64_t now = hostNanos();
  vesklib_Timestamp out{};
  const vesklib_Timestamp hostTime = timestampOf(now);
  correlator.correlate(&hostTime, &host, &out);
  EXPECT_NEAR(target.truth(now), nanosOf(out), kBound);
  const vesklib_Timestamp targetTime = timestampOf(target.truth(now));
  correlator.correlate(&targetTime, &remote, &out);
  EXPECT_NEAR(now, nanosOf(out), kBound);
  EXPECT_NE(std::string::npos, correlator.toJson().find(R"("isThreadRunning" : true, "isSystemTimeSynced" : false })"));
}

}  // namespace
}  // namespace vesklib
