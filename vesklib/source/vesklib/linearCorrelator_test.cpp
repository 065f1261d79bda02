#include "vesklib/linearCorrelator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/fakeTimescale.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace vesklib {
namespace {

using testing::caughtError;
using testing::FakeTimescale;
using testing::hostNanos;
using testing::nanosOf;
using testing::sameTimestamp;
using testing::timestampOf;
using vesktools::pendulo::testing::hostFollowsState;
using vesktools::pendulo::testing::QzqlmStandIn;
using vesktools::pendulo::testing::StandInBuild;

constexpr int64_t kSecond = testing::kNanosPerSecond;
// Both fakes follow the host clock; their readings in one sample lie a few
// microseconds apart, more when the machine is busy.
constexpr int64_t kTolerance = 5000000;

template <typename Condition>
bool eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

vesklib_Timestamp correlate(TimestampCorrelatorInterface& correlator, const vesklib_Timestamp& in,
                            TimescaleInterface& source) {
  vesklib_Timestamp out{};
  correlator.correlate(&in, &source, &out);
  return out;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Releases held reads before the correlator (declared earlier) is stopped.
struct ReleaseAtEnd {
  FakeTimescale& timescale;
  ~ReleaseAtEnd() { timescale.release(); }
};

class LinearCorrelatorTest : public ::testing::Test {
 protected:
  FakeTimescale clock_{"/b"};
  FakeTimescale ahead_{"/c", 5 * kSecond};
};

TEST_F(LinearCorrelatorTest, RefusesAForeignSourceAndCorrelationBeforeStart) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 1, 2, 1000);
  FakeTimescale foreign("/d");
  const auto notOurs = caughtError([&] { correlate(correlator, {1, 0, 0, false}, foreign); });
  EXPECT_EQ(-52005, notOurs.code);
  EXPECT_TRUE(contains(notOurs.detail, "\"Source timescale does not match either timescale in the correlator.\""));
  FakeTimescale alsoClock("/b");
  const auto notStarted = caughtError([&] { correlate(correlator, {1, 0, 0, false}, alsoClock); });
  EXPECT_EQ(-52017, notStarted.code);
  EXPECT_TRUE(contains(notStarted.detail, R"({"message":"Correlator must be started before calling correlate."})"));
}

// This program has no manager client library unless a test brings the
// stand-in in: the host then never counts as synchronised.
TEST_F(LinearCorrelatorTest, DescribesItselfOnOneSpacedLine) {
  ASSERT_FALSE(QzqlmStandIn::isLoaded());
  FakeTimescale b("/b"), c("/c");
  LinearCorrelator correlator("/a", &b, &c, 100, 10, 200);
  EXPECT_EQ(R"({ "type" : "linear", "uri" : "/a", "timescaleUri1" : "/b", "timescaleUri2" : "/c", )"
            R"("samplingIntervalMs" : 100, "maxSampleSize" : 10, "maxWaitForFirstCorrelateMs" : 200, )"
            R"("isThreadRunning" : false, "isSystemTimeSynced" : false })",
            correlator.toJson());
  correlator.start();
  EXPECT_TRUE(contains(correlator.toJson(), R"("isThreadRunning" : true, "isSystemTimeSynced" : false })"));
}

TEST_F(LinearCorrelatorTest, ConvertsBothWaysAlongTheFittedLine) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 1, 20, 5000);
  correlator.start();
  const int64_t now = hostNanos();
  // The first call waits for a full window.
  const int64_t forward = nanosOf(correlate(correlator, timestampOf(now), clock_));
  EXPECT_GE(ahead_.reads(), 20u);
  EXPECT_NEAR(now + 5 * kSecond, forward, kTolerance);
  const int64_t back = nanosOf(correlate(correlator, timestampOf(now + 5 * kSecond), ahead_));
  EXPECT_NEAR(now, back, kTolerance);
}

TEST_F(LinearCorrelatorTest, StartingTwiceFailsAndChangesNothing) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 1, 2, 1000);
  correlator.start();
  const auto again = caughtError([&] { correlator.start(); });
  EXPECT_EQ(-52016, again.code);
  EXPECT_TRUE(contains(again.detail, R"({"message":"LinearCorrelator thread already started."})"));
  EXPECT_TRUE(correlator.isRunning());
  correlator.stop();
  EXPECT_FALSE(correlator.isRunning());
  correlator.start();
  EXPECT_TRUE(correlator.isRunning());
}

