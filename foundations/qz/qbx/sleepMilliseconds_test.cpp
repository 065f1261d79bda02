#include "qz/qbx/sleepMilliseconds.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qz::qbx {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> signalsSeen{0};

void countSignal(int) { ++signalsSeen; }

TEST(QbxSleepMilliseconds, ZeroReturnsAndAShortSleepLastsItsTime) {
  sleepMilliseconds(0);
  const Clock::time_point start = Clock::now();
  sleepMilliseconds(30);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
}

// A signal handler installed without SA_RESTART cuts clock_nanosleep short;
// the sleep must still last its whole time.
TEST(QbxSleepMilliseconds, SleepsOnAfterASignal) {
  struct sigaction action = {};
  struct sigaction previous = {};
  action.sa_handler = countSignal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  signalsSeen = 0;

  std::atomic<bool> started{false};
  Clock::duration slept{};
  std::thread sleeper([&] {
    started = true;
    const Clock::time_point start = Clock::now();
    sleepMilliseconds(300);
    slept = Clock::now() - start;
  });
  while (!started) std::this_thread::yield();
  for (int i = 0; i < 5; ++i) {
    sleepMilliseconds(20);
    pthread_kill(sleeper.native_handle(), SIGUSR1);
  }
  sleeper.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_GT(signalsSeen, 0);
  EXPECT_GE(slept, std::chrono::milliseconds(300));
}

}  // namespace
}  // namespace qz::qbx
