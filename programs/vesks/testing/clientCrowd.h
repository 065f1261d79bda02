// Test and benchmark support: local clients that misuse the service's socket
// the way careless or hostile programs do, held for as long as the crowd
// lives. Idle clients connect and send nothing; trickling ones send a call one
// byte per second; non-reading ones send a whole call and never read the
// reply. The destructor closes every connection and ends the crowd's thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vesksapi::testing {
class RawConnection;
}

namespace vesktest {

class ClientCrowd {
 public:
  ClientCrowd();
  ~ClientCrowd();
  ClientCrowd(const ClientCrowd&) = delete;
  ClientCrowd& operator=(const ClientCrowd&) = delete;

  // Each throws std::runtime_error when a client cannot connect.
  void addIdle(int count);
  void addTrickling(int count);
  void addNonReading(int count);

 private:
  void trickle();

  std::vector<std::unique_ptr<vesksapi::testing::RawConnection>> held_;
  struct Trickling {
    vesksapi::testing::RawConnection* client;
    size_t sent;
  };
  std::vector<Trickling> trickling_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool ending_ = false;
  std::thread trickler_;
};

}  // namespace vesktest
