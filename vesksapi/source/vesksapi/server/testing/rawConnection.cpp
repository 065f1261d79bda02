#include "rawConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vesksapi::testing {

namespace {

constexpr int kGuardSeconds = 20;

int connectTo(const std::string& socketName, bool nameLengthOnly) {
  sockaddr_un address;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketName.data(), socketName.size());
  const socklen_t length = nameLengthOnly
                               ? static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketName.size())
                               : static_cast<socklen_t>(sizeof address);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    close(fd);
    return -1;
  }
  timeval guard{kGuardSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
  return fd;
}

// Whether the peer has closed its end, or does within `ms`.
bool peerClosesWithin(int fd, int ms) {
  pollfd waiting{fd, POLLRDHUP, 0};
  return poll(&waiting, 1, ms) == 1 && (waiting.revents & POLLRDHUP) != 0;
}

}  // namespace

RawConnection::RawConnection(const std::string& socketName) : fd_(connectTo(socketName, false)) {}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

bool RawConnection::send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string RawConnection::receive(size_t size) {
  std::string bytes(size, '\0');
  size_t got = 0;
  while (got < size) {
    const ssize_t n = recv(fd_, &bytes[got], size - got, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

bool RawConnection::endsWithoutAnswer() {
  char byte;
  return recv(fd_, &byte, 1, 0) == 0;
}

bool RawConnection::endsWithoutAnswerLeavingUnread() {
  char byte;
  const ssize_t got = recv(fd_, &byte, 1, 0);
  if (got < 0 && errno == ECONNRESET) return endsWithoutAnswer();
  return got == 0;
}

bool RawConnection::serverHasClosed() { return peerClosesWithin(fd_, 0); }

bool RawConnection::closedByServer() {
  return peerClosesWithin(fd_, kGuardSeconds * 1000);
}

bool listens(const std::string& socketName, bool nameLengthOnly) {
  const int fd = connectTo(socketName, nameLengthOnly);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace vesksapi::testing
