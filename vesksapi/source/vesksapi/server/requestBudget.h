// RequestBudget: the bytes of request strings that the daemon's connections
// may hold at once, from the moment a string's length arrives until its call
// has been handled (its documents parsed), since a parse tree costs many times
// its text. A request whose strings total at most `freeBytes` holds no room
// and never waits; a larger one holds room for all of its strings and waits
// for it until a deadline. So no number of clients sending documents at once
// can exhaust the daemon's memory or its processors, and none of them delays
// the small requests every real client sends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace vesksapi {

class RequestBudget {
 public:
  using Clock = std::chrono::steady_clock;

  RequestBudget(size_t capacityBytes, size_t freeBytes);
  RequestBudget(const RequestBudget&) = delete;
  RequestBudget& operator=(const RequestBudget&) = delete;

  // Makes the calling thread's connection (each has a thread of its own)
  // hold room for a request whose strings now total `requestBytes`, waiting
  // for what it lacks behind the requests that wait already. False when the
  // deadline passed, or the budget was closed, before there was room. A
  // request larger than the whole budget waits until no other connection
  // holds any; when all that is held belongs to waiting requests, which
  // could only wait for each other, the first of them goes on beyond the
  // capacity.
  bool hold(size_t requestBytes, Clock::time_point deadline);
  // Gives back all the calling thread holds; false when it held none.
  bool giveBack() noexcept;
  // For a stop: waiting holds fail at once, now and later.
  void close();

  size_t used() const;

 private:
  struct Waiter;

  void grantWaiting();

  const size_t capacity_;
  const size_t free_;
  mutable std::mutex mutex_;
  // Woken one by one as room comes: a flood of waiting requests must not all
  // wake at each give-back.
  std::deque<Waiter*> waiting_;
  size_t used_ = 0;
  size_t heldByWaiting_ = 0;
  bool closed_ = false;
};

}  // namespace vesksapi
