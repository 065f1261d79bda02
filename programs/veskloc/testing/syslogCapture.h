// Test support: a datagram socket bound at /dev/log (inside the private
// mount namespace, over the /dev overlay) that receives what syslog(3)
// sends, so a test reads the messages a program logged.
#pragma once

#include <string>
#include <vector>

namespace veskloctest {

struct SyslogMessage {
  int priority;       // facility * 8 + level: 12 for LOG_USER | LOG_WARNING
  std::string ident;  // the program's identity
  std::string text;
};

class SyslogCapture {
 public:
  // Throws std::runtime_error when the socket cannot be bound.
  SyslogCapture();
  // Closes the socket and removes it from /dev.
  ~SyslogCapture();
  SyslogCapture(const SyslogCapture&) = delete;
  SyslogCapture& operator=(const SyslogCapture&) = delete;

  // Every message received since the last call, in arrival order.
  std::vector<SyslogMessage> take();

 private:
  int fd_;
};

}  // namespace veskloctest
