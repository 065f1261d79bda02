// The linear correlator between the host clock and a remote target's clock
// read through its time-stamp daemon (an in-process daemon on 127.0.0.2),
// which runs 5 s ahead of the host and drifts by +20 ppm, or dies. Part of
// the folder's network test program, which runs in a private network namespace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/linearCorrelator.h"
#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/simulatedTargetClock.h"
#include "vesklib/testing/timestampDaemonStub.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesklib/timescaleProxy.h"

namespace vesklib {
namespace {

using ::testing::HasSubstr;
using testing::caughtError;
using testing::hostNanos;
using testing::nanosOf;
using testing::timestampOf;

// A correlated time lies off the truth by about the time from the host read
// to the daemon's read of its clock: bench/linearCorrelator_bench measures
// 0.12 to 0.19 ms (median) and up to 0.22 ms (worst). This test checks the
// conversion, not its precision: the bound leaves room for a machine busy
// with the whole suite under the sanitizers (2.6 ms seen), and still fails
// any wrong offset or direction by orders of magnitude.
constexpr int64_t kBound = 20000000;

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

// A remote clock whose first read fails ends the sampling thread at once:
// the first correlate reports that thread's own failure as soon as the thread
// has ended, not -52010 after the whole wait for a first window.
TEST(LinearCorrelatorRemote, AFirstCorrelateReportsTheFailureOfADyingClock) {
  constexpr char kUri[] = "/127.0.0.2/veskwebs/timescales/pendulo/tr1/gm1";
  testing::TimestampDaemonBehaviour stalled;
  stalled.replyDelay = std::chrono::milliseconds(6000);  // past the client's 5 s receive time-out
  testing::TimestampDaemonBehaviour failing;
  failing.error = testing::TimestampDaemonBehaviour::Error{-52006, R"({"why":"gone"})"};
  const struct {
    const char* name;
    std::optional<testing::TimestampDaemonBehaviour> daemon;  // none: the port is refused
    int32_t code;
    const char* part;
  } clocks[] = {
      {"stalled version request", stalled, -52024, R"("type":"TTransportException::TIMED_OUT")"},
      {"refused port", std::nullopt, -52024, R"("type":"TTransportException::NOT_OPEN")"},
      {"daemon error", failing, -52006, R"({"why":"gone"})"},
  };
  for (const auto& clock : clocks) {
    std::optional<testing::TimestampDaemonStub> daemon;
    if (clock.daemon) daemon.emplace("127.0.0.2", testing::SimulatedTargetClock::kPort, *clock.daemon);
    TimescaleProxy remote(kUri, "127.0.0.2", testing::SimulatedTargetClock::kPort);
    HostTimescale host(kHostTimescaleUri);
    LinearCorrelator correlator("/correlator", &host, &remote, 5, 50, 60000);
    correlator.start();
    const vesklib_Timestamp now = timestampOf(hostNanos());
    vesklib_Timestamp out{};
    const auto error = caughtError([&] { correlator.correlate(&now, &host, &out); });
    EXPECT_EQ(error.code, clock.code) << clock.name << "\n" << error.detail;
    EXPECT_THAT(error.detail, HasSubstr(clock.part)) << clock.name;
  }
}

}  // namespace
}  // namespace vesklib
