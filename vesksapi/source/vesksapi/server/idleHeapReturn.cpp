#include "vesksapi/server/idleHeapReturn.h"

#include <malloc.h>

#include <utility>

namespace vesksapi {

IdleHeapReturn::IdleHeapReturn(Clock::duration idleTime, std::function<bool()> idle)
    : idleTime_(idleTime), idle_(std::move(idle)), returning_(&IdleHeapReturn::run, this) {}

IdleHeapReturn::~IdleHeapReturn() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  returning_.join();
}

void IdleHeapReturn::becameIdle() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    due_ = true;
    dueAt_ = Clock::now() + idleTime_;
  }
  wake_.notify_one();
}

void IdleHeapReturn::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return ending_ || due_; });
    if (ending_) return;
    // Until the due time holds still: a later becameIdle moves it on.
    Clock::time_point waitedFor;
    do {
      waitedFor = dueAt_;
      if (wake_.wait_until(lock, waitedFor, [this] { return ending_; })) return;
    } while (dueAt_ != waitedFor);
    due_ = false;
    lock.unlock();
    if (idle_()) malloc_trim(0);
    lock.lock();
  }
}

}  // namespace vesksapi
