// One HTTP request as the simulator received it, and the answer it gives:
// the plain records passed between the server, the web service and the log.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace vesktools::targetsim {

struct HttpRequest {
  std::string method;
  std::string target;
  std::string version;  // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // as received, in order
  std::string body;                                          // after chunked decoding
};

struct HttpReply {
  unsigned status = 200;
  std::string contentType;
  std::string body;
  std::chrono::milliseconds delay{0};  // the answer waits this long; others do not
};

}  // namespace vesktools::targetsim
