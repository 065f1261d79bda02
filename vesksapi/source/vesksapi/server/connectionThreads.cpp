#include "vesksapi/server/connectionThreads.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace vesksapi {

using apache::thrift::concurrency::Runnable;
using apache::thrift::concurrency::Thread;

class ConnectionThreads::Count {
 public:
  void enter() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++running_;
  }
  void leave() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--running_ == 0) ended_.notify_all();
  }
  void waitForNone() {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return running_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  long running_ = 0;
};

namespace {

class CountedThread final : public Thread {
 public:
  CountedThread(std::shared_ptr<Runnable> runnable, std::shared_ptr<ConnectionThreads::Count> count)
      : Thread(/*detached=*/true, std::move(runnable)), count_(std::move(count)) {}

  void start() override {
    count_->enter();
    try {
      Thread::start();
    } catch (...) {
      count_->leave();
      throw;
    }
  }

 protected:
  thread_funct_t getThreadFunc() const override { return countedMain; }

 private:
  // The count is left only once Thrift's part of the thread is over.
  static void countedMain(std::shared_ptr<Thread> thread) {
    const std::shared_ptr<ConnectionThreads::Count> count = static_cast<CountedThread&>(*thread).count_;
    Thread::threadMain(std::move(thread));
    count->leave();
  }

  std::shared_ptr<ConnectionThreads::Count> count_;
};

}  // namespace

ConnectionThreads::ConnectionThreads() : ThreadFactory(/*detached=*/true), running_(std::make_shared<Count>()) {}

std::shared_ptr<Thread> ConnectionThreads::newThread(std::shared_ptr<Runnable> runnable) const {
  auto thread = std::make_shared<CountedThread>(runnable, running_);
  runnable->thread(thread);
  return thread;
}

void ConnectionThreads::waitUntilAllEnded() const { running_->waitForNone(); }

}  // namespace vesksapi
