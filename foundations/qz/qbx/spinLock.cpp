#include "qz/qbx/spinLock.h"

#include "qz/qbx/sleepMilliseconds.h"

namespace qz::qbx {
namespace {

constexpr uint32_t kLongestWaitMilliseconds = 100;

}  // namespace

void spinLockAcquire(std::atomic<uint64_t>* word) {
  uint32_t wait = 0;
  while (word->fetch_or(1, std::memory_order_acquire) != 0) {
    sleepMilliseconds(wait);
    if (wait < kLongestWaitMilliseconds) ++wait;
  }
}

void spinLockRelease(std::atomic<uint64_t>* word) { word->exchange(0, std::memory_order_release); }

}  // namespace qz::qbx
