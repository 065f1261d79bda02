#include "vesklib/testing/timestampDaemonStub.h"

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TServerSocket.h>

#include "thriftQzerr_types.h"
#include "timestampService.h"

namespace vesklib::testing {

namespace {

using apache::thrift::TApplicationException;
using apache::thrift::TException;
using apache::thrift::protocol::TProtocol;

timestampService::Timestamp hostClock() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return wireTimestamp(now.tv_sec, static_cast<int32_t>(now.tv_nsec), 0, false);
}

}  // namespace

timestampService::Timestamp wireTimestamp(int64_t seconds, int32_t nanos, int32_t fractionalNanos,
                                          bool isNegative) {
  timestampService::Timestamp reading;
  reading.__set_seconds(seconds);
  reading.__set_nanos(nanos);
  reading.__set_fractionalNanos(fractionalNanos);
  reading.__set_isNegative(isNegative);
  return reading;
}

// Owns the listener, the accepting thread and one thread per open connection;
// the handler asks it for the behaviour of each request.
class TimestampDaemonStub::Server {
 public:
  enum class Request { getApiVersion, getTime, getTimeAndCurrentTimescales };

  Server(const std::string& host, int port, TimestampDaemonBehaviour behaviour);
  ~Server();

  void setBehaviour(TimestampDaemonBehaviour behaviour) {
    std::lock_guard<std::mutex> lock(mutex_);
    behaviour_ = std::move(behaviour);
  }
  TimestampDaemonCounts counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
  }
  bool hasApiVersion() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return behaviour_.apiVersion.has_value();
  }
  bool sendsHugeStringLength() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return behaviour_.hugeStringLength;
  }

  // Counts the request and waits its delay; the answer follows the behaviour
  // as it was when the request arrived.
  TimestampDaemonBehaviour arrived(Request request, int32_t id);

 private:
  // A thread serving one connection; `finished` is set as its last act.
  struct Connection {
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void acceptConnections();
  // Joins the threads of connections that ended: a long-running daemon must
  // not keep one for every connection it ever served.
  void joinFinishedConnections();
  void serve(std::shared_ptr<apache::thrift::transport::TTransport> socket);

  mutable std::mutex mutex_;
  std::condition_variable stopping_;
  bool stopped_ = false;
  TimestampDaemonBehaviour behaviour_;
  TimestampDaemonCounts counts_;
  std::shared_ptr<apache::thrift::transport::TServerSocket> listener_;
  std::list<Connection> connections_;  // the accepting thread's alone until it ends
  std::thread acceptor_;
};

namespace {

class Handler final : public timestampService::timestampServiceIf {
 public:
  using Server = TimestampDaemonStub::Server;
  explicit Handler(Server& server) : server_(server) {}

  void getTime(timestampService::TimestampInfo& result, int32_t id) override {
    const TimestampDaemonBehaviour behaviour = answerable(Server::Request::getTime, id);
    const timestampService::Timestamp reading = behaviour.clock();
    result.__set_seconds(reading.seconds);
    result.__set_nanos(reading.nanos);
    result.__set_fractionalNanos(reading.fractionalNanos);
    result.__set_isNegative(reading.isNegative);
    result.__set_uri(behaviour.readUri);
  }

  int32_t getApiVersion() override {
    const TimestampDaemonBehaviour behaviour = server_.arrived(Server::Request::getApiVersion, 0);
    return behaviour.apiVersion.value_or(0);
  }

  void getTimeAndCurrentTimescales(timestampService::TimeInfo& result) override {
    const TimestampDaemonBehaviour behaviour =
        answerable(Server::Request::getTimeAndCurrentTimescales, 0);
    result.__set_timestamp(behaviour.clock());
    result.__set_timescaleUris(behaviour.timescaleUris);
  }

 private:
  // The behaviour of a time request, unless it is to fail.
  TimestampDaemonBehaviour answerable(Server::Request request, int32_t id) {
    TimestampDaemonBehaviour behaviour = server_.arrived(request, id);
    if (behaviour.error) {
      thriftQzerr::thrift_qzerr error;
      error.__set_code(behaviour.error->code);
      error.__set_json(behaviour.error->json);
      throw error;
    }
    if (!behaviour.clock) behaviour.clock = hostClock;
    return behaviour;
  }

  Server& server_;
};

// The generated processor, except that a daemon without an API version
// answers getApiVersion as Thrift answers any method it does not have, and a
// daemon sending a huge string length answers the time requests so.
class Processor final : public timestampService::timestampServiceProcessor {
 public:
  using Server = TimestampDaemonStub::Server;
  Processor(const std::shared_ptr<Handler>& handler, Server& server)
      : timestampServiceProcessor(handler), server_(server) {}