TEST_F(LinearCorrelatorTest, AWindowOfOneSampleCannotStart) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 1, 1, 1000);
  const auto error = caughtError([&] { correlator.start(); });
  EXPECT_EQ(-52005, error.code);
  EXPECT_TRUE(contains(error.detail, "Max history size needs to be >= 2."));
  EXPECT_FALSE(correlator.isRunning());
  EXPECT_EQ(-52017, caughtError([&] { correlate(correlator, {1, 0, 0, false}, clock_); }).code);
}

TEST_F(LinearCorrelatorTest, WithoutAWaitTooFewSamplesFail) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 100, 10, 0);
  clock_.hold();
  ReleaseAtEnd release{clock_};
  correlator.start();
  const auto error = caughtError([&] { correlate(correlator, {1, 0, 0, false}, clock_); });
  EXPECT_EQ(-52010, error.code);
  EXPECT_TRUE(contains(error.detail,
                       R"({"message":"Correlator does not have enough data points even after waiting for the )"
                       R"(appropriates sampling intervals.","samplingInterval_ms":100,"historySizeAfterCheck":0,)"
                       R"("minHistorySize":2})"))
      << error.detail;
}

// A drift of -100% holds the second clock at its first reading: only the
// first pair moved both readings, so the window never grows past it.
TEST_F(LinearCorrelatorTest, OnlyPairsInWhichBothReadingsMovedEnterTheWindow) {
  FakeTimescale stopped("/c", 5 * kSecond, -kSecond);
  LinearCorrelator correlator("/a", &clock_, &stopped, 1, 4, 200);
  correlator.start();
  const auto error = caughtError([&] { correlate(correlator, {1, 0, 0, false}, clock_); });
  EXPECT_EQ(-52010, error.code);
  EXPECT_TRUE(contains(error.detail, R"("historySizeAfterCheck":1,)")) << error.detail;
  EXPECT_GT(stopped.reads(), 4u);
}

TEST_F(LinearCorrelatorTest, AFailingClockEndsSamplingUntilTheNextStart) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 1, 4, 1000);
  ahead_.failFromRead(3);
  correlator.start();
  ASSERT_TRUE(eventually([&] { return !correlator.isRunning(); }));
  for (int call = 0; call < 2; ++call) {
    const auto error = caughtError([&] { correlate(correlator, {1, 0, 0, false}, clock_); });
    EXPECT_EQ(-52024, error.code);
    EXPECT_TRUE(contains(error.detail, R"({"message":"Scripted clock failure.","uri":"/c","read":3})"))
        << error.detail;
  }
  correlator.stop();
  EXPECT_EQ(-52024, caughtError([&] { correlate(correlator, {1, 0, 0, false}, clock_); }).code);
  ahead_.failFromRead(0);
  correlator.start();
  const int64_t now = hostNanos();
  EXPECT_NEAR(now + 5 * kSecond, nanosOf(correlate(correlator, timestampOf(now), clock_)), kTolerance);
}

// The thread's error is in place once it shows as not running, and a start
// right after the thread ended itself never sees that old error again.
TEST_F(LinearCorrelatorTest, TheEndedThreadsErrorNeitherLagsNorLeaksIntoTheNextRun) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 1, 2, 2000);
  for (int round = 0; round < 25; ++round) {
    ahead_.failFromRead(ahead_.reads() + 1);
    correlator.start();
    ASSERT_TRUE(eventually([&] { return !correlator.isRunning(); }));
    ASSERT_EQ(-52024, caughtError([&] { correlate(correlator, {1, 0, 0, false}, clock_); }).code) << round;
    ahead_.failFromRead(0);
    correlator.start();
    const int64_t now = hostNanos();
    ASSERT_NEAR(now + 5 * kSecond, nanosOf(correlate(correlator, timestampOf(now), clock_)), kTolerance) << round;
    correlator.stop();
  }
}

TEST_F(LinearCorrelatorTest, ARestartBeginsWithAnEmptyWindow) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 1, 10, 5000);
  correlator.start();
  correlate(correlator, timestampOf(hostNanos()), clock_);
  correlator.stop();
  ahead_.setOffset(10 * kSecond);
  correlator.start();
  const int64_t now = hostNanos();
  EXPECT_NEAR(now + 10 * kSecond, nanosOf(correlate(correlator, timestampOf(now), clock_)), kTolerance);
}

