// IdleHeapReturn: hands the heap that large requests left free back to the
// system once the server has been idle for a while. The allocator keeps what
// a parse tree took in the arena of the thread that parsed it; giving it back
// after each request instead would make the next one touch fresh pages again,
// at several times the cost of its parse. One thread of its own waits for the
// idle time; the destructor ends it at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vesksapi {

class IdleHeapReturn {
 public:
  using Clock = std::chrono::steady_clock;

  // `idle` is asked, once the time has passed, whether the server is idle
  // still.
  IdleHeapReturn(Clock::duration idleTime, std::function<bool()> idle);
  ~IdleHeapReturn();
  IdleHeapReturn(const IdleHeapReturn&) = delete;
  IdleHeapReturn& operator=(const IdleHeapReturn&) = delete;

  // The server has just become idle: the heap goes back `idleTime` from the
  // last such call, unless the server is busy then.
  void becameIdle();

 private:
  void run();

  const Clock::duration idleTime_;
  const std::function<bool()> idle_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool due_ = false;
  Clock::time_point dueAt_{};
  bool ending_ = false;
  std::thread returning_;
};

}  // namespace vesksapi
