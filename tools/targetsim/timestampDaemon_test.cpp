#include "timestampDaemon.h"

#include "targetSim.h"
#include "thriftQzerr_types.h"
#include "timestampService.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSocket.h>
#include <thrift/transport/TTransportException.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <thread>

namespace vesktools::targetsim {
namespace {

using apache::thrift::TApplicationException;
using apache::thrift::transport::TTransportException;
using vesktest::TargetSim;

constexpr char kTimescale1[] = "/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";
constexpr char kTimescale2[] = "/veskwebs/timescales/pendulo/ptp1/00-1b-21-ff-fe-00-00-02";
constexpr std::int64_t kSecond = 1000000000;

std::string twoTimescales(const std::string& daemonJson) {
  return std::string(R"({"timescales": [")") + kTimescale1 + R"(", ")" + kTimescale2 +
         R"("], "timestampDaemon": )" + daemonJson + "}";
}

// Connected as the remote timescale connects: TCP socket with receive and
// send time-outs, buffered transport, binary protocol, generated client.
class DaemonClient {
 public:
  explicit DaemonClient(const TargetSim& sim, int timeoutMs = 5000)
      : socket_(std::make_shared<apache::thrift::transport::TSocket>(sim.address(), sim.timestampPort())),
        transport_(std::make_shared<apache::thrift::transport::TBufferedTransport>(socket_)),
        client_(std::make_shared<apache::thrift::protocol::TBinaryProtocol>(transport_)) {
    transport_->open();
    socket_->setRecvTimeout(timeoutMs);
    socket_->setSendTimeout(timeoutMs);
  }
  ~DaemonClient() { transport_->close(); }

  timestampService::timestampServiceClient* operator->() { return &client_; }

 private:
  std::shared_ptr<apache::thrift::transport::TSocket> socket_;
  std::shared_ptr<apache::thrift::transport::TBufferedTransport> transport_;
  timestampService::timestampServiceClient client_;
};

std::int64_t hostNowNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kSecond + now.tv_nsec;
}

template <typename Reading>
std::int64_t toNs(const Reading& reading) {
  const std::int64_t magnitude = reading.seconds * kSecond + reading.nanos;
  return reading.isNegative ? -magnitude : magnitude;
}

// One reading of the daemon's clock with the host clock read just before and just after it.
struct Bracketed {
  std::int64_t before;
  std::int64_t reading;
  std::int64_t after;
};

Bracketed readClock(DaemonClient& client) {
  Bracketed read{};
  timestampService::TimestampInfo info;
  read.before = hostNowNs();
  client->getTime(info, 0);
  read.after = hostNowNs();
  read.reading = toNs(info);
  return read;
}

// What the daemon's lead over the host clock was at the reading, at least and
// at most (give or take the nanosecond that rounding may cost).
void expectLead(const Bracketed& read, std::int64_t minLeadNs, std::int64_t maxLeadNs) {
  EXPECT_GE(read.reading, read.before + minLeadNs - 1);
  EXPECT_LE(read.reading, read.after + maxLeadNs + 1);
}

TEST(TimestampDaemonClock, DriftGathersFromEachChangeOnAndOffsetMovesTheClockByTheDifference) {
  TimestampDaemonConfig config;
  config.driftPpm = 100;
  const TimestampDaemon::Clock start = TimestampDaemon::Clock{}.changedTo(config, 10 * kSecond);
  EXPECT_EQ(start.readNs(10 * kSecond), 10 * kSecond);
  EXPECT_EQ(start.readNs(12 * kSecond), 12 * kSecond + 200000);

  config.driftPpm = -50;
  const TimestampDaemon::Clock slower = start.changedTo(config, 12 * kSecond);
  EXPECT_EQ(slower.readNs(12 * kSecond), start.readNs(12 * kSecond)) << "a change of drift makes no jump";
  EXPECT_EQ(slower.readNs(16 * kSecond), 16 * kSecond + 200000 - 200000);

  config.offsetNs = -7;
  const TimestampDaemon::Clock moved = slower.changedTo(config, 16 * kSecond);
  EXPECT_EQ(moved.readNs(16 * kSecond), 16 * kSecond - 7);
  EXPECT_EQ(moved.readNs(18 * kSecond), 18 * kSecond - 7 - 100000);

  config.driftPpm = -1000000;
  const TimestampDaemon::Clock stopped = moved.changedTo(config, 18 * kSecond);
  EXPECT_EQ(stopped.readNs(18 * kSecond), stopped.readNs(1000 * kSecond)) << "-10^6 ppm holds the clock still";
}

