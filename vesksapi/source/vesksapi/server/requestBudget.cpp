#include "vesksapi/server/requestBudget.h"

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

RequestBudget::RequestBudget(size_t capacityBytes, size_t freeBytes) : capacity_(capacityBytes), free_(freeBytes) {}

bool RequestBudget::take(size_t bytes, Clock::time_point deadline) {
  if (bytes <= free_) return true;
  std::unique_lock<std::mutex> lock(mutex_);
  // Alone, a string fits whatever its size: the wire's own limit bounds it.
  const auto fits = [&] { return closed_ || used_ == 0 || used_ + bytes <= capacity_; };
  if (!room_.wait_until(lock, deadline, fits) || closed_) return false;
  used_ += bytes;
  if (holding.budget != this) holding = Holding{this, 0};
  holding.bytes += bytes;
  return true;
}

bool RequestBudget::giveBack() noexcept {
  if (holding.budget != this || holding.bytes == 0) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    used_ -= holding.bytes;
  }
  holding.bytes = 0;
  room_.notify_all();
  return true;
}

void RequestBudget::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  room_.notify_all();
}

size_t RequestBudget::used() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return used_;
}

}  // namespace vesksapi
