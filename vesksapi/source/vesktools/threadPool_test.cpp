#include "vesktools/threadPool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

class FunctionTask : public ThreadPoolInterface::TaskInterface {
 public:
  explicit FunctionTask(std::function<void()> work) : work_(std::move(work)) {}
  void execute() noexcept override { work_(); }

 private:
  std::function<void()> work_;
};

std::shared_ptr<ThreadPoolInterface::TaskInterface> task(std::function<void()> work) {
  return std::make_shared<FunctionTask>(std::move(work));
}

// Holds the tasks that wait on it until opened (or until a safety limit).
class Gate {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool waitOpen() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

TEST(ThreadPoolTest, StartsTasksInTheOrderQueued) {
  std::mutex mutex;
  std::vector<int> order;
  Gate gate;
  {
    vesktools::ThreadPool pool(1);
    pool.enqueue(task([&] { gate.waitOpen(); }));
    for (int i = 0; i < 20; ++i) {
      pool.enqueue(task([&, i] {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(i);
      }));
    }
    gate.open();
  }
  std::vector<int> expected(20);
  for (int i = 0; i < 20; ++i) expected[i] = i;
  EXPECT_EQ(order, expected);
}

TEST(ThreadPoolTest, DestructorReturnsOnlyAfterEveryQueuedTaskRan) {
  std::atomic<int> finished{0};
  {
    vesktools::ThreadPool pool(2);
    for (int i = 0; i < 10; ++i) {
      pool.enqueue(task([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++finished;
      }));
    }
  }
  EXPECT_EQ(finished.load(), 10);
}

TEST(ThreadPoolTest, RunsAsManyTasksAtOnceAsItHasWorkers) {
  constexpr int kWorkers = 4;
  std::mutex mutex;
  std::condition_variable arrived;
  int running = 0;
  std::atomic<int> metAll{0};
  {
    vesktools::ThreadPool pool(kWorkers);
    for (int i = 0; i < kWorkers; ++i) {
      pool.enqueue(task([&] {
        std::unique_lock<std::mutex> lock(mutex);
        ++running;
        arrived.notify_all();
        if (arrived.wait_for(lock, std::chrono::seconds(10), [&] { return running == kWorkers; })) ++metAll;
      }));
    }
  }
  EXPECT_EQ(metAll.load(), kWorkers);
}

TEST(ThreadPoolTest, PoolWithoutWorkersReleasesItsTasksUnrun) {
  bool ran = false;
  std::weak_ptr<ThreadPoolInterface::TaskInterface> queued;
  {
    vesktools::ThreadPool pool(0);
    auto work = task([&] { ran = true; });
    queued = work;
    pool.enqueue(work);
  }
  EXPECT_FALSE(ran);
  EXPECT_TRUE(queued.expired());
}

// Outside the limit on processes, pthread_create fails: in a child that is
// no longer root, allowed two processes, the pool must report the failure
// rather than end the process with threads left joinable.
TEST(ThreadPoolTest, WorkerThatCannotStartIsReportedAfterTheOthersAreJoined) {
  constexpr int kSkipped = 77;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit two{2, 2};
    if (setrlimit(RLIMIT_NPROC, &two) != 0 || setuid(65534) != 0) _exit(kSkipped);
    try {
      vesktools::ThreadPool pool(16);
    } catch (const std::system_error&) {
      _exit(0);
    } catch (...) {
      _exit(2);
    }
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == kSkipped) GTEST_SKIP() << "cannot drop root in a child";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: all threads started; 2: another exception";
}

}  // namespace
