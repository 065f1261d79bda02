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

// How an answer goes on the wire: whole, or in one of the ways of a broken
// or hostile peer, for tests of the clients that must survive them.
enum class Delivery {
  whole,
  nulAfterBody,       // the body, then a NUL byte and more text
  stream,             // chunked: the body, then spaces without end
  hang,               // no answer at all; the connection stays open
  closeMidBody,       // half the body, then the connection ends
  hugeContentLength,  // Content-Length 1000000000, the body, then the end
};

struct HttpReply {
  unsigned status = 200;
  std::string contentType;
  std::string body;
  std::chrono::milliseconds delay{0};  // the answer waits this long; others do not
  Delivery delivery = Delivery::whole;
};

}  // namespace vesktools::targetsim
