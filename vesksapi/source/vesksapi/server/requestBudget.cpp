#include "vesksapi/server/requestBudget.h"

#include <algorithm>

namespace vesksapi {

namespace {

// What the calling thread's connection holds. A thread serves one connection
// of one server, so one holding per thread is enough.
struct Holding {
  const RequestBudget* budget = nullptr;
  size_t bytes = 0;
};
thread_local Holding holding;

}  // namespace

struct RequestBudget::Waiter {
  Waiter(size_t lackingBytes, size_t heldBytes) : lacking(lackingBytes), held(heldBytes) {}

  const size_t lacking;
  const size_t held;
  bool granted = false;
  std::condition_variable wake;
};

RequestBudget::RequestBudget(size_t capacityBytes, size_t freeBytes) : capacity_(capacityBytes), free_(freeBytes) {}

bool RequestBudget::hold(size_t requestBytes, Clock::time_point deadline) {
  if (requestBytes <= free_) return true;
  if (holding.budget != this) holding = Holding{this, 0};
  if (requestBytes <= holding.bytes) return true;
  Waiter self{requestBytes - holding.bytes, holding.bytes};
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) return false;
  waiting_.push_back(&self);
  heldByWaiting_ += self.held;
  grantWaiting();
  self.wake.wait_until(lock, deadline, [&] { return self.granted || closed_; });
  if (!self.granted) {
    waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &self));
    heldByWaiting_ -= self.held;
    grantWaiting();  // the next may fit where this one did not
    return false;
  }
  holding.bytes = requestBytes;
  return true;
}

// In order of arrival, so that no large request waits for ever behind small
// ones. Alone, a request fits whatever its size: the wire's limits bound it.
void RequestBudget::grantWaiting() {
  while (!closed_ && !waiting_.empty()) {
    Waiter& first = *waiting_.front();
    const bool fits = used_ + first.lacking <= capacity_ || used_ == heldByWaiting_;
    if (!fits) return;
    waiting_.pop_front();
    heldByWaiting_ -= first.held;
    used_ += first.lacking;
    first.granted = true;
    first.wake.notify_one();
  }
}

bool RequestBudget::giveBack() noexcept {
  if (holding.budget != this || holding.bytes == 0) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  used_ -= holding.bytes;
  holding.bytes = 0;
  grantWaiting();
  return true;
}

void RequestBudget::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  for (Waiter* waiter : waiting_) waiter->wake.notify_one();
}

size_t RequestBudget::used() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return used_;
}

}  // namespace vesksapi
