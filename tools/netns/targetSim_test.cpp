#include "targetSim.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace vesktest {
namespace {

bool acceptsConnections(const char* address, std::uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  inet_pton(AF_INET, address, &peer.sin_addr);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
  close(fd);
  return connected;
}

TEST(Netns, OnlyLoopbackExists) {
  std::vector<std::string> interfaces;
  struct if_nameindex* names = if_nameindex();
  ASSERT_NE(names, nullptr);
  for (const struct if_nameindex* name = names; name->if_index != 0; ++name) interfaces.emplace_back(name->if_name);
  if_freenameindex(names);
  EXPECT_EQ(interfaces, std::vector<std::string>{"lo"}) << "not inside a private network namespace";
}

TEST(TargetSim, TargetsOnSeveralAddressesRunSideBySide) {
  const TargetSim first(R"({"devices": [{"uri": "/veskwebs/syncableDevices/p/t/first"}]})", "127.0.0.2");
  const TargetSim second(R"({"devices": [{"uri": "/veskwebs/syncableDevices/p/t/second"}]})", "127.0.0.3");
  EXPECT_EQ(httpRequest("GET", first.url("/veskwebs/syncableDevices/p/t/first")).status, 200);
  EXPECT_EQ(httpRequest("GET", second.url("/veskwebs/syncableDevices/p/t/first")).status, 404);
  EXPECT_EQ(httpRequest("GET", second.url("/veskwebs/syncableDevices/p/t/second")).status, 200);
  EXPECT_EQ(first.requests().size(), 1u);
  EXPECT_EQ(second.requests().size(), 2u);
}

TEST(TargetSim, WaitsForTheTimestampDaemonOnThePortTheConfigNames) {
  const struct {
    const char* config;
    std::uint16_t port;
  } cases[] = {{"{}", 9123}, {R"({"timestampPort": null})", 9123}, {R"({"timestampPort": 9124})", 9124}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    const TargetSim sim(c.config);
    EXPECT_EQ(sim.timestampPort(), c.port);
    EXPECT_TRUE(acceptsConnections("127.0.0.2", c.port));
    EXPECT_EQ(acceptsConnections("127.0.0.2", 9124), c.port == 9124);
  }
}

TEST(TargetSim, LeavesNoProcessBehind) {
  pid_t pid = 0;
  {
    const TargetSim sim("{}");
    pid = sim.pid();
    EXPECT_EQ(kill(pid, 0), 0);
  }
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(TargetSim, StartFailureIsReportedWithTheReason) {
  try {
    const TargetSim sim(R"({"devices": "none"})");
    ADD_FAILURE() << "started";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "vesktargetsim ended during its start on 127.0.0.2 (exit code 2)");
  }
}

TEST(LoggedRequest, FindsHeadersWhateverTheirCase) {
  const LoggedRequest request{"GET", "/", "HTTP/1.1", {{"Content-Type", "a"}, {"content-type", "b"}}, ""};
  EXPECT_EQ(request.header("CONTENT-TYPE"), "a");
  EXPECT_TRUE(request.hasHeader("content-Type"));
  EXPECT_FALSE(request.hasHeader("Accept"));
  EXPECT_EQ(request.header("Accept"), "");
}

}  // namespace
}  // namespace vesktest
