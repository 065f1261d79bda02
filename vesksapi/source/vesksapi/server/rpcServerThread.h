// RpcServerThread: the service's Thrift server on the local abstract socket,
// one thread per connection, accepting on a thread of its own. Construction
// returns once the server listens, or throws why it could not (a name taken
// by another server, ...), leaving nothing running. Every connection is
// bounded in time (BoundedServerSocket), its bytes are checked before Thrift
// reads them, and its large strings wait for room in one budget of the whole
// server, so no client can hold or break another's call. stop
// (and the destructor) ends serving once the calls in progress have been
// answered.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "vesksapi/server/boundedServerSocket.h"
#include "vesksapi/session/documentParsers.h"

namespace vesksapi {

class SessionInterface;

// Ample for a local client: a request is a few KiB, a reply at most some MiB.
inline constexpr ConnectionLimits kServiceConnectionLimits{
    std::chrono::seconds(30), std::chrono::seconds(10), std::chrono::seconds(10)};

// The bytes of request strings all connections may hold at once while they
// are received and handled (RequestBudget); a request whose strings total at
// most `freeBytes` is not counted.
struct RequestBudgetLimits {
  size_t capacityBytes;
  size_t freeBytes;
};
// Eight of the largest strings at once (1 MiB each), parsed at about 40
// times their size, stay far below what a host gives a daemon. The free size
// is what the session parses at once on the caller's thread: every request of
// a real client but the largest documents (a create-and-add over 1000 hosts
// is some 20 KiB), at most a parse tree of 160 KiB each.
inline constexpr RequestBudgetLimits kServiceRequestBudget{8 * 1024 * 1024, DocumentParsers::kInlineDocumentBytes};

class RpcServerThread {
 public:
  // Serves `session`, which must outlive this object, on `socketName`.
  RpcServerThread(const std::string& socketName, SessionInterface& session,
                  ConnectionLimits limits = kServiceConnectionLimits,
                  RequestBudgetLimits budget = kServiceRequestBudget);
  RpcServerThread(const RpcServerThread&) = delete;
  RpcServerThread& operator=(const RpcServerThread&) = delete;
  ~RpcServerThread();

  // Closes the listening socket and every connection once its call in
  // progress is answered; returns when the serving thread has ended. No call
  // reaches the session afterwards. A second stop does nothing.
  void stop();

 private:
  struct Server;

  void run();

  std::unique_ptr<Server> server_;
  std::thread serving_;
};

}  // namespace vesksapi
