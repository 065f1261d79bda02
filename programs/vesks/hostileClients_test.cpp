// Local clients that misuse the service, one after another against one
// running vesks: each misuse fails cleanly (the connection ends, or the call
// fails with its error and a bounded detail), and while the misusing clients
// are still there a normal call of another client is answered within a
// second. The daemon's resident memory stays near where it began.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "clientCrowd.h"
#include "openFileLimit.h"
#include "targetSim.h"
#include "testing/rawConnection.h"
#include "testing/testStatus.h"
#include "testing/wireBytes.h"
#include "vesksDaemon.h"
#include "vesksapi/vesksapi.h"

namespace {

using vesk::testing::TestStatus;
using vesksapi::testing::callFrame;
using vesksapi::testing::RawConnection;
using vesksapi::testing::WireBytes;

constexpr auto kAnswerTime = std::chrono::seconds(1);
// Well within the daemon's 30 s for an idle connection.
constexpr auto kTakeTime = std::chrono::seconds(20);
constexpr int kUncountedThreads = 8;
// What the daemon may keep of a misuse once its clients are gone. The
// sanitizers' allocator keeps what it once took: there it tells nothing.
constexpr double kResidentSlackMiB = 32;
#ifdef __SANITIZE_ADDRESS__
constexpr bool kResidentMemoryCounts = false;
#else
constexpr bool kResidentMemoryCounts = true;
#endif
// Above the open-file soft limit that the daemon starts with here.
constexpr rlim_t kUsualOpenFileLimit = 1024;
constexpr int kIdleClients = 1200;
constexpr int kSlowClients = 64;
// Just below the longest string the service takes.
constexpr size_t kLongDocumentBytes = 1000 * 1000;
constexpr int kListedDevices = 200000;
constexpr char kTargetParams[] = R"({"remoteHost":"127.0.0.2"})";

// Sends each frame on a connection of its own; the service ends each.
void expectEachFrameEndsItsConnection(const std::vector<std::string>& frames) {
  for (const std::string& frame : frames) {
    RawConnection connection(vesktest::kServiceSocketName);
    ASSERT_TRUE(connection.connected());
    connection.send(frame);
    EXPECT_TRUE(connection.endsWithoutAnswer()) << frame.size() << " bytes";
  }
}

std::string syncDomainParams(const std::string& maxOffset, const std::string& uri = "/hostile/syncDomains/d") {
  return R"({"uri":")" + uri + R"(","timescaleUri":"/localhost/vesks/timescales/system","maxOffset_ns":)" +
         maxOffset + R"(,"minSyncDuration_ms":0})";
}

// A sync-domain document that must fail with `code`; nothing is created.
void expectDomainRefused(const std::string& params, int32_t code) {
  TestStatus status;
  vesksapi_syncDomain_create("syncDomainParams", params.c_str(), status);
  EXPECT_EQ(status.code(), code) << params.substr(0, 200) << "\n" << status.json().substr(0, 2000);
  char domains[256];
  TestStatus listed;
  vesksapi_getSyncDomainInfo(domains, sizeof domains, listed);
  EXPECT_STREQ(domains, "[]");
}

// A resource list of the target's own device and `count` - 1 more, as the
// text of a JSON string.
std::string longDeviceList(int count) {
  const std::string device = vesktest::kTargetDevicePath;
  const auto entry = [](const std::string& uri) { return R"({\"uri\":\")" + uri + R"(\"})"; };
  std::string list = R"({\"version\":1,\"resources\":[)" + entry(device);
  for (int i = 1; i < count; ++i) list += "," + entry(device + std::to_string(i));
  return list + "]}";
}

// What a misuse leaves connected for the normal call to meet.
using Held = std::vector<std::shared_ptr<void>>;

struct Misuse {
  const char* name;
  std::function<void(Held&)> apply;
  // Connections that the daemon takes (a thread each) before the normal call:
  // a connect returns once queued, and a call that comes after a thousand
  // waits for those to be taken first.
  int connectionsToTake = 0;
};

void holdCrowd(Held& held, const std::function<void(vesktest::ClientCrowd&)>& fill) {
  auto clients = std::make_shared<vesktest::ClientCrowd>();
  fill(*clients);
  held.push_back(clients);
}

const std::string kStop = WireBytes().stop();
const std::string kUriArgument = WireBytes().field(vesksapi::testing::kString, 1).string("/d");

const Misuse kMisuses[] = {
    {"idle clients", [](Held& h) { holdCrowd(h, [](auto& c) { c.addIdle(kIdleClients); }); }, kIdleClients},
    {"clients sending a byte a second", [](Held& h) { holdCrowd(h, [](auto& c) { c.addTrickling(kSlowClients); }); },
     kSlowClients},
    {"clients that never read their reply",
     [](Held& h) { holdCrowd(h, [](auto& c) { c.addNonReading(kSlowClients); }); }, kSlowClients},
    {"message types that are none",
     [](Held&) {
       std::vector<std::string> frames;
       for (const int type : {0, 5, 8, 100, 255}) {
         frames.push_back(callFrame("getTimescaleInfo", 0, kStop, static_cast<vesksapi::testing::MessageType>(type)));
       }
       expectEachFrameEndsItsConnection(frames);
     }},
    {"field and element types that are none",
     [](Held&) {
       expectEachFrameEndsItsConnection({
           callFrame("syncDomain_stop", 0, WireBytes().i8(5).i16(1).i32(0).stop()),
           callFrame("syncDomain_stop", 0, WireBytes().i8(-1).i16(1).stop()),
           callFrame("syncDomain_stop", 0, kUriArgument + WireBytes().i8(15).i16(9).i8(99).i32(1).bytes()),
           callFrame("syncDomain_stop", 0, kUriArgument + WireBytes().i8(14).i16(9).i8(1).i32(1).bytes()),
           callFrame("syncDomain_stop", 0, kUriArgument + WireBytes().i8(13).i16(9).i8(8).i8(-128).i32(1).bytes()),
       });
     }},
    {"a string above the service's limit",
     [](Held&) {
       expectEachFrameEndsItsConnection(
           {callFrame("syncDomain_stop", 0, WireBytes().field(vesksapi::testing::kString, 1).i32(1024 * 1024 + 1))});
     }},
    {"a document of control characters",
     [](Held&) {
       TestStatus status;
       const std::string params = R"({"uri":")" + std::string(kLongDocumentBytes, '\x01') + R"("})";
       vesksapi_syncDomain_create("syncDomainParams", params.c_str(), status);
       EXPECT_EQ(status.code(), -52005);
       EXPECT_LT(status.json().size(), 64u * 1024) << status.json().substr(0, 2000);
     }},
    {"numbers beyond any limit, signed or blank",
     [](Held&) {
       expectDomainRefused(syncDomainParams("1e400"), -52003);
       expectDomainRefused(syncDomainParams("-1e400"), -52003);
       expectDomainRefused(syncDomainParams(R"(" +7")"), -52005);
       expectDomainRefused(syncDomainParams(R"("-18446744073709551615")"), -52005);
     }},
    {"a URI cut by an escaped NUL",
     [](Held&) { expectDomainRefused(syncDomainParams("1", "/hostile\\u0000/d"), -52005); }},
    {"a target listing 200,000 devices",
     [](Held&) {
       const vesktest::TargetSim target(
           vesktest::oneDeviceTarget(R"(,"resourceList":{"body":")" + longDeviceList(kListedDevices) + R"("})"));
       TestStatus status;
       vesksapi_loadResources("networkDeviceParams", kTargetParams, status);
       EXPECT_EQ(status.code(), 0) << status.json().substr(0, 2000);
       vesksapi_unloadResources("networkDeviceParams", kTargetParams, status);
       EXPECT_EQ(status.code(), 0) << status.json().substr(0, 2000);
     }},
    {"a target's clock failing with a detail that is no JSON",
     [](Held&) {
       const vesktest::TargetSim target(
           vesktest::oneDeviceTarget(R"(,"timestampDaemon":{"error":{"code":-52006,"json":"gone \"away\""}})"));
       TestStatus status;
       vesksapi_loadResources("networkDeviceParams", kTargetParams, status);
       ASSERT_EQ(status.code(), 0) << status.json();
       vesklib_Timestamp time{};
       TestStatus read;
       vesksapi_timescale_getTime((std::string("127.0.0.2") + vesktest::kTargetTimescalePath).c_str(), &time, read);
       EXPECT_EQ(read.code(), -52006);
       EXPECT_EQ(read.json(), R"({"receivedJson":"gone \"away\""})");
       vesksapi_unloadResources("networkDeviceParams", kTargetParams, status);
       EXPECT_EQ(status.code(), 0) << status.json();
     }},
};

