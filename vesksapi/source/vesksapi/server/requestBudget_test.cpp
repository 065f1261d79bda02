#include "vesksapi/server/requestBudget.h"

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace vesksapi {
namespace {

using Clock = RequestBudget::Clock;
using std::chrono::milliseconds;

// Distinct sizes, so that a budget that counts its free requests, or compares
// with the wrong limit, fails.
constexpr size_t kCapacity = 1000;
constexpr size_t kFree = 100;

Clock::time_point in(milliseconds wait) { return Clock::now() + wait; }

// Holds on a thread of its own, as another connection does, and keeps it
// until `release` is set.
std::future<bool> holdElsewhere(RequestBudget& budget, size_t bytes, milliseconds wait,
                                std::shared_future<void> release) {
  return std::async(std::launch::async, [&budget, bytes, wait, release] {
    const bool held = budget.hold(bytes, in(wait));
    release.wait();
    budget.giveBack();
    return held;
  });
}

std::shared_future<void> alreadyReleased() {
  std::promise<void> release;
  release.set_value();
  return release.get_future().share();
}

void waitUntilUsed(const RequestBudget& budget, size_t bytes) {
  while (budget.used() != bytes) std::this_thread::sleep_for(milliseconds(1));
}

TEST(RequestBudget, LargeRequestsShareTheCapacityAndSmallOnesAreNotCounted) {
  RequestBudget budget(kCapacity, kFree);
  std::promise<void> release;
  std::future<bool> other = holdElsewhere(budget, 600, milliseconds(0), release.get_future().share());
  waitUntilUsed(budget, 600);
  EXPECT_TRUE(budget.hold(kFree, in(milliseconds(0))));
  EXPECT_EQ(budget.used(), 600u) << "a request of the free size holds nothing";
  EXPECT_TRUE(budget.hold(400, in(milliseconds(0))));
  EXPECT_EQ(budget.used(), kCapacity);
  EXPECT_FALSE(budget.hold(401, in(milliseconds(50)))) << "the request grew beyond the room there is";
  EXPECT_EQ(budget.used(), kCapacity);
  budget.giveBack();
  EXPECT_EQ(budget.used(), 600u);
  release.set_value();
  EXPECT_TRUE(other.get());
  EXPECT_EQ(budget.used(), 0u);
}

// What a request holds follows its strings' total: once above the free size,
// all of it counts, and growing asks only for the difference.
TEST(RequestBudget, ARequestHoldsItsWholeTotalOnceAboveTheFreeSize) {
  RequestBudget budget(kCapacity, kFree);
  EXPECT_TRUE(budget.hold(kFree, in(milliseconds(0))));
  EXPECT_EQ(budget.used(), 0u);
  EXPECT_TRUE(budget.hold(kFree + 1, in(milliseconds(0))));
  EXPECT_EQ(budget.used(), kFree + 1);
  EXPECT_TRUE(budget.hold(300, in(milliseconds(0))));
  EXPECT_TRUE(budget.hold(200, in(milliseconds(0)))) << "less than held already";
  EXPECT_EQ(budget.used(), 300u);
  EXPECT_TRUE(budget.giveBack());
  EXPECT_FALSE(budget.giveBack()) << "nothing left to give";
  EXPECT_EQ(budget.used(), 0u);
}

TEST(RequestBudget, ARequestLargerThanTheWholeBudgetFitsAlone) {
  RequestBudget budget(kCapacity, kFree);
  EXPECT_TRUE(budget.hold(5 * kCapacity, in(milliseconds(0))));
  EXPECT_TRUE(budget.hold(6 * kCapacity, in(milliseconds(0)))) << "its own room never keeps it waiting";
  EXPECT_FALSE(holdElsewhere(budget, kFree + 1, milliseconds(20), alreadyReleased()).get());
  budget.giveBack();
  EXPECT_TRUE(holdElsewhere(budget, kFree + 1, milliseconds(0), alreadyReleased()).get());
}

TEST(RequestBudget, AWaitingRequestGetsTheRoomAnotherConnectionGivesBack) {
  RequestBudget budget(kCapacity, kFree);
  std::promise<void> release;
  std::future<bool> holder = holdElsewhere(budget, kCapacity, milliseconds(0), release.get_future().share());
  waitUntilUsed(budget, kCapacity);
  std::thread giver([&] {
    std::this_thread::sleep_for(milliseconds(100));
    release.set_value();
  });
  EXPECT_TRUE(budget.hold(kCapacity, in(milliseconds(5000))));
  giver.join();
  EXPECT_TRUE(holder.get());
  EXPECT_EQ(budget.used(), kCapacity) << "only the other connection's share was given back";
  budget.giveBack();
}

// Room goes in order of asking: a small request that would fit does not pass
// a large one that waits, so no large request waits for ever.
TEST(RequestBudget, WaitingRequestsAreServedInTheOrderTheyAsked) {
  RequestBudget budget(kCapacity, kFree);
  ASSERT_TRUE(budget.hold(600, in(milliseconds(0))));
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  std::future<bool> large = holdElsewhere(budget, 900, milliseconds(5000), released);
  std::this_thread::sleep_for(milliseconds(50));
  std::future<bool> small = holdElsewhere(budget, 200, milliseconds(100), released);
  std::this_thread::sleep_for(milliseconds(300));
  budget.giveBack();
  waitUntilUsed(budget, 900);
  release.set_value();
  EXPECT_TRUE(large.get());
  EXPECT_FALSE(small.get()) << "its 100 ms passed while the large one waited";
}

// Two connections that each hold room and each wait for more could only wait
// for each other: the first goes on, beyond the capacity for once.
TEST(RequestBudget, ConnectionsWaitingForEachOtherDoNotWaitTheirTimeOut) {
  RequestBudget budget(kCapacity, kFree);
  std::promise<void> bothHold;
  const std::shared_future<void> bothHeld = bothHold.get_future().share();
  const auto growing = [&](size_t first) {
    return std::async(std::launch::async, [&budget, first, bothHeld] {
      const bool held = budget.hold(first, in(milliseconds(0)));
      bothHeld.wait();
      const auto start = Clock::now();
      const bool grew = budget.hold(first + 400, in(milliseconds(5000)));
      const bool inTime = Clock::now() - start < milliseconds(2500);
      budget.giveBack();
      return held && grew && inTime;
    });
  };
  std::future<bool> first = growing(500);
  std::future<bool> second = growing(400);
  waitUntilUsed(budget, 900);
  bothHold.set_value();
  EXPECT_TRUE(first.get());
  EXPECT_TRUE(second.get());
  EXPECT_EQ(budget.used(), 0u);
}

TEST(RequestBudget, CloseEndsEveryWaitAtOnce) {
  RequestBudget budget(kCapacity, kFree);
  ASSERT_TRUE(budget.hold(kCapacity, in(milliseconds(0))));
  const auto start = Clock::now();
  std::vector<std::future<bool>> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.push_back(holdElsewhere(budget, kFree + 1, milliseconds(10000), alreadyReleased()));
  }
  std::this_thread::sleep_for(milliseconds(50));
  budget.close();
  for (auto& waiter : waiters) EXPECT_FALSE(waiter.get());
  EXPECT_LT(Clock::now() - start, milliseconds(5000));
  budget.giveBack();
  EXPECT_FALSE(budget.hold(kFree + 1, in(milliseconds(0)))) << "closed for good";
}

}  // namespace
}  // namespace vesksapi
