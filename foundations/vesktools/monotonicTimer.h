// A stopwatch on the monotonic clock and a timer with a sticky expired flag.
// Both are small value classes owned by one thread at a time; times are signed
// 64-bit nanoseconds of the steady clock, time-outs whole milliseconds. An
// expired timer stays expired, without reading the clock, until restarted.
#pragma once

#include <chrono>
#include <cstdint>

namespace vesktools {

// Deleted only as its concrete type: there is no virtual destructor.
class MonotonicStopWatch {
 public:
  MonotonicStopWatch();

  virtual void restart();

  // Now minus `start`.
  int64_t elapsedNanoseconds() const;
  // Elapsed nanoseconds divided by 1,000,000, truncating.
  int64_t elapsedMilliseconds() const;

  // The monotonic clock's reading in nanoseconds.
  static int64_t nowNanoseconds();

  int64_t start;
};

class MonotonicTimer : public MonotonicStopWatch {
 public:
  explicit MonotonicTimer(const std::chrono::milliseconds& timeout = std::chrono::milliseconds(0));

  // Restarts the count from now and clears `expired`.
  void restart() override;
  // Stores the new time-out, then restarts through restart().
  virtual void restart(const std::chrono::milliseconds& timeout);

  // True once the whole milliseconds elapsed reach `timeout`; a time-out of 0
  // expires at the first test.
  bool isExpired();

  bool expired;
  int64_t timeout;  // milliseconds
};

}  // namespace vesktools
