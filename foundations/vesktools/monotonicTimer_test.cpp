#include "vesktools/monotonicTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vesktools {
namespace {

using std::chrono::milliseconds;

constexpr int64_t kNanosPerMilli = 1000000;

// Puts the timer's start `elapsedNanos` into the past, so expiry can be
// tested at any elapsed time without waiting for it.
void backdate(MonotonicStopWatch& watch, int64_t elapsedNanos) {
  watch.start = MonotonicStopWatch::nowNanoseconds() - elapsedNanos;
}

TEST(MonotonicStopWatchTest, RestartMovesStartToNow) {
  MonotonicStopWatch watch;
  backdate(watch, 60000 * kNanosPerMilli);
  const int64_t before = MonotonicStopWatch::nowNanoseconds();
  watch.restart();
  EXPECT_GE(watch.start, before);
  EXPECT_LE(watch.start, MonotonicStopWatch::nowNanoseconds());
  EXPECT_LT(watch.elapsedMilliseconds(), 60000);
}

TEST(MonotonicTimerTest, ZeroTimeoutExpiresAtTheFirstTest) {
  MonotonicTimer timer;
  EXPECT_EQ(timer.timeout, 0);
  EXPECT_FALSE(timer.expired);
  EXPECT_TRUE(timer.isExpired());
}

TEST(MonotonicTimerTest, ExpiresAfterItsTimeoutHasPassed) {
  MonotonicTimer timer(milliseconds(5));
  std::this_thread::sleep_for(milliseconds(5));
  EXPECT_TRUE(timer.isExpired());
}

// Only whole elapsed milliseconds count: 9,999.6 ms is 9,999 ms, not 10,000.
TEST(MonotonicTimerTest, ComparesTruncatedWholeMilliseconds) {
  MonotonicTimer timer(milliseconds(10000));
  backdate(timer, 10000 * kNanosPerMilli);
  EXPECT_TRUE(timer.isExpired());

  // A slow step between the backdating and the clock read may pass the
  // boundary; such a try proves nothing and is made again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    timer.restart();
    backdate(timer, 9999 * kNanosPerMilli + 600000);
    const bool expired = timer.isExpired();
    if (MonotonicStopWatch::nowNanoseconds() - timer.start >= 10000 * kNanosPerMilli) continue;
    EXPECT_FALSE(expired);
    return;
  }
  FAIL() << "never tested below the boundary";
}

TEST(MonotonicTimerTest, ExpiryIsStickyUntilRestart) {
  MonotonicTimer timer(milliseconds(10000));
  backdate(timer, 10000 * kNanosPerMilli);
  ASSERT_TRUE(timer.isExpired());

  // A fresh start does not undo the expiry: the flag is read, not the clock.
  timer.start = MonotonicStopWatch::nowNanoseconds();
  EXPECT_TRUE(timer.isExpired());
  EXPECT_TRUE(timer.isExpired());

  timer.restart();
  EXPECT_FALSE(timer.expired);
  EXPECT_FALSE(timer.isExpired());
  EXPECT_EQ(timer.timeout, 10000);
}

TEST(MonotonicTimerTest, RestartWithTimeoutReplacesItAndCountsFromNow) {
  MonotonicTimer timer(milliseconds(10000));
  backdate(timer, 20000 * kNanosPerMilli);
  ASSERT_TRUE(timer.isExpired());

  timer.restart(milliseconds(60000));
  EXPECT_EQ(timer.timeout, 60000);
  EXPECT_FALSE(timer.isExpired());

  timer.restart(milliseconds(0));
  EXPECT_EQ(timer.timeout, 0);
  EXPECT_FALSE(timer.expired);
  EXPECT_TRUE(timer.isExpired());
}

class CountingTimer : public MonotonicTimer {
 public:
  using MonotonicTimer::restart;
  void restart() override {
    ++restarts;
    MonotonicTimer::restart();
  }
  int restarts = 0;
};

TEST(MonotonicTimerTest, RestartWithTimeoutGoesThroughTheRestartSlot) {
  CountingTimer timer;
  MonotonicTimer& base = timer;
  base.restart(milliseconds(250));
  EXPECT_EQ(timer.restarts, 1);
  EXPECT_EQ(timer.timeout, 250);
}

}  // namespace
}  // namespace vesktools
