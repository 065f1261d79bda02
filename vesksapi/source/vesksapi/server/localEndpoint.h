// The local endpoint of the service: the path that both ends hand to Thrift's
// socket classes for an abstract socket name, so that bind and connect are
// given the whole sockaddr_un (110 bytes) and the kernel registers the name
// followed by NULs up to the end of sun_path. Both ends must use this.
#pragma once

#include <string>

namespace vesksapi::localEndpoint {

// The name (which starts with NUL) padded with NULs to the full sun_path
// (108 bytes). Thrift turns that path into exactly the address above. A name
// that leaves no room for its terminating NUL raises std::length_error.
std::string socketPath(const std::string& socketName);

}  // namespace vesksapi::localEndpoint
