// RequestBudget: the bytes of large request strings that the daemon's
// connections may hold at once, from the moment a string's length arrives
// until its call has been handled (its documents parsed), since a parse tree
// costs many times its text. A string of at most `freeBytes` never waits; a
// larger one waits for room until a deadline, so no number of clients sending
// big documents at once can exhaust the daemon's memory, and none of them
// delays the small requests every real client sends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace vesksapi {

class RequestBudget {
 public:
  using Clock = std::chrono::steady_clock;

  RequestBudget(size_t capacityBytes, size_t freeBytes);
  RequestBudget(const RequestBudget&) = delete;
  RequestBudget& operator=(const RequestBudget&) = delete;

  // Takes room for a string of `bytes` on behalf of the calling thread's
  // connection (each connection has a thread of its own). False when the
  // deadline passed, or the budget was closed, before there was room. A
  // string larger than the whole budget waits for it to be empty.
  bool take(size_t bytes, Clock::time_point deadline);
  // Gives back all the calling thread has taken; false when it held none.
  bool giveBack() noexcept;
  // For a stop: waiting takes fail at once, now and later.
  void close();

  size_t used() const;

 private:
  const size_t capacity_;
  const size_t free_;
  mutable std::mutex mutex_;
  std::condition_variable room_;
  size_t used_ = 0;
  bool closed_ = false;
};

}  // namespace vesksapi
