// vesktools::ThreadPool: the service's fixed set of worker threads on which
// sync domains run their member tasks. Tasks start in the order queued, up to
// one per worker at a time; the destructor returns only after every queued
// task has run. The pool returns no results: tasks keep their own outcome.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "vesklib/threadPoolInterface.h"

namespace vesktools {

class ThreadPool : public ThreadPoolInterface {
 public:
  // Starts all workers at once. When a worker cannot be started, the workers
  // already started are stopped and joined and the failure is thrown
  // (std::system_error).
  explicit ThreadPool(uint32_t threadCount);
  // Runs every task still queued, then joins the workers. With no workers,
  // queued tasks are released without being run.
  ~ThreadPool() override;
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Callable from any thread; never waits for the task.
  void enqueue(const std::shared_ptr<TaskInterface>& task) override;

  // From now on isStopping() is true; queued tasks still run.
  void announceStop() noexcept { stopping_.store(true); }
  bool isStopping() const noexcept override { return stopping_.load(); }

 private:
  void work();
  void stopAndJoin() noexcept;

  std::vector<std::thread> workers_;
  std::deque<std::shared_ptr<TaskInterface>> queue_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> stopping_{false};
};

}  // namespace vesktools
