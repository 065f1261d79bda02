#include "qz/qbx/spinLock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace qz::qbx {
namespace {

TEST(QbxSpinLock, WaiterTakesTheWordOnceTheHolderReleasesIt) {
  std::atomic<uint64_t> word{0};
  spinLockAcquire(&word);
  EXPECT_NE(word.load(), 0u);
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    spinLockAcquire(&word);
    taken = true;
    spinLockRelease(&word);
  });
  EXPECT_FALSE(taken);
  spinLockRelease(&word);
  waiter.join();
  EXPECT_TRUE(taken);
  EXPECT_EQ(word.load(), 0u);
}

TEST(QbxSpinLock, ExcludesOtherThreads) {
  std::atomic<uint64_t> word{0};
  long counter = 0;  // guarded by the word alone
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int j = 0; j < 200; ++j) {
        spinLockAcquire(&word);
        ++counter;
        spinLockRelease(&word);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, 800);
}

}  // namespace
}  // namespace qz::qbx
