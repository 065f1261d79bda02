#include "syslogCapture.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace veskloctest {
namespace {

constexpr char kLogSocket[] = "/dev/log";
// "Mmm dd hh:mm:ss " follows the priority.
constexpr size_t kTimestampLength = 16;

// "<12>Dec 10 12:31:00 veskloc: text" into its parts; a message of another
// shape keeps its whole body as text.
SyslogMessage parse(const std::string& raw) {
  SyslogMessage message{-1, "", raw};
  const size_t close = raw.find('>');
  if (raw.empty() || raw[0] != '<' || close == std::string::npos) return message;
  message.priority = atoi(raw.c_str() + 1);
  const size_t identStart = close + 1 + kTimestampLength;
  const size_t separator = raw.find(": ", identStart);
  if (separator == std::string::npos) return message;
  message.ident = raw.substr(identStart, separator - identStart);
  message.text = raw.substr(separator + 2);
  return message;
}

}  // namespace

SyslogCapture::SyslogCapture() : fd_(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, kLogSocket, sizeof address.sun_path - 1);
  unlink(kLogSocket);
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (fd_ >= 0) close(fd_);
    throw std::runtime_error(std::string("cannot bind ") + kLogSocket + ": " + strerror(errno));
  }
}

SyslogCapture::~SyslogCapture() {
  close(fd_);
  unlink(kLogSocket);
}

std::vector<SyslogMessage> SyslogCapture::take() {
  std::vector<SyslogMessage> messages;
  char buffer[4096];
  for (;;) {
    const ssize_t length = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (length < 0) return messages;
    messages.push_back(parse(std::string(buffer, static_cast<size_t>(length))));
  }
}

}  // namespace veskloctest
