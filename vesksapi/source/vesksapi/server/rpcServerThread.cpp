#include "vesksapi/server/rpcServerThread.h"

#include <future>

#include <thrift/TProcessor.h>
#include <thrift/concurrency/ThreadFactory.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TServerSocket.h>

#include "vesksapi/server/localEndpoint.h"
#include "vesksapi/server/vesksRpcHandler.h"

namespace vesksapi {

namespace {

using apache::thrift::TException;
using apache::thrift::TProcessor;
using apache::thrift::concurrency::ThreadFactory;
using apache::thrift::protocol::TBinaryProtocolFactoryT;
using apache::thrift::protocol::TProtocol;
using apache::thrift::server::TServerEventHandler;
using apache::thrift::server::TThreadedServer;
using apache::thrift::transport::TBufferedTransportFactory;
using apache::thrift::transport::TServerSocket;
using apache::thrift::transport::TTransport;

// What one message may make the daemon allocate: any local user can connect.
constexpr int32_t kStringSizeLimit = 16 * 1024 * 1024;
constexpr int32_t kContainerSizeLimit = 4 * 1024 * 1024;
// A client that sends nothing, or takes nothing of its reply, for this long
// loses its connection: no client holds a connection thread, or a stop, for
// ever. A call in progress is not limited.
constexpr int kConnectionIdleTimeoutMs = 30 * 1000;
// Connections served at once; further ones wait to be accepted. The session
// serves one operation at a time anyway.
constexpr int64_t kConnectionLimit = 64;
// Connection threads are joinable, so serve() joins every one before it
// returns. A detached one may still be in Thrift's bookkeeping (it touches the
// server after reporting its end) when serve() returns and the server goes.
constexpr bool kDetachedConnectionThreads = false;

// Tells the starting thread, once, whether serving began: Thrift calls
// preServe right after the socket listens; a failure before that is handed
// over instead.
class ListenSignal : public TServerEventHandler {
 public:
  std::future<void> listening() { return promise_.get_future(); }
  void preServe() override { settle(nullptr); }
  // Only the first outcome counts.
  void settle(std::exception_ptr failure) {
    if (settled_) return;
    settled_ = true;
    if (failure) {
      promise_.set_exception(failure);
    } else {
      promise_.set_value();
    }
  }

 private:
  std::promise<void> promise_;
  bool settled_ = false;  // only the serving thread touches it
};

// Hands each message of a connection to the service's processor. Thrift's
// connection loop ends a connection on its own exceptions only; anything else
// (out of memory, a non-standard exception) would end the process, so it ends
// just that connection here.
class ConnectionGuard : public TProcessor {
 public:
  explicit ConnectionGuard(std::shared_ptr<TProcessor> processor) : processor_(std::move(processor)) {}

  bool process(std::shared_ptr<TProtocol> in, std::shared_ptr<TProtocol> out, void* context) override {
    try {
      return processor_->process(in, out, context);
    } catch (const TException&) {
      throw;
    } catch (...) {
      return false;
    }
  }

 private:
  std::shared_ptr<TProcessor> processor_;
};

std::shared_ptr<TServerSocket> makeServerSocket(const std::string& socketName) {
  auto socket = std::make_shared<TServerSocket>(localEndpoint::socketPath(socketName));
  socket->setRecvTimeout(kConnectionIdleTimeoutMs);
  socket->setSendTimeout(kConnectionIdleTimeoutMs);
  return socket;
}

}  // namespace

struct RpcServerThread::Server {
  Server(const std::string& socketName, SessionInterface& session)
      : protocolFactory(std::make_shared<TBinaryProtocolFactoryT<TTransport>>(
            kStringSizeLimit, kContainerSizeLimit, /*strict_read=*/false, /*strict_write=*/true)),
        handler(std::make_shared<vesksRpcHandler>(session)),
        processor(std::make_shared<ConnectionGuard>(std::make_shared<vesksrpc::vesksRpcProcessor>(handler))),
        transportFactory(std::make_shared<TBufferedTransportFactory>()),
        serverSocket(makeServerSocket(socketName)),
        listenSignal(std::make_shared<ListenSignal>()),
        threaded(processor, serverSocket, transportFactory, protocolFactory,
                 std::make_shared<ThreadFactory>(kDetachedConnectionThreads)) {
    threaded.setConcurrentClientLimit(kConnectionLimit);
    threaded.setServerEventHandler(listenSignal);
  }

  std::shared_ptr<TBinaryProtocolFactoryT<TTransport>> protocolFactory;
  std::shared_ptr<vesksRpcHandler> handler;
  std::shared_ptr<TProcessor> processor;
  std::shared_ptr<TBufferedTransportFactory> transportFactory;
  std::shared_ptr<TServerSocket> serverSocket;
  std::shared_ptr<ListenSignal> listenSignal;
  TThreadedServer threaded;
};

RpcServerThread::RpcServerThread(const std::string& socketName, SessionInterface& session)
    : server_(std::make_unique<Server>(socketName, session)) {
  std::future<void> listening = server_->listenSignal->listening();
  serving_ = std::thread(&RpcServerThread::run, this);
  try {
    listening.get();
  } catch (...) {
    serving_.join();
    throw;
  }
}

RpcServerThread::~RpcServerThread() { stop(); }

void RpcServerThread::stop() {
  if (!serving_.joinable()) return;
  server_->threaded.stop();
  serving_.join();
}

// Nothing may leave the serving thread. A failure before listening goes to
// the constructor; one after it (no memory or threads left to accept with)
// only ends accepting, and stop still finds the thread ended.
void RpcServerThread::run() {
  try {
    server_->threaded.serve();
  } catch (...) {
    server_->listenSignal->settle(std::current_exception());
  }
}

}  // namespace vesksapi