TEST(TimestampDaemon, AnswersAsItsApiVersionWithTheLocalUrisItServes) {
  const struct {
    std::string daemonJson;
    std::optional<std::int32_t> apiVersion;  // none: UNKNOWN_METHOD
    std::string readUri;
    std::vector<std::string> listed;
  } cases[] = {
      {"{}", 2, kTimescale1, {kTimescale1, kTimescale2}},
      {R"({"apiVersion": 1})", 1, kTimescale1, {kTimescale1, kTimescale2}},
      {R"({"apiVersion": "none"})", std::nullopt, kTimescale1, {kTimescale1, kTimescale2}},
      {R"({"apiVersion": 0, "timescaleUris": ["/veskwebs/timescales/pendulo/ptp0/GM"]})", 0,
       "/veskwebs/timescales/pendulo/ptp0/GM", {"/veskwebs/timescales/pendulo/ptp0/GM"}},
      {R"({"timescaleUris": []})", 2, "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.daemonJson);
    const TargetSim sim(twoTimescales(c.daemonJson));
    DaemonClient client(sim);
    if (c.apiVersion) {
      EXPECT_EQ(client->getApiVersion(), *c.apiVersion);
    } else {
      try {
        client->getApiVersion();
        ADD_FAILURE() << "getApiVersion answered";
      } catch (const TApplicationException& unknown) {
        EXPECT_EQ(unknown.getType(), TApplicationException::UNKNOWN_METHOD);
      }
    }
    // The same connection goes on serving after an unknown method.
    timestampService::TimestampInfo info;
    client->getTime(info, 0);
    EXPECT_EQ(info.uri, c.readUri);
    timestampService::TimeInfo timeInfo;
    client->getTimeAndCurrentTimescales(timeInfo);
    EXPECT_EQ(timeInfo.timescaleUris, c.listed);
    EXPECT_TRUE(timeInfo.__isset.timestamp);
  }
}

TEST(TimestampDaemon, ForcedErrorComesAsThriftQzerrFromBothTimeRequestsUntilCleared) {
  const TargetSim sim(twoTimescales(R"({"error": {"code": -52006, "json": "{\"error_constant\":\"x\"}"}})"));
  DaemonClient client(sim);
  const auto expectError = [&](std::int32_t code, const std::string& json) {
    try {
      timestampService::TimestampInfo info;
      client->getTime(info, 0);
      ADD_FAILURE() << "getTime answered";
    } catch (const thriftQzerr::thrift_qzerr& error) {
      EXPECT_EQ(error.code, code);
      EXPECT_EQ(error.json, json);
    }
    try {
      timestampService::TimeInfo info;
      client->getTimeAndCurrentTimescales(info);
      ADD_FAILURE() << "getTimeAndCurrentTimescales answered";
    } catch (const thriftQzerr::thrift_qzerr& error) {
      EXPECT_EQ(error.code, code);
      EXPECT_EQ(error.json, json);
    }
  };
  expectError(-52006, R"({"error_constant":"x"})");
  EXPECT_EQ(client->getApiVersion(), 2) << "getApiVersion raises nothing";

  sim.updateTimestampDaemon(R"({"error": {"code": 1, "json": {"why": [1]}}})");
  expectError(1, R"({"why":[1]})");

  sim.updateTimestampDaemon(R"({"error": null})");
  timestampService::TimestampInfo info;
  client->getTime(info, 0);
  EXPECT_EQ(info.uri, kTimescale1);
}

TEST(TimestampDaemon, ReadingsShowTheOffsetAndTheDriftAsChangedWhileItRuns) {
  const TargetSim sim(twoTimescales(R"({"offsetNs": 5000000000})"));
  DaemonClient client(sim);
  expectLead(readClock(client), 5 * kSecond, 5 * kSecond);

  sim.updateTimestampDaemon(R"({"offsetNs": -3000000000})");
  expectLead(readClock(client), -3 * kSecond, -3 * kSecond);

  // 10 % fast from the change on; without a jump at the change.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::int64_t changeBefore = hostNowNs();
  sim.updateTimestampDaemon(R"({"driftPpm": 100000})");
  const std::int64_t changeAfter = hostNowNs();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const Bracketed first = readClock(client);
  expectLead(first, -3 * kSecond + (first.before - changeAfter) / 10, -3 * kSecond + (first.after - changeBefore) / 10);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const Bracketed second = readClock(client);
  const std::int64_t gained = (second.reading - first.reading) - (second.before - first.after);
  EXPECT_GE(second.reading - first.reading, (second.before - first.after) * 11 / 10 - 1);
  EXPECT_LE(second.reading - first.reading, (second.after - first.before) * 11 / 10 + 1);
  EXPECT_GT(gained, 0);

  timestampService::TimeInfo info;
  const std::int64_t before = hostNowNs();
  client->getTimeAndCurrentTimescales(info);
  EXPECT_GT(toNs(info.timestamp), before - 3 * kSecond) << "both time requests read the same clock";
}

TEST(TimestampDaemon, DelayHoldsEveryAnswerAndAStopCutsItShort) {
  const TargetSim sim(twoTimescales(R"({"delayMs": 300})"));
  {
    DaemonClient client(sim);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->getApiVersion(), 2);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  }
  sim.updateTimestampDaemon(R"({"delayMs": 60000})");
  DaemonClient impatient(sim, 100);
  try {
    timestampService::TimestampInfo info;
    impatient->getTime(info, 0);
    ADD_FAILURE() << "getTime answered";
  } catch (const TTransportException& timedOut) {
    EXPECT_EQ(timedOut.getType(), TTransportException::TIMED_OUT);
  }
  // The answer is still waiting; the simulator must stop regardless (it
  // would be killed, and the harness then fails the test, otherwise).
}

