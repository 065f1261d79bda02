// FakeDaemon: a stand-in for the service daemon on its local socket, for the
// client library's tests. It reads each call whole (the method's name and its
// arguments, rendered as text) and answers with scripted bytes, or ends the
// connection. It serves one connection at a time, listens once the
// constructor returns, and stops, ending any connection, when destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <thrift/protocol/TProtocol.h>
#include <thrift/transport/TServerSocket.h>

namespace vesksapi::testing {

struct ReceivedCall {
  std::string method;
  // By field id: an integer in decimal, a bool as true or false, a text as it
  // is, a structure as {id:value,...}.
  std::map<int16_t, std::string> arguments;
};

struct Answer {
  std::string bytes;   // sent as they are; may be none
  bool close = false;  // then the connection is ended
};

class FakeDaemon {
 public:
  using Script = std::function<Answer(const ReceivedCall& call)>;

  // Serves the 10-byte abstract socket name the client library connects to.
  explicit FakeDaemon(Script script);
  FakeDaemon(const FakeDaemon&) = delete;
  FakeDaemon& operator=(const FakeDaemon&) = delete;
  ~FakeDaemon();

  int connections() const { return connections_; }
  std::vector<ReceivedCall> calls() const;

 private:
  void run();
  void serve(const std::shared_ptr<apache::thrift::transport::TTransport>& connection);

  const Script script_;
  apache::thrift::transport::TServerSocket server_;
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<ReceivedCall> calls_;
  std::thread thread_;
};

// One binary-protocol reply message (sequence id 0) to `method` whose result
// structure `writeFields` fills (nothing: an empty result).
std::string encodeReply(const std::string& method,
                        const std::function<void(apache::thrift::protocol::TProtocol&)>& writeFields = {},
                        apache::thrift::protocol::TMessageType type = apache::thrift::protocol::T_REPLY);

}  // namespace vesksapi::testing
