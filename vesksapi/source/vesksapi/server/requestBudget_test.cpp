#include "vesksapi/server/requestBudget.h"

#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace vesksapi {
namespace {

using Clock = RequestBudget::Clock;
using std::chrono::milliseconds;

// Distinct sizes, so that a budget that counts its free strings, or compares
// with the wrong limit, fails.
constexpr size_t kCapacity = 1000;
constexpr size_t kFree = 100;

Clock::time_point in(milliseconds wait) { return Clock::now() + wait; }

// Takes on a thread of its own, as another connection does, and keeps it
// until `release` is set.
std::future<bool> takeElsewhere(RequestBudget& budget, size_t bytes, milliseconds wait,
                                std::shared_future<void> release) {
  return std::async(std::launch::async, [&budget, bytes, wait, release] {
    const bool taken = budget.take(bytes, in(wait));
    release.wait();
    budget.giveBack();
    return taken;
  });
}

TEST(RequestBudget, LargeStringsShareTheCapacityAndSmallOnesAreNotCounted) {
  RequestBudget budget(kCapacity, kFree);
  EXPECT_TRUE(budget.take(600, in(milliseconds(0))));
  EXPECT_TRUE(budget.take(kFree, in(milliseconds(0))));
  EXPECT_EQ(budget.used(), 600u);
  EXPECT_TRUE(budget.take(400, in(milliseconds(0))));
  EXPECT_EQ(budget.used(), kCapacity);
  EXPECT_FALSE(budget.take(kFree + 1, in(milliseconds(50))));
  EXPECT_TRUE(budget.take(kFree, in(milliseconds(0)))) << "a small string never waits";
  budget.giveBack();
  EXPECT_EQ(budget.used(), 0u);
}

TEST(RequestBudget, AStringLargerThanTheWholeBudgetFitsAlone) {
  RequestBudget budget(kCapacity, kFree);
  EXPECT_TRUE(budget.take(5 * kCapacity, in(milliseconds(0))));
  EXPECT_FALSE(budget.take(kFree + 1, in(milliseconds(20))));
  budget.giveBack();
  EXPECT_TRUE(budget.take(kFree + 1, in(milliseconds(0))));
  budget.giveBack();
}

TEST(RequestBudget, AWaitingStringGetsTheRoomAnotherConnectionGivesBack) {
  RequestBudget budget(kCapacity, kFree);
  std::promise<void> release;
  std::future<bool> holder = takeElsewhere(budget, kCapacity, milliseconds(0), release.get_future().share());
  while (budget.used() == 0) std::this_thread::sleep_for(milliseconds(1));
  std::thread giver([&] {
    std::this_thread::sleep_for(milliseconds(100));
    release.set_value();
  });
  EXPECT_TRUE(budget.take(kCapacity, in(milliseconds(5000))));
  giver.join();
  EXPECT_TRUE(holder.get());
  EXPECT_EQ(budget.used(), kCapacity) << "only the other connection's share was given back";
}

TEST(RequestBudget, CloseEndsEveryWaitAtOnce) {
  RequestBudget budget(kCapacity, kFree);
  ASSERT_TRUE(budget.take(kCapacity, in(milliseconds(0))));
  std::promise<void> release;
  release.set_value();
  const auto start = Clock::now();
  std::future<bool> waiter = takeElsewhere(budget, kFree + 1, milliseconds(10000), release.get_future().share());
  std::this_thread::sleep_for(milliseconds(50));
  budget.close();
  EXPECT_FALSE(waiter.get());
  EXPECT_LT(Clock::now() - start, milliseconds(5000));
  budget.giveBack();
  EXPECT_FALSE(budget.take(kFree + 1, in(milliseconds(0)))) << "closed for good";
}

}  // namespace
}  // namespace vesksapi