TEST_F(LinearCorrelatorTest, AnswersFromTheKeptWindowAfterStop) {
  LinearCorrelator correlator("/a", &clock_, &ahead_, 0, 2, 5000);  // no pause once full
  correlator.start();
  const int64_t now = hostNanos();
  correlate(correlator, timestampOf(now), clock_);
  correlator.stop();
  EXPECT_FALSE(correlator.isRunning());
  EXPECT_NEAR(now, nanosOf(correlate(correlator, timestampOf(now + 5 * kSecond), ahead_)), kTolerance);
}

// With a full window the thread pauses samplingIntervalMs between samples;
// neither stop nor the destructor waits that pause out.
TEST_F(LinearCorrelatorTest, StopAndTheDestructorCutALongPauseShort) {
  for (bool byDestructor : {false, true}) {
    auto correlator = std::make_unique<LinearCorrelator>("/a", &clock_, &ahead_, 10000, 2, 5000);
    correlator->start();
    correlate(*correlator, timestampOf(hostNanos()), clock_);  // waits for the full window
    const auto before = std::chrono::steady_clock::now();
    if (byDestructor) correlator.reset();
    else correlator->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5)) << byDestructor;
  }
}

// The remote timescale's URI ends in its grandmaster's id: ab-cd-ef reads
// as ab:cd:ef, as does the manager's AB:CD:EF.
constexpr char kRemoteUri[] = "/10.0.0.2/veskwebs/timescales/pendulo/PTP-0/ab-cd-ef";

TEST(LinearCorrelatorWithManager, HostFollowingTheRemoteGrandmasterGivesTheIdentity) {
  QzqlmStandIn standIn(StandInBuild::complete, hostFollowsState("AB:CD:EF"));
  FakeTimescale host(kHostTimescaleUri);
  FakeTimescale remote(kRemoteUri, 5 * kSecond);
  for (bool hostFirst : {true, false}) {
    LinearCorrelator correlator("/a", hostFirst ? &host : &remote, hostFirst ? &remote : &host, 1, 5, 5000);
    correlator.start();
    const vesklib_Timestamp in{1700000000, 123456789, 0, false};
    EXPECT_TRUE(sameTimestamp(in, correlate(correlator, in, host))) << hostFirst;
    EXPECT_TRUE(sameTimestamp(in, correlate(correlator, in, remote))) << hostFirst;
    EXPECT_TRUE(contains(correlator.toJson(), R"("isSystemTimeSynced" : true })"));
  }
}

TEST(LinearCorrelatorWithManager, AnotherGrandmasterOrAPartialLibraryKeepsTheClocksApart) {
  struct Case {
    StandInBuild build;
    const char* gmClockId;
  };
  for (const Case& c : {Case{StandInBuild::complete, "AB:CD:EE"}, Case{StandInBuild::withoutAdjustTime, "AB:CD:EF"}}) {
    QzqlmStandIn standIn(c.build, hostFollowsState(c.gmClockId));
    FakeTimescale host(kHostTimescaleUri);
    FakeTimescale remote(kRemoteUri, 5 * kSecond);
    LinearCorrelator correlator("/a", &host, &remote, 1, 5, 5000);
    correlator.start();
    const int64_t now = hostNanos();
    EXPECT_NEAR(now + 5 * kSecond, nanosOf(correlate(correlator, timestampOf(now), host)), kTolerance);
    EXPECT_TRUE(contains(correlator.toJson(), R"("isSystemTimeSynced" : false })"));
  }
}

// The manager's answers are read anew: once it stops reporting the host
// synchronised, the description says so.
TEST(LinearCorrelatorWithManager, FollowsTheManagersChangingAnswers) {
  QzqlmStandIn standIn(StandInBuild::complete, hostFollowsState("AB:CD:EF"));
  FakeTimescale host(kHostTimescaleUri);
  FakeTimescale remote(kRemoteUri, 5 * kSecond);
  LinearCorrelator correlator("/a", &remote, &host, 1, 5, 5000);
  correlator.start();
  EXPECT_TRUE(contains(correlator.toJson(), R"("isSystemTimeSynced" : true })"));
  standIn.write(R"({"reachable": false})");
  EXPECT_TRUE(contains(correlator.toJson(), R"("isSystemTimeSynced" : false })"));
  EXPECT_TRUE(correlator.isRunning());
}

}  // namespace
}  // namespace vesklib
