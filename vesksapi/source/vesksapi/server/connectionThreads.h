// ConnectionThreads: the thread factory of the server's connections. Its
// threads are detached, so Thrift may drop one that could not start without
// touching it, and counted, so the server's owner can still wait until the
// last connection thread has left everything of the server behind.
#pragma once

#include <memory>

#include <thrift/concurrency/ThreadFactory.h>

namespace vesksapi {

class ConnectionThreads final : public apache::thrift::concurrency::ThreadFactory {
 public:
  ConnectionThreads();

  std::shared_ptr<apache::thrift::concurrency::Thread> newThread(
      std::shared_ptr<apache::thrift::concurrency::Runnable> runnable) const override;

  // Returns once no thread of this factory runs.
  void waitUntilAllEnded() const;

  class Count;

 private:
  std::shared_ptr<Count> running_;
};

}  // namespace vesksapi
