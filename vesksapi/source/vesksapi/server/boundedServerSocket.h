// BoundedServerSocket: the server's listening socket, whose connections are
// bounded in time as a whole. From its connect, or from its last reply, a
// connection has `idle` to begin its next request and `request` from that
// request's first byte to send all of it; each reply must be taken within
// `reply`. Otherwise the connection times out and closes, so no client,
// however slow or careless, holds the server. The handling of a call between
// its request and its reply is not limited. When the server stops, a
// connection awaiting or sending a request closes at once and a reply being
// written has 500 ms more at most. Accepting goes on through a lack of
// descriptors or memory (it pauses briefly) instead of ending the server.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <thrift/transport/TServerSocket.h>

namespace vesksapi {

struct ConnectionLimits {
  std::chrono::milliseconds idle;
  std::chrono::milliseconds request;
  std::chrono::milliseconds reply;
};

class BoundedServerSocket final : public apache::thrift::transport::TServerSocket {
 public:
  BoundedServerSocket(const std::string& path, ConnectionLimits limits);

 protected:
  std::shared_ptr<apache::thrift::transport::TTransport> acceptImpl() override;
  std::shared_ptr<apache::thrift::transport::TSocket> createSocket(THRIFT_SOCKET client) override;

 private:
  ConnectionLimits limits_;
};

}  // namespace vesksapi
