#include "vesksapi/server/idleHeapReturn.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace vesksapi {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kIdleTime(100);

// Counts how often the return asked whether the server is idle, answering
// `idle`.
struct IdleQuestions {
  std::atomic<int> asked{0};
  std::atomic<bool> idle{true};
  std::function<bool()> answer() {
    return [this] {
      ++asked;
      return idle.load();
    };
  }
};

TEST(IdleHeapReturn, AsksOnceTheIdleTimeHasPassedSinceTheLastBecameIdle) {
  IdleQuestions questions;
  IdleHeapReturn heapReturn(kIdleTime, questions.answer());
  for (int request = 0; request < 6; ++request) {
    heapReturn.becameIdle();
    std::this_thread::sleep_for(kIdleTime / 2);
  }
  EXPECT_EQ(questions.asked, 0) << "requests one after another keep their heap";
  std::this_thread::sleep_for(kIdleTime * 3);
  EXPECT_EQ(questions.asked, 1);
  std::this_thread::sleep_for(kIdleTime * 2);
  EXPECT_EQ(questions.asked, 1) << "nothing new to return";
}

TEST(IdleHeapReturn, NeverAsksBeforeTheServerBecameIdle) {
  IdleQuestions questions;
  {
    IdleHeapReturn heapReturn(kIdleTime, questions.answer());
    std::this_thread::sleep_for(kIdleTime * 3);
  }
  EXPECT_EQ(questions.asked, 0);
}

TEST(IdleHeapReturn, EndsAtOnceWhileWaiting) {
  IdleQuestions questions;
  const auto start = std::chrono::steady_clock::now();
  {
    IdleHeapReturn heapReturn(std::chrono::hours(1), questions.answer());
    heapReturn.becameIdle();
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(questions.asked, 0);
}

}  // namespace
}  // namespace vesksapi