 protected:
  bool dispatchCall(TProtocol* in, TProtocol* out, const std::string& name, int32_t sequenceId,
                    void* context) override {
    const bool timeRequest = name == "getTime" || name == "getTimeAndCurrentTimescales";
    if (timeRequest && server_.sendsHugeStringLength()) return answerWithHugeString(in, out, name, sequenceId);
    if (name != "getApiVersion" || server_.hasApiVersion()) {
      return timestampServiceProcessor::dispatchCall(in, out, name, sequenceId, context);
    }
    in->skip(apache::thrift::protocol::T_STRUCT);
    in->readMessageEnd();
    in->getTransport()->readEnd();
    server_.arrived(Server::Request::getApiVersion, 0);
    const TApplicationException unknown(TApplicationException::UNKNOWN_METHOD,
                                        "Invalid method name: '" + name + "'");
    out->writeMessageBegin(name, apache::thrift::protocol::T_EXCEPTION, sequenceId);
    unknown.write(out);
    out->writeMessageEnd();
    out->getTransport()->writeEnd();
    out->getTransport()->flush();
    return true;
  }

 private:
  // The reply's first string (getTime's "uri", the first of the URIs of
  // getTimeAndCurrentTimescales) claims INT32_MAX bytes; none follow, and
  // returning false ends the connection.
  bool answerWithHugeString(TProtocol* in, TProtocol* out, const std::string& name, int32_t sequenceId) {
    using namespace apache::thrift::protocol;
    const bool getTime = name == "getTime";
    timestampService::timestampService_getTime_args arguments;
    if (getTime) arguments.read(in);
    else in->skip(T_STRUCT);
    in->readMessageEnd();
    in->getTransport()->readEnd();
    server_.arrived(getTime ? Server::Request::getTime : Server::Request::getTimeAndCurrentTimescales,
                    getTime ? arguments.id : 0);
    out->writeMessageBegin(name, T_REPLY, sequenceId);
    out->writeStructBegin("result");
    out->writeFieldBegin("success", T_STRUCT, 0);
    out->writeStructBegin(getTime ? "TimestampInfo" : "TimeInfo");
    if (getTime) {
      out->writeFieldBegin("uri", T_STRING, 5);
    } else {
      out->writeFieldBegin("timescaleUris", T_LIST, 2);
      out->writeListBegin(T_STRING, 1);
    }
    out->writeI32(INT32_MAX);
    out->getTransport()->writeEnd();
    out->getTransport()->flush();
    return false;
  }

  Server& server_;
};

}  // namespace

TimestampDaemonStub::Server::Server(const std::string& host, int port, TimestampDaemonBehaviour behaviour)
    : behaviour_(std::move(behaviour)),
      listener_(std::make_shared<apache::thrift::transport::TServerSocket>(host, port)) {
  listener_->listen();
  acceptor_ = std::thread([this] { acceptConnections(); });
}

TimestampDaemonStub::Server::~Server() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  stopping_.notify_all();
  listener_->interrupt();
  listener_->interruptChildren();
  acceptor_.join();
  for (Connection& connection : connections_) connection.thread.join();
  listener_->close();
}

TimestampDaemonBehaviour TimestampDaemonStub::Server::arrived(Request request, int32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  switch (request) {
    case Request::getApiVersion:
      ++counts_.getApiVersion;
      break;
    case Request::getTime:
      ++counts_.getTime;
      counts_.lastGetTimeId = id;
      break;
    case Request::getTimeAndCurrentTimescales:
      ++counts_.getTimeAndCurrentTimescales;
      break;
  }
  TimestampDaemonBehaviour behaviour = behaviour_;
  stopping_.wait_for(lock, behaviour.replyDelay, [this] { return stopped_; });
  return behaviour;
}

void TimestampDaemonStub::Server::acceptConnections() {
  for (;;) {
    std::shared_ptr<apache::thrift::transport::TTransport> socket;
    try {
      socket = listener_->accept();
    } catch (const TException&) {
      return;  // interrupted: the stub stops
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++counts_.connections;
    }
    joinFinishedConnections();
    // The list's elements stay where they are, so the thread may point at its own.
    Connection& connection = connections_.emplace_back();
    connection.thread = std::thread([this, socket, &connection] {
      serve(socket);
      connection.finished = true;
    });
  }
}

void TimestampDaemonStub::Server::joinFinishedConnections() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (!it->finished) {
      ++it;
      continue;
    }
    it->thread.join();
    it = connections_.erase(it);
  }
}

void TimestampDaemonStub::Server::serve(std::shared_ptr<apache::thrift::transport::TTransport> socket) {
  auto transport = std::make_shared<apache::thrift::transport::TBufferedTransport>(socket);
  auto protocol = std::make_shared<apache::thrift::protocol::TBinaryProtocol>(transport);
  Processor processor(std::make_shared<Handler>(*this), *this);
  try {
    while (processor.process(protocol, protocol, nullptr)) {
    }
  } catch (const TException&) {
    // The client went away, or the stub stops.
  }
  transport->close();
}

TimestampDaemonStub::TimestampDaemonStub(const std::string& host, int port, TimestampDaemonBehaviour behaviour)
    : server_(std::make_unique<Server>(host, port, std::move(behaviour))) {}

TimestampDaemonStub::~TimestampDaemonStub() = default;

void TimestampDaemonStub::setBehaviour(TimestampDaemonBehaviour behaviour) {
  server_->setBehaviour(std::move(behaviour));
}

TimestampDaemonCounts TimestampDaemonStub::counts() const { return server_->counts(); }

}  // namespace vesklib::testing
