// Time stamps as signed 64-bit nanoseconds, for tests and benchmarks that
// compare clocks: the host's real-time clock now, and whole-nanosecond
// records of positive times to and from that count.
#pragma once

#include <cstdint>
#include <ctime>

#include "vesklib/timestamp.h"

namespace vesklib::testing {

inline constexpr int64_t kNanosPerSecond = 1000000000;

inline int64_t hostNanos() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

inline vesklib_Timestamp timestampOf(int64_t nanos) {
  return vesklib_Timestamp{nanos / kNanosPerSecond, static_cast<int32_t>(nanos % kNanosPerSecond), 0, false};
}

inline int64_t nanosOf(const vesklib_Timestamp& timestamp) {
  return timestamp.seconds * kNanosPerSecond + timestamp.nanos;
}

// All four fields equal.
inline bool sameTimestamp(const vesklib_Timestamp& a, const vesklib_Timestamp& b) {
  return a.seconds == b.seconds && a.nanos == b.nanos && a.fractionalNanos == b.fractionalNanos &&
         a.isNegative == b.isNegative;
}

}  // namespace vesklib::testing
