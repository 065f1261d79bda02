// For tests: a plain stream connection to an abstract socket name, the
// address formed as both ends of the service form it (the name and a NUL in a
// zeroed sockaddr_un, its full size as the length). Reads wait at most a
// generous guard time, so a server that never answers fails the test instead
// of hanging it.
#pragma once

#include <cstddef>
#include <string>

namespace vesksapi::testing {

class RawConnection {
 public:
  // Connects at once; connected() tells whether that worked.
  explicit RawConnection(const std::string& socketName);
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  ~RawConnection();

  bool connected() const { return fd_ >= 0; }
  bool send(const std::string& bytes);
  // Exactly `size` bytes, or what came before the connection ended.
  std::string receive(size_t size);
  // Whether the server closes the connection without sending anything more.
  bool endsWithoutAnswer();
  // The same, for a server that may close leaving unread some of what was
  // sent: the kernel then reports a reset before the end.
  bool endsWithoutAnswerLeavingUnread();
  // Whether the server closes its end within the guard time, leaving unread
  // what it sent before.
  bool closedByServer();
  // Whether the server has closed its end by now (what it sent before may
  // still wait to be read).
  bool serverHasClosed();

 private:
  int fd_;
};

// Whether a server listens on the name, addressed with the full sockaddr_un
// (or with only the name's own bytes when `nameLengthOnly`).
bool listens(const std::string& socketName, bool nameLengthOnly = false);

}  // namespace vesksapi::testing
