#include "httpServer.h"

#include "targetSim.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

namespace vesktools::targetsim {
namespace {

using vesktest::httpRequest;
using vesktest::httpUpload;
using vesktest::TargetSim;

constexpr char kFast[] = "/veskwebs/syncableDevices/pendulo/nic/fast";
constexpr char kSlow[] = "/veskwebs/syncableDevices/pendulo/nic/slow";

std::string fastAndSlowConfig(unsigned slowDelayMs) {
  return std::string(R"({"devices": [{"uri": ")") + kFast + R"("}, {"uri": ")" + kSlow +
         R"(", "get": {"delayMs": )" + std::to_string(slowDelayMs) + "}}]}";
}

// A client that writes exactly the bytes a test gives it, for what libcurl
// would hide (when the 100 Continue comes, malformed requests).
class RawConnection {
 public:
  RawConnection(const std::string& address, std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) throw std::runtime_error("connect failed");
    const timeval timeout{5, 0};  // a missing answer fails the test instead of hanging it
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~RawConnection() { close(fd_); }

  void send(const std::string& bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }

  // Everything received up to and including marker; what was received by then
  // when the peer closes or 5 s pass without it.
  std::string readUntil(const std::string& marker) {
    std::size_t at;
    while ((at = received_.find(marker)) == std::string::npos) {
      if (!receiveMore()) return std::exchange(received_, {});
    }
    const std::string head = received_.substr(0, at + marker.size());
    received_.erase(0, head.size());
    return head;
  }

  // One answer whose body has a Content-Length, as the simulator sends them.
  std::string readResponse() {
    std::string response = readUntil("\r\n\r\n");
    const std::size_t field = response.find("Content-Length: ");
    const std::size_t length = field == std::string::npos ? 0 : std::stoul(response.substr(field + 16));
    while (received_.size() < length && receiveMore()) {
    }
    response += received_.substr(0, length);
    received_.erase(0, length);
    return response;
  }

  bool closedByPeer() { return received_.empty() && !receiveMore(); }

 private:
  bool receiveMore() {
    char chunk[4096];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    received_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  int fd_;
  std::string received_;
};

// Returns once the simulator has logged a request for target (it logs before it answers).
void waitUntilReceived(const TargetSim& sim, const std::string& target) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    for (const vesktest::LoggedRequest& request : sim.requests()) {
      if (request.target == target) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  FAIL() << target << " never arrived";
}

TEST(HttpServer, AnswersExpectContinueBeforeTheBodyAndKeepsTheConnection) {
  const TargetSim sim(fastAndSlowConfig(0));
  RawConnection connection(sim.address(), TargetSim::kHttpPort);
  connection.send(std::string("PUT ") + kFast +
                  " HTTP/1.1\r\nHost: 127.0.0.2\r\nTransfer-Encoding: chunked\r\nExpect: 100-continue\r\n\r\n");
  ASSERT_EQ(connection.readUntil("\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
  connection.send("5\r\n{\"a\":\r\n3\r\n12}\r\n0\r\n\r\n");
  EXPECT_EQ(connection.readResponse().substr(0, 15), "HTTP/1.1 200 OK");

  connection.send(std::string("GET ") + kFast + " HTTP/1.1\r\nHost: 127.0.0.2\r\n\r\n");
  EXPECT_EQ(connection.readResponse().substr(0, 15), "HTTP/1.1 200 OK");

  const std::vector<vesktest::LoggedRequest> requests = sim.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body, "{\"a\":12}");
  EXPECT_EQ(requests[0].header("Expect"), "100-continue");
  EXPECT_EQ(requests[1].method, "GET");
}

TEST(HttpServer, LogsLargeBodiesExactlyHoweverTheyAreFramed) {
  const TargetSim sim(fastAndSlowConfig(0));
  std::string body = R"({"pad":")";
  for (int i = 0; body.size() < 300000; ++i) body += static_cast<char>('a' + i % 26);
  body += "\"}";

  EXPECT_EQ(httpUpload(sim.url(kFast), body).status, 200);               // chunked, Expect: 100-continue
  EXPECT_EQ(httpRequest("PUT", sim.url(kFast), body).status, 200);       // Content-Length
  const std::vector<vesktest::LoggedRequest> requests = sim.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].header("Transfer-Encoding"), "chunked");
  EXPECT_EQ(requests[1].header("Content-Length"), std::to_string(body.size()));
  for (const auto& request : requests) EXPECT_TRUE(request.body == body) << "body of " << request.body.size();
}

