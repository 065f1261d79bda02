#include "documentFlood.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "testing/wireBytes.h"
#include "vesksDaemon.h"

namespace vesktest {
namespace {

using Clock = std::chrono::steady_clock;

// What each client holds back until all have sent the rest.
constexpr size_t kLastBytes = 16;

struct Client {
  int fd;
  size_t sent = 0;
  Clock::time_point firstByte{};
};

int connectToService() {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, kServiceSocketName.data(), kServiceSocketName.size());
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      fcntl(fd, F_SETFL, O_NONBLOCK) == 0) {
    return fd;
  }
  close(fd);
  return -1;
}

std::vector<Client> connectAll(int clients) {
  std::vector<Client> connected;
  for (int i = 0; i < clients; ++i) {
    const int fd = connectToService();
    if (fd < 0) break;
    connected.push_back(Client{fd, 0, Clock::now()});
  }
  return connected;
}

// The clients still under way, and how far each may send for now.
class Round {
 public:
  Round(std::vector<Client> clients, const std::string& frame, Pacing pacing)
      : clients_(std::move(clients)),
        frame_(frame),
        heldBack_(pacing == Pacing::kLastBytesTogether ? std::min(kLastBytes, frame.size()) : 0) {}

  bool underWay() const { return !clients_.empty(); }

  // One poll over every connection, and what it allows.
  void step(Clock::time_point deadline, FloodOutcome& outcome) {
    const size_t limit = headsSent() ? frame_.size() : frame_.size() - heldBack_;
    std::vector<pollfd> polled;
    for (const Client& client : clients_) {
      polled.push_back({client.fd, static_cast<short>(client.sent < limit ? POLLIN | POLLOUT : POLLIN), 0});
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (poll(polled.data(), polled.size(), static_cast<int>(std::max<int64_t>(left.count(), 0)) + 1) <= 0) return;
    for (size_t i = clients_.size(); i-- > 0;) {
      if ((polled[i].revents & POLLOUT) != 0) sendMore(clients_[i], limit);
      if ((polled[i].revents & ~POLLOUT) != 0) finish(i, outcome);
    }
  }

  void abandon() {
    for (const Client& client : clients_) close(client.fd);
    clients_.clear();
  }

 private:
  bool headsSent() const {
    return std::all_of(clients_.begin(), clients_.end(),
                       [&](const Client& client) { return client.sent + heldBack_ >= frame_.size(); });
  }

  void sendMore(Client& client, size_t limit) {
    if (client.sent == 0) client.firstByte = Clock::now();
    const ssize_t sent = send(client.fd, frame_.data() + client.sent, limit - client.sent, MSG_NOSIGNAL);
    if (sent > 0) client.sent += static_cast<size_t>(sent);
  }

  // An answer came, or the connection ended without one.
  void finish(size_t i, FloodOutcome& outcome) {
    const Client& client = clients_[i];
    char reply[4096];
    const ssize_t got = recv(client.fd, reply, sizeof reply, MSG_DONTWAIT);
    if (got < 0 && errno == EAGAIN) return;
    ++(got > 0 ? outcome.answered : outcome.closed);
    outcome.longest = std::max(outcome.longest,
                               std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - client.firstByte));
    close(client.fd);
    clients_[i] = clients_.back();
    clients_.pop_back();
  }

  std::vector<Client> clients_;
  const std::string& frame_;
  const size_t heldBack_;
};

}  // namespace

FloodOutcome floodOnce(const std::string& frame, int clients, Pacing pacing, std::chrono::milliseconds guard) {
  FloodOutcome outcome;
  std::vector<Client> connected = connectAll(clients);
  outcome.connected = static_cast<int>(connected.size());
  Round round(std::move(connected), frame, pacing);
  const Clock::time_point deadline = Clock::now() + guard;
  while (round.underWay() && Clock::now() < deadline) round.step(deadline, outcome);
  round.abandon();
  return outcome;
}

void floodUntil(const std::string& frame, int clients, Pacing pacing, const std::atomic<bool>& ending) {
  while (!ending.load() && floodOnce(frame, clients, pacing).connected > 0) {
  }
}

std::string tinyValuesCreateFrame(size_t bytes) {
  const std::string head =
      R"({"version":1,"type":"syncDomainParams","params":{"uri":"/flood/d","timescaleUri":"/flood/none",)"
      R"("maxOffset_ns":1,"minSyncDuration_ms":0,"pad":[0)";
  const std::string tail = "]}}";
  std::string document = head;
  while (document.size() + 2 + tail.size() <= bytes) document += ",0";
  document.append(bytes - document.size() - tail.size(), ' ');
  document += tail;
  using vesksapi::testing::WireBytes;
  return vesksapi::testing::callFrame("syncDomain_create", 0,
                                      WireBytes().field(vesksapi::testing::kString, 1).string(document).stop());
}

}  // namespace vesktest
