// The linear correlator between the host clock and a remote target's clock
// read through its time-stamp daemon (an in-process daemon on 127.0.0.2),
// which runs 5 s ahead of the host and drifts by +20 ppm. Part of the
// folder's network test program, which runs in a private network namespace.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/linearCorrelator.h"
#include "vesklib/testing/timestampDaemonStub.h"
#include "vesklib/timescaleProxy.h"

namespace vesklib {
namespace {

constexpr char kHost[] = "127.0.0.2";
constexpr int kPort = 9123;
constexpr char kLocalUri[] = "/veskwebs/timescales/pendulo/PTP-0/00-1b-21-ff-fe-aa-bb-cc";
constexpr int64_t kSecond = 1000000000;
constexpr int64_t kOffsetNanos = 5 * kSecond;
constexpr int64_t kDriftPpb = 20000;
// A correlated time lies off the truth by about the time from the host read
// to the daemon's read of its clock: bench/linearCorrelator_bench measures
// 0.12 to 0.19 ms (median) and up to 0.22 ms (worst). The bound leaves room
// for a busy test machine and the sanitizers.
constexpr int64_t kBound = 2000000;

int64_t hostNanos() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * kSecond + now.tv_nsec;
}

vesklib_Timestamp timestampOf(int64_t nanos) {
  return vesklib_Timestamp{nanos / kSecond, static_cast<int32_t>(nanos % kSecond), 0, false};
}

int64_t nanosOf(const vesklib_Timestamp& t) { return t.seconds * kSecond + t.nanos; }

TEST(LinearCorrelatorRemote, ConvertsBetweenTheHostAndATargetFiveSecondsAhead) {
  const int64_t origin = hostNanos();
  auto truth = [origin](int64_t host) { return host + kOffsetNanos + (host - origin) * kDriftPpb / kSecond; };
  testing::TimestampDaemonBehaviour behaviour;
  behaviour.readUri = kLocalUri;
  behaviour.timescaleUris = {kLocalUri};
  behaviour.clock = [truth] {
    const int64_t now = truth(hostNanos());
    timestampService::Timestamp reading;
    reading.__set_seconds(now / kSecond);
    reading.__set_nanos(static_cast<int32_t>(now % kSecond));
    return reading;
  };
  testing::TimestampDaemonStub daemon(kHost, kPort, behaviour);
  TimescaleProxy remote(std::string("/") + kHost + kLocalUri, kHost, kPort);
  HostTimescale host(kHostTimescaleUri);
  LinearCorrelator correlator("/correlator", &host, &remote, 5, 50, 10000);
  correlator.start();

  const int64_t now = hostNanos();
  vesklib_Timestamp out{};
  const vesklib_Timestamp hostTime = timestampOf(now);
  correlator.correlate(&hostTime, &host, &out);
  EXPECT_NEAR(truth(now), nanosOf(out), kBound);
  const vesklib_Timestamp targetTime = timestampOf(truth(now));
  correlator.correlate(&targetTime, &remote, &out);
  EXPECT_NEAR(now, nanosOf(out), kBound);
  EXPECT_NE(std::string::npos, correlator.toJson().find(R"("isThreadRunning" : true, "isSystemTimeSynced" : false })"));
}

}  // namespace
}  // namespace vesklib
