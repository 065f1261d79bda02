// A lock on one 64-bit word for short, rare critical sections (the one-time
// real-time check). A waiter sleeps between attempts, 0 ms first and one
// millisecond longer each time up to 100 ms.
#pragma once

#include <atomic>
#include <cstdint>

namespace qz::qbx {

// A free word holds 0.
void spinLockAcquire(std::atomic<uint64_t>* word);
void spinLockRelease(std::atomic<uint64_t>* word);

}  // namespace qz::qbx