TEST(TimestampDaemon, ControlRefusesABadPatchAndChangesNothing) {
  const TargetSim sim(twoTimescales(R"({"offsetNs": 7})"));
  const vesktest::HttpResult refused =
      vesktest::httpRequest("POST", sim.controlUrl("/timestampDaemon"), R"({"offsetNs": 0, "delayMs": -1})");
  EXPECT_EQ(refused.status, 400);
  EXPECT_NE(refused.body.find("delayMs: expected an integer from 0 to 4294967295"), std::string::npos)
      << refused.body;
  EXPECT_NE(sim.state().find(R"("offsetNs":7,)"), std::string::npos) << sim.state();
  DaemonClient client(sim);
  expectLead(readClock(client), 7, 7);
}

TEST(TimestampDaemon, SimulatorEndsWithOneWhenItsPortIsTaken) {
  const int taken = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(taken, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(TargetSim::kTimestampPort);
  inet_pton(AF_INET, "127.0.0.2", &address.sin_addr);
  ASSERT_EQ(bind(taken, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(taken, 1), 0);
  try {
    const TargetSim sim("{}");
    ADD_FAILURE() << "started";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "vesktargetsim ended during its start on 127.0.0.2 (exit code 1)");
  }
  close(taken);
}

}  // namespace
}  // namespace vesktools::targetsim
