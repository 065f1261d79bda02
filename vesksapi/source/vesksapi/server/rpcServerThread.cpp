#include "vesksapi/server/rpcServerThread.h"

#include <future>

#include <thrift/TProcessor.h>
#include <thrift/concurrency/Monitor.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TTransportException.h>

#include "vesksapi/server/boundedServerSocket.h"
#include "vesksapi/server/connectionThreads.h"
#include "vesksapi/server/idleHeapReturn.h"
#include "vesksapi/server/localEndpoint.h"
#include "vesksapi/server/requestBudget.h"
#include "vesksapi/server/vesksRpcHandler.h"
#include "wireCheckingProtocol.h"

namespace vesksapi {

namespace {

using apache::thrift::TException;
using apache::thrift::TProcessor;
using apache::thrift::protocol::TBinaryProtocolFactoryT;
using apache::thrift::protocol::TProtocol;
using apache::thrift::server::TConnectedClient;
using apache::thrift::server::TServerEventHandler;
using apache::thrift::server::TThreadedServer;
using apache::thrift::transport::TBufferedTransportFactory;
using apache::thrift::transport::TTransport;
using apache::thrift::transport::TTransportException;

// What one message may make the daemon hold: any local user can connect. The
// largest real request is a few KiB.
constexpr rpc::WireLimits kWireLimits{/*stringBytes=*/1024 * 1024, /*containerElements=*/64 * 1024};
// Long enough that requests one after another keep their heap; short enough
// that a burst's is back before anyone looks.
constexpr std::chrono::milliseconds kHeapReturnIdleTime(250);

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

// A request whose strings outgrow the free size waits for room in the
// budget, within the time it has; without room by then the connection ends.
rpc::StringAdmission admitInto(RequestBudget& budget, std::chrono::milliseconds requestLimit) {
  return [&budget, requestLimit](uint64_t bytes, RequestBudget::Clock::time_point messageBegan) {
    if (budget.hold(static_cast<size_t>(bytes), messageBegan + requestLimit)) return;
    throw TTransportException(TTransportException::TIMED_OUT, "no room for the request's strings in time");
  };
}

// Hands each message of a connection to the service's processor, and gives
// its strings' room in the budget back once the call has been handled (or
// has failed: a connection that ends holds none). Thrift's connection loop
// ends a connection on its own exceptions only; anything else (out of
// memory, a non-standard exception) would end the process, so it ends just
// that connection here.
class ConnectionGuard : public TProcessor {
 public:
  ConnectionGuard(std::shared_ptr<TProcessor> processor, RequestBudget& budget, IdleHeapReturn& heapReturn)
      : processor_(std::move(processor)), budget_(budget), heapReturn_(heapReturn) {}

  bool process(std::shared_ptr<TProtocol> in, std::shared_ptr<TProtocol> out, void* context) override {
    const GiveBackAtEnd giveBack{budget_, heapReturn_};
    try {
      return processor_->process(in, out, context);
    } catch (const TException&) {
      throw;
    } catch (...) {
      return false;
    }
  }

 private:
  struct GiveBackAtEnd {
    RequestBudget& budget;
    IdleHeapReturn& heapReturn;
    ~GiveBackAtEnd() {
      if (budget.giveBack() && budget.used() == 0) heapReturn.becameIdle();
    }
  };

  std::shared_ptr<TProcessor> processor_;
  RequestBudget& budget_;
  IdleHeapReturn& heapReturn_;
};

// One thread per connection. A connection whose thread cannot start (the
// system has none left) is closed, and the server goes on accepting.
class ThreadedServer final : public TThreadedServer {
 public:
  using TThreadedServer::TThreadedServer;

 protected:
  void onClientConnected(const std::shared_ptr<TConnectedClient>& client) override {
    try {
      TThreadedServer::onClientConnected(client);
    } catch (const std::exception&) {
      forget(client.get());
    }
  }

 private:
  // The unstarted thread holds a share of the client; it is let go outside
  // the lock, which the client's release takes again.
  void forget(TConnectedClient* client) {
    std::shared_ptr<apache::thrift::concurrency::Thread> unstarted;
    apache::thrift::concurrency::Synchronized lock(clientMonitor_);
    const auto entry = activeClientMap_.find(client);
    if (entry == activeClientMap_.end()) return;
    unstarted = std::move(entry->second);
    activeClientMap_.erase(entry);
  }
};

}  // namespace

struct RpcServerThread::Server {
  Server(const std::string& socketName, SessionInterface& session, ConnectionLimits limits,
         RequestBudgetLimits budgetLimits)
      : budget(budgetLimits.capacityBytes, budgetLimits.freeBytes),
        heapReturn(kHeapReturnIdleTime, [this] { return budget.used() == 0; }),
        protocolFactory(std::make_shared<TBinaryProtocolFactoryT<TTransport>>(
            /*string_limit=*/0, /*container_limit=*/0, /*strict_read=*/false, /*strict_write=*/true)),
        handler(std::make_shared<vesksRpcHandler>(session)),
        processor(std::make_shared<ConnectionGuard>(std::make_shared<vesksrpc::vesksRpcProcessor>(handler), budget,
                                                    heapReturn)),
        transportFactory(std::make_shared<TBufferedTransportFactory>()),
        serverSocket(std::make_shared<BoundedServerSocket>(localEndpoint::socketPath(socketName), limits)),
        listenSignal(std::make_shared<ListenSignal>()),
        connectionThreads(std::make_shared<ConnectionThreads>()),
        threaded(processor, serverSocket, transportFactory, transportFactory,
                 std::make_shared<rpc::WireCheckingProtocolFactory>(kWireLimits,
                                                                    admitInto(budget, limits.request)),
                 protocolFactory,
                 connectionThreads) {
    threaded.setServerEventHandler(listenSignal);
  }

  RequestBudget budget;  // first: every connection uses it
  IdleHeapReturn heapReturn;
  std::shared_ptr<TBinaryProtocolFactoryT<TTransport>> protocolFactory;  // replies; requests go through the check
  std::shared_ptr<vesksRpcHandler> handler;
  std::shared_ptr<TProcessor> processor;
  std::shared_ptr<TBufferedTransportFactory> transportFactory;
  std::shared_ptr<BoundedServerSocket> serverSocket;
  std::shared_ptr<ListenSignal> listenSignal;
  std::shared_ptr<ConnectionThreads> connectionThreads;
  ThreadedServer threaded;
};

RpcServerThread::RpcServerThread(const std::string& socketName, SessionInterface& session, ConnectionLimits limits,
                                 RequestBudgetLimits budget)
    : server_(std::make_unique<Server>(socketName, session, limits, budget)) {
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
  server_->budget.close();
  server_->threaded.stop();
  serving_.join();
  server_->connectionThreads->waitUntilAllEnded();
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
