#include "vesklib/testing/rawThriftResponder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

namespace vesklib::testing {

namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;

[[noreturn]] void raiseSystemError(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

int listenOn(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    throw std::system_error(EINVAL, std::generic_category(), "not an IPv4 address: " + host);
  }
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) raiseSystemError("socket");
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0) {
    const int error = errno;
    close(fd);
    throw std::system_error(error, std::generic_category(), "bind/listen");
  }
  return fd;
}

// The name of the method a call message names; empty when it names none.
std::string calledMethod(std::string bytes) {
  auto buffer = std::make_shared<TMemoryBuffer>(reinterpret_cast<uint8_t*>(&bytes[0]),
                                                static_cast<uint32_t>(bytes.size()));
  TBinaryProtocol protocol(buffer);
  std::string name;
  apache::thrift::protocol::TMessageType type;
  int32_t sequenceId = 0;
  try {
    protocol.readMessageBegin(name, type, sequenceId);
  } catch (const apache::thrift::TException&) {
    return "";
  }
  return name;
}

bool sendAll(int fd, const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

RawThriftResponder::RawThriftResponder(const std::string& host, int port, Script script)
    : script_(std::move(script)), listener_(listenOn(host, port)) {
  if (pipe2(wake_, O_CLOEXEC) != 0) {
    const int error = errno;
    close(listener_);
    throw std::system_error(error, std::generic_category(), "pipe2");
  }
  thread_ = std::thread([this] { run(); });
}

RawThriftResponder::~RawThriftResponder() {
  close(wake_[1]);
  thread_.join();
  close(wake_[0]);
  close(listener_);
}

// False once the stub stops.
bool RawThriftResponder::waitReadable(int fd) {
  pollfd watched[] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  while (poll(watched, 2, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return watched[1].revents == 0;
}

void RawThriftResponder::run() {
  while (waitReadable(listener_)) {
    const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    ++connections_;
    serve(connection);
    close(connection);
  }
}

void RawThriftResponder::serve(int connection) {
  std::string received(64 * 1024, '\0');
  while (waitReadable(connection)) {
    // A call is small and flushed at once, so one read takes all of it.
    const ssize_t n = recv(connection, &received[0], received.size(), 0);
    if (n <= 0) return;
    ++calls_;
    const Answer answer = script_(calledMethod(received.substr(0, static_cast<size_t>(n))));
    if (!sendAll(connection, answer.bytes) || answer.close) return;
  }
}

std::string encodeThriftMessage(const std::string& method, apache::thrift::protocol::TMessageType type,
                                const std::function<void(apache::thrift::protocol::TProtocol&)>& writeBody) {
  auto buffer = std::make_shared<TMemoryBuffer>();
  TBinaryProtocol protocol(buffer);
  protocol.writeMessageBegin(method, type, 0);
  writeBody(protocol);
  protocol.writeMessageEnd();
  return buffer->getBufferAsString();
}

}  // namespace vesklib::testing