TEST(HttpServer, MalformedRequestGets400AndItsConnectionEnds) {
  const TargetSim sim(fastAndSlowConfig(0));
  RawConnection connection(sim.address(), TargetSim::kHttpPort);
  connection.send("GET / HTTQ/1.1\r\n\r\n");
  EXPECT_EQ(connection.readResponse().substr(0, 12), "HTTP/1.1 400");
  EXPECT_TRUE(connection.closedByPeer());
  EXPECT_EQ(httpRequest("GET", sim.url(kFast)).status, 200);
  EXPECT_TRUE(sim.requests().size() == 1u) << "the malformed request is not logged";
}

// What a client receives for each way of a broken peer (a hang sends
// nothing, which the clients' tests show through their time-outs).
TEST(HttpServer, DeliversAnswersAsABrokenPeerWould) {
  const std::string body = R"({"a":1})";
  const std::string sizedHead = "Content-Length: " + std::to_string(body.size()) + "\r\n";
  const struct {
    const char* delivery;
    std::string framing;   // in the head
    std::string received;  // after the head, until the peer closes
  } cases[] = {
      {"nulAfterBody", "Content-Length: 15\r\n", body + std::string("\0garbage", 8)},
      {"closeMidBody", sizedHead, body.substr(0, body.size() / 2)},
      {"hugeContentLength", "Content-Length: 1000000000\r\n", body},
  };
  const TargetSim sim(fastAndSlowConfig(0));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delivery);
    sim.updateDevice(kFast, std::string(R"({"get": {"body": ")") + R"({\"a\":1})" + R"(", "delivery": ")" +
                                c.delivery + R"("}})");
    RawConnection connection(sim.address(), TargetSim::kHttpPort);
    connection.send(std::string("GET ") + kFast + " HTTP/1.1\r\nHost: 127.0.0.2\r\n\r\n");
    const std::string head = connection.readUntil("\r\n\r\n");
    EXPECT_NE(head.find(c.framing), std::string::npos) << head;
    EXPECT_EQ(connection.readUntil("never sent"), c.received);
  }

  // A stream goes on for as long as the client reads.
  sim.updateDevice(kFast, R"({"get": {"body": null, "delivery": "stream"}})");
  RawConnection connection(sim.address(), TargetSim::kHttpPort);
  connection.send(std::string("GET ") + kFast + " HTTP/1.1\r\nHost: 127.0.0.2\r\n\r\n");
  EXPECT_NE(connection.readUntil("\r\n\r\n").find("Transfer-Encoding: chunked\r\n"), std::string::npos);
  const std::string spaces(64 * 1024, ' ');
  for (int chunk = 0; chunk < 64; ++chunk) ASSERT_NE(connection.readUntil(spaces + "\r\n"), "") << chunk;
}

TEST(HttpServer, SlowDeviceDoesNotHoldUpAnother) {
  const TargetSim sim(fastAndSlowConfig(3000));
  auto slow = std::async(std::launch::async, [&] { return httpRequest("GET", sim.url(kSlow)); });
  waitUntilReceived(sim, kSlow);

  EXPECT_EQ(httpRequest("GET", sim.url(kFast)).status, 200);
  EXPECT_EQ(slow.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "the slow answer came first";
  EXPECT_EQ(slow.get().status, 200);
}

TEST(HttpServer, StopsCleanlyOnSignalEvenWithAnAnswerPending) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    TargetSim sim(fastAndSlowConfig(60000));
    auto slow = std::async(std::launch::async, [&] { return httpRequest("GET", sim.url(kSlow)); });
    waitUntilReceived(sim, kSlow);

    const int status = sim.stop(signal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_THROW(slow.get(), std::runtime_error);
    EXPECT_THROW(httpRequest("GET", sim.url(kFast)), std::runtime_error) << "still listening";
  }
}

}  // namespace
}  // namespace vesktools::targetsim
