#include "vesktools/threadPool.h"

namespace vesktools {

ThreadPool::ThreadPool(uint32_t threadCount) {
  workers_.reserve(threadCount);
  try {
    for (uint32_t i = 0; i < threadCount; ++i) workers_.emplace_back(&ThreadPool::work, this);
  } catch (...) {
    // A joinable thread left to its destructor would end the process.
    stopAndJoin();
    throw;
  }
}

ThreadPool::~ThreadPool() { stopAndJoin(); }

void ThreadPool::enqueue(const std::shared_ptr<TaskInterface>& task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(task);
  }
  wake_.notify_one();
}

// A worker ends only once the stop flag is set and the queue is empty, so
// tasks queued before or during the stop still run.
void ThreadPool::work() {
  while (true) {
    std::shared_ptr<TaskInterface> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_.load() || !queue_.empty(); });
      if (queue_.empty()) return;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task->execute();
  }
}

void ThreadPool::stopAndJoin() noexcept {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true);
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

}  // namespace vesktools
