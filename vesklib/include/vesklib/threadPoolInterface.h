// The pool a sync domain runs its member tasks on. The core library declares
// it; its callers implement it (the service's pool). enqueue never waits: the
// task's execute is called exactly once, later, on a pool thread.
#pragma once

#include <memory>

class ThreadPoolInterface {
 public:
  class TaskInterface {
   public:
    virtual ~TaskInterface() = default;
    // Called once by a pool thread; the pool catches nothing around it.
    virtual void execute() noexcept = 0;
  };

  virtual ~ThreadPoolInterface() = default;

  // Takes shared ownership of the task until it has run.
  virtual void enqueue(const std::shared_ptr<TaskInterface>& task) = 0;

  // True once the pool's owner is shutting down: a caller that waits on its
  // tasks stops waiting as if its time were up, and queues nothing more.
  virtual bool isStopping() const noexcept { return false; }
};
