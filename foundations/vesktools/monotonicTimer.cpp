#include "vesktools/monotonicTimer.h"

namespace vesktools {

MonotonicStopWatch::MonotonicStopWatch() : start(nowNanoseconds()) {}

void MonotonicStopWatch::restart() { start = nowNanoseconds(); }

int64_t MonotonicStopWatch::elapsedNanoseconds() const { return nowNanoseconds() - start; }

int64_t MonotonicStopWatch::elapsedMilliseconds() const { return elapsedNanoseconds() / 1000000; }

int64_t MonotonicStopWatch::nowNanoseconds() {
  const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
}

MonotonicTimer::MonotonicTimer(const std::chrono::milliseconds& timeout)
    : expired(false), timeout(timeout.count()) {}

void MonotonicTimer::restart() {
  start = nowNanoseconds();
  expired = false;
}

void MonotonicTimer::restart(const std::chrono::milliseconds& newTimeout) {
  timeout = newTimeout.count();
  restart();
}

bool MonotonicTimer::isExpired() {
  if (expired) return true;
  expired = elapsedMilliseconds() >= timeout;
  return expired;
}

}  // namespace vesktools
