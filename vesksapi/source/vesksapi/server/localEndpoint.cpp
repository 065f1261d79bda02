#include "vesksapi/server/localEndpoint.h"

#include <sys/un.h>

#include <stdexcept>

#include <thrift/TOutput.h>

namespace vesksapi::localEndpoint {

namespace {

constexpr size_t kPathSize = sizeof(sockaddr_un::sun_path);

// Thrift also reports on its global output, to standard error, what it then
// throws (a failed bind, a closed connection); this library turns those
// exceptions into statuses or ends the connection, so that output is discarded
// from the moment the library loads. It lives here because both ends of the
// local socket, the only users of Thrift in this library, link this file.
void discardThriftOutput(const char*) {}

struct ThriftOutputSilencer {
  ThriftOutputSilencer() { apache::thrift::GlobalOutput.setOutputFunction(discardThriftOutput); }
} const thriftOutputSilencer;

}  // namespace

std::string socketPath(const std::string& socketName) {
  if (socketName.size() >= kPathSize) throw std::length_error("The socket name does not fit sun_path.");
  std::string path = socketName;
  path.resize(kPathSize, '\0');
  return path;
}

}  // namespace vesksapi::localEndpoint
