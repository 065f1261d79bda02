#include "vesksapi/server/localEndpoint.h"

#include <sys/un.h>

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <thrift/TOutput.h>

namespace vesksapi {
namespace {

const std::string kName("\0vesksRpc\0", 10);

TEST(LocalEndpointTest, ThePathIsTheNameFollowedByNulsToTheEndOfSunPath) {
  const std::string path = localEndpoint::socketPath(kName);
  ASSERT_EQ(path.size(), sizeof(sockaddr_un::sun_path));
  EXPECT_EQ(path, kName + std::string(sizeof(sockaddr_un::sun_path) - kName.size(), '\0'));
}

TEST(LocalEndpointTest, ANameWithoutRoomForItsTerminatingNulIsRefused) {
  EXPECT_EQ(localEndpoint::socketPath(std::string(107, 'n')).size(), 108u);
  EXPECT_THROW(localEndpoint::socketPath(std::string(108, 'n')), std::length_error);
}

// Thrift reports what it then throws (a failed bind, a peer's bad message) on
// its own output; this library handles those and prints nothing.
TEST(LocalEndpointTest, ThriftDiagnosticsPrintNothing) {
  ::testing::internal::CaptureStderr();
  apache::thrift::GlobalOutput.printf("received invalid message type %d from client", 2);
  apache::thrift::GlobalOutput.perror("TServerSocket::listen() BIND ", 98);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace vesksapi
