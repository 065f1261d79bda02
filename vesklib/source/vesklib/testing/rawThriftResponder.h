// RawThriftResponder: a TCP listener that answers each Thrift binary-protocol
// call with scripted bytes, for the replies a processor never sends: none at
// all, a result without its field, a field of the wrong wire type. It serves
// one connection at a time, counts connections and calls, listens once the
// constructor returns and stops when destroyed.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <thrift/protocol/TProtocol.h>

namespace vesklib::testing {

class RawThriftResponder {
 public:
  struct Answer {
    std::string bytes;   // sent as they are; may be none
    bool close = false;  // then the connection is ended
  };
  // Given the name of the method called.
  using Script = std::function<Answer(const std::string& method)>;

  // Throws std::system_error when it cannot listen.
  RawThriftResponder(const std::string& host, int port, Script script);
  RawThriftResponder(const RawThriftResponder&) = delete;
  RawThriftResponder& operator=(const RawThriftResponder&) = delete;
  ~RawThriftResponder();

  int connections() const { return connections_; }
  int calls() const { return calls_; }

 private:
  void run();
  void serve(int connection);
  bool waitReadable(int fd);

  const Script script_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};  // a pipe whose closing end stops the thread
  std::atomic<int> connections_{0};
  std::atomic<int> calls_{0};
  std::thread thread_;
};

// One binary-protocol message (sequence id 0) whose body `writeBody` writes.
std::string encodeThriftMessage(const std::string& method, apache::thrift::protocol::TMessageType type,
                                const std::function<void(apache::thrift::protocol::TProtocol&)>& writeBody);

}  // namespace vesklib::testing