// Waits until the daemon runs about `connections` more threads than `base`
// (a few threads of earlier connections may have been among those counted).
void waitUntilTaken(const vesktest::VesksDaemon& daemon, int base, int connections) {
  if (connections == 0) return;
  const int threads = base + connections - kUncountedThreads;
  const auto deadline = std::chrono::steady_clock::now() + kTakeTime;
  while (daemon.threads() < threads && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(daemon.threads(), threads);
}

// Waits until the threads of a misuse's connections have ended (under the
// sanitizers a thousand take seconds), so that each misuse meets a daemon
// that is otherwise idle.
void waitUntilSettled(const vesktest::VesksDaemon& daemon, int base) {
  const auto deadline = std::chrono::steady_clock::now() + kTakeTime;
  while (daemon.threads() > base + kUncountedThreads && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Asked on a thread of its own, so that a call that hangs fails the test.
void expectANormalCallAnsweredInTime() {
  auto answer = std::async(std::launch::async, [] {
    TestStatus status;
    char timescales[256];
    vesksapi_getTimescaleInfo(timescales, sizeof timescales, status);
    return status.code();
  });
  ASSERT_EQ(answer.wait_for(kAnswerTime), std::future_status::ready);
  EXPECT_EQ(answer.get(), 0);
}

TEST(HostileClients, EachMisuseFailsCleanlyAndOtherClientsAreServedMeanwhile) {
  std::optional<vesktest::VesksDaemon> daemon;
  {
    // The daemon starts with the usual soft limit and must raise its own.
    const vesktest::OpenFileSoftLimit usual(kUsualOpenFileLimit);
    daemon.emplace();
  }
  const vesktest::OpenFileSoftLimit roomForTheCrowd(RLIM_INFINITY);
  expectANormalCallAnsweredInTime();
  const double residentAtStart = daemon->residentMiB();
  const int threadsAtStart = daemon->threads();
  for (const Misuse& misuse : kMisuses) {
    SCOPED_TRACE(misuse.name);
    {
      Held held;
      misuse.apply(held);
      waitUntilTaken(*daemon, threadsAtStart, misuse.connectionsToTake);
      expectANormalCallAnsweredInTime();
    }
    expectANormalCallAnsweredInTime();
    waitUntilSettled(*daemon, threadsAtStart);
    if (kResidentMemoryCounts) {
      EXPECT_LT(daemon->residentMiB(), residentAtStart + kResidentSlackMiB);
    }
  }
}

}  // namespace
