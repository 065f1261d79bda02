#include "vesksapi/server/boundedServerSocket.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include <thrift/transport/TSocket.h>
#include <thrift/transport/TTransportException.h>

namespace vesksapi {

namespace {

using apache::thrift::transport::TSocket;
using apache::thrift::transport::TTransport;
using apache::thrift::transport::TTransportException;
using Clock = std::chrono::steady_clock;

// How long accepting rests after a failure of the system (no descriptor or
// memory left), before it tries again.
constexpr std::chrono::milliseconds kAcceptPause(20);
// What a reply being written when the server stops is still given.
constexpr std::chrono::milliseconds kStopGrace(500);

// One accepted connection. Its reads and writes move it through the phases of
// a call; each phase ends at a deadline, which bounds every read's socket
// time-out and every write's wait for room, so the whole phase cannot last
// longer.
class BoundedConnection final : public TSocket {
 public:
  BoundedConnection(THRIFT_SOCKET fd, std::shared_ptr<THRIFT_SOCKET> interruptListener, ConnectionLimits limits)
      : TSocket(fd, std::move(interruptListener)), limits_(limits) {
    begin(Phase::kAwaiting);
  }

  uint32_t read(uint8_t* buffer, uint32_t length) override {
    if (phase_ == Phase::kReplying) begin(Phase::kAwaiting);
    setRecvTimeout(remainingMs());
    const uint32_t got = TSocket::read(buffer, length);
    if (got > 0 && phase_ == Phase::kAwaiting) begin(Phase::kReceiving);
    return got;
  }

  // Waits for room only within what is left of the reply's time and never
  // blocks in a send, so a client that takes its reply a little at a time
  // cannot stretch it. A stop of the server leaves a reply a short grace.
  void write(const uint8_t* buffer, uint32_t length) override {
    if (phase_ != Phase::kReplying) begin(Phase::kReplying);
    while (length > 0) {
      waitForRoom();
      const ssize_t sent = ::send(socket_, buffer, length, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
        throw TTransportException(TTransportException::NOT_OPEN, "send() failed", errno);
      }
      buffer += sent;
      length -= static_cast<uint32_t>(sent);
    }
  }

 private:
  enum class Phase { kAwaiting, kReceiving, kReplying };

  void begin(Phase phase) {
    phase_ = phase;
    const std::chrono::milliseconds limit = phase == Phase::kAwaiting    ? limits_.idle
                                            : phase == Phase::kReceiving ? limits_.request
                                                                         : limits_.reply;
    deadline_ = Clock::now() + limit;
  }

  // Returns once the socket takes bytes or reports its failure (which the
  // send then meets); throws when the deadline passes first.
  void waitForRoom() {
    while (true) {
      pollfd watched[2] = {{socket_, POLLOUT, 0}, {-1, POLLIN, 0}};
      const bool watchStop = interruptListener_ && !stopSeen_;
      if (watchStop) watched[1].fd = *interruptListener_;
      const int ready = ::poll(watched, watchStop ? 2 : 1, remainingMs());
      if (ready < 0 && errno != EINTR) throw TTransportException(TTransportException::UNKNOWN, "poll() failed", errno);
      if (ready <= 0) continue;
      if (watched[0].revents != 0) return;
      if (watched[1].revents != 0) shortenForStop();
    }
  }

  // The stop's mark stays readable, so it is watched for once.
  void shortenForStop() {
    stopSeen_ = true;
    deadline_ = std::min(deadline_, Clock::now() + kStopGrace);
  }

  // At least 1 ms: a socket time-out of 0 means none.
  int remainingMs() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    if (left.count() <= 0) timedOut();
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 1));
  }

  [[noreturn]] static void timedOut() {
    throw TTransportException(TTransportException::TIMED_OUT, "connection deadline passed");
  }

  ConnectionLimits limits_;
  Phase phase_ = Phase::kAwaiting;
  Clock::time_point deadline_;
  bool stopSeen_ = false;
};

}  // namespace

BoundedServerSocket::BoundedServerSocket(const std::string& path, ConnectionLimits limits)
    : TServerSocket(path), limits_(limits) {}

// The server ends its accepting on any failure but a time-out or a stop; a
// failure of accept itself (descriptors or memory exhausted for a moment) is
// passed on as a time-out, after a pause so that a pending connection that
// cannot be taken yet does not spin the loop.
std::shared_ptr<TTransport> BoundedServerSocket::acceptImpl() {
  try {
    return TServerSocket::acceptImpl();
  } catch (const TTransportException& e) {
    if (e.getType() != TTransportException::UNKNOWN) throw;
    std::this_thread::sleep_for(kAcceptPause);
    throw TTransportException(TTransportException::TIMED_OUT, e.what());
  }
}

std::shared_ptr<TSocket> BoundedServerSocket::createSocket(THRIFT_SOCKET client) {
  return std::make_shared<BoundedConnection>(client, interruptableChildren_ ? pChildInterruptSockReader_ : nullptr,
                                             limits_);
}

}  // namespace vesksapi
