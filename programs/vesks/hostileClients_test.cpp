// Local clients that misuse the service, one after another against one
// running vesks: each misuse fails cleanly (the connection ends, or the call
// fails with its error and a bounded detail), and while the misusing clients
// are still there a normal call of another client is answered within a
// second. The daemon's resident memory stays near where it began.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "clientCrowd.h"
#include "documentFlood.h"
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
// The floods' time bounds are the normal build's: the sanitizers' checks make
// every parse and thread several times slower.
constexpr int kFloodSlowdown = 4;
#else
constexpr bool kResidentMemoryCounts = true;
constexpr int kFloodSlowdown = 1;
#endif
// Above the open-file soft limit that the daemon starts with here.
constexpr rlim_t kUsualOpenFileLimit = 1024;
constexpr int kIdleClients = 1200;
constexpr int kSlowClients = 64;
// Just below the longest string the service takes.
constexpr size_t kLongDocumentBytes = 1000 * 1000;
constexpr int kListedDevices = 200000;
// A request well above the budget's free size, and the time it has beside a
// connection that keeps skipping strings.
constexpr size_t kMidDocumentBytes = 200 * 1024;
constexpr auto kMidDocumentTime = std::chrono::seconds(2);
constexpr char kTargetParams[] = R"({"remoteHost":"127.0.0.2"})";
const std::string kTargetTimescale = std::string("127.0.0.2") + vesktest::kTargetTimescalePath;
const std::string kTargetDevice = std::string("127.0.0.2") + vesktest::kTargetDevicePath;
// The daemon's time for taking a reply, and a reply far beyond what a slow
// reader takes in that time and the socket's buffers hold.
constexpr auto kReplyTime = std::chrono::seconds(10);
constexpr size_t kPaddedDescriptionBytes = 1200 * 1000;

const std::string kStop = WireBytes().stop();
const std::string kUriArgument = WireBytes().field(vesksapi::testing::kString, 1).string("/d");

// Sends each frame on a connection of its own; the service ends each, maybe
// before it has read all of a long one.
void expectEachFrameEndsItsConnection(const std::vector<std::string>& frames) {
  for (const std::string& frame : frames) {
    RawConnection connection(vesktest::kServiceSocketName);
    ASSERT_TRUE(connection.connected());
    connection.send(frame);
    EXPECT_TRUE(connection.endsWithoutAnswerLeavingUnread()) << frame.size() << " bytes";
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

// A device whose description is `padBytes` long, so that the daemon's
// description of its devices is far larger than a socket's buffers.
std::string paddedDeviceDescription(size_t padBytes) {
  return R"({"get":{"body":"{\"version\":1,\"uri\":\")" + std::string(vesktest::kTargetDevicePath) +
         R"(\",\"pad\":\")" + std::string(padBytes, 'p') + R"(\"}"}})";
}

// In milliseconds, so that a failure shows the time.
int64_t millisecondsOf(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

// A target on 127.0.0.2 with extraMembers, its device patched (unless
// devicePatch is empty), loaded into the daemon.
std::unique_ptr<vesktest::TargetSim> loadedTarget(const std::string& extraMembers = "",
                                                  const std::string& devicePatch = "") {
  auto target = std::make_unique<vesktest::TargetSim>(vesktest::oneDeviceTarget(extraMembers));
  if (!devicePatch.empty()) target->updateDevice(vesktest::kTargetDevicePath + 1, devicePatch);
  TestStatus status;
  vesksapi_loadResources("networkDeviceParams", kTargetParams, status);
  EXPECT_EQ(status.code(), 0) << status.json();
  return target;
}

struct Drained {
  size_t bytes;
  std::chrono::steady_clock::duration took;
};

// Asks for the devices' description and takes it 2 KiB every half second, as
// a client may that never stops reading, until the daemon closes the
// connection (with some of the reply still in the socket's buffers).
Drained drainSlowly(RawConnection& connection) {
  constexpr size_t kChunk = 2048;
  const auto start = std::chrono::steady_clock::now();
  connection.send(callFrame("getSyncableDeviceInfo", 0, kStop));
  size_t bytes = 0;
  while (!connection.serverHasClosed()) {
    const size_t got = connection.receive(kChunk).size();
    bytes += got;
    if (got < kChunk) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return Drained{bytes, std::chrono::steady_clock::now() - start};
}

// Sends, again and again on a thread of its own, a call whose nine fields the
// method does not have each carry a string of 1 MiB: the daemon reads them
// only to skip them.
class SkippedStringSender {
 public:
  SkippedStringSender() : sending_([this] { send(); }) {}
  ~SkippedStringSender() {
    ending_ = true;
    sending_.join();
  }

 private:
  void send() {
    WireBytes arguments;
    for (int16_t id = 2; id <= 10; ++id) arguments.field(vesksapi::testing::kString, id).string(skipped_);
    const std::string frame = callFrame("syncDomain_stop", 0, arguments.bytes() + kUriArgument + kStop);
    while (!ending_) {
      RawConnection connection(vesktest::kServiceSocketName);
      connection.send(frame);
      connection.receive(1);
    }
  }

  const std::string skipped_ = std::string(1024 * 1024, 's');
  std::atomic<bool> ending_{false};
  std::thread sending_;
};

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
    {"a method name of 1 MiB",
     [](Held&) { expectEachFrameEndsItsConnection({callFrame(std::string(1024 * 1024, 'm'), 0, kStop)}); }},
    {"a client that takes its reply slowly",
     [](Held&) {
       const auto target = loadedTarget("", paddedDeviceDescription(kPaddedDescriptionBytes));
       RawConnection slow(vesktest::kServiceSocketName);
       const Drained drained = drainSlowly(slow);
       EXPECT_LT(drained.bytes, kPaddedDescriptionBytes);
       EXPECT_LT(millisecondsOf(drained.took), millisecondsOf(kReplyTime + std::chrono::seconds(3)));
       TestStatus status;
       vesksapi_unloadResources("networkDeviceParams", kTargetParams, status);
       EXPECT_EQ(status.code(), 0) << status.json();
     }},
    {"a connection that keeps sending skipped strings of 1 MiB beside a 200 KiB request",
     [](Held& h) {
       h.push_back(std::make_shared<SkippedStringSender>());
       const auto start = std::chrono::steady_clock::now();
       expectDomainRefused(syncDomainParams(R"("-1")", "/hostile/" + std::string(kMidDocumentBytes, 'p')), -52005);
       EXPECT_LT(millisecondsOf(std::chrono::steady_clock::now() - start), millisecondsOf(kMidDocumentTime));
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
       vesksapi_timescale_getTime(kTargetTimescale.c_str(), &time, read);
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

// ---- A stop ends the daemon within seconds, whatever is under way

constexpr std::chrono::seconds kStopTime(6);
// No remote exchange under way: what a stop takes alone.
constexpr std::chrono::seconds kFloodStopTime(3 * kFloodSlowdown);
constexpr int kFloodClients = 3000;
constexpr size_t kFloodDocumentBytes = 65535;
constexpr int kSlowHosts = 30;
constexpr int kSlowHostAnswerMs = 2000;

// What is under way when the stop comes: the target it needs, and what its
// caller ends with (an error code, or the bytes a reader took).
struct UnderWay {
  std::unique_ptr<vesktest::TargetSim> target;
  std::future<int64_t> outcome;
};

template <typename Call>
std::future<int64_t> calledElsewhere(Call call) {
  return std::async(std::launch::async, [call] {
    TestStatus status;
    call(status);
    return static_cast<int64_t>(status.code());
  });
}

void waitForRequests(const vesktest::TargetSim& target, size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + kTakeTime;
  while (target.requests().size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GE(target.requests().size(), count);
}

UnderWay aSlowReader() {
  UnderWay underWay;
  underWay.target = loadedTarget("", paddedDeviceDescription(kPaddedDescriptionBytes));
  auto reading = std::make_shared<std::promise<void>>();
  underWay.outcome = std::async(std::launch::async, [reading] {
    RawConnection slow(vesktest::kServiceSocketName);
    reading->set_value();
    return static_cast<int64_t>(drainSlowly(slow).bytes);
  });
  reading->get_future().wait();
  std::this_thread::sleep_for(std::chrono::seconds(2));  // well into its reply
  return underWay;
}

// The start waits for a member that is never coherent, for ever.
UnderWay aStartWithoutEnd() {
  UnderWay underWay;
  underWay.target = loadedTarget("", R"({"isCoherent":false})");
  TestStatus status;
  vesksapi_syncDomain_create("syncDomainParams",
                             (R"({"uri":"/d","timescaleUri":")" + kTargetTimescale + R"(","maxOffset_ns":1000,)"
                              R"("minSyncDuration_ms":0})")
                                 .c_str(),
                             status);
  vesksapi_syncDomain_addSyncableDevice("/d", kTargetDevice.c_str(), status);
  EXPECT_EQ(status.code(), 0) << status.json();
  underWay.target->clearRequests();
  underWay.outcome =
      calledElsewhere([](qzerr_Status* s) { vesksapi_syncDomain_start("/d", static_cast<uint32_t>(-1), s); });
  waitForRequests(*underWay.target, 2);
  return underWay;
}

// Each host's resource list comes after 2 s: the whole would take a minute.
UnderWay aLongCreateAndAdd() {
  UnderWay underWay;
  underWay.target = std::make_unique<vesktest::TargetSim>(
      vesktest::oneDeviceTarget(R"(,"resourceList":{"delayMs":)" + std::to_string(kSlowHostAnswerMs) + "}"),
      "0.0.0.0");
  std::string hosts;
  for (int host = 2; host < 2 + kSlowHosts; ++host) {
    hosts += (hosts.empty() ? "\"" : ",\"") + std::string("127.0.0.") + std::to_string(host) + "\"";
  }
  const std::string params =
      R"({"uri":"/d","timescaleUri":null,"remoteHosts":[)" + hosts + R"(],"maxOffset_ns":1000,"minSyncDuration_ms":0})";
  underWay.outcome = calledElsewhere([params](qzerr_Status* s) {
    char timescale[256];
    vesksapi_syncDomain_createAndAddDevices("syncDomainCreateAndAddRemoteDevicesParams", params.c_str(), timescale,
                                            sizeof timescale, s);
  });
  waitForRequests(*underWay.target, 2);
  return underWay;
}

// The correlation waits for samples that come every 2 s, for weeks if need be.
UnderWay aCorrelationWaitingForSamples() {
  UnderWay underWay;
  underWay.target = loadedTarget(R"(,"timestampDaemon":{"delayMs":2000})");
  TestStatus status;
  vesksapi_timestampCorrelator_create("linearCorrelatorParams",
                                      (R"({"timescaleUri1":"/localhost/vesks/timescales/system","timescaleUri2":")" +
                                       kTargetTimescale +
                                       R"(","samplingIntervalMs":5,"maxSampleSize":50,)"
                                       R"("maxWaitForFirstCorrelate_ms":4000000000})")
                                          .c_str(),
                                      status);
  EXPECT_EQ(status.code(), 0) << status.json();
  underWay.outcome = calledElsewhere([](qzerr_Status* s) {
    const vesklib_Timestamp question{1, 0, 0, false};
    vesklib_Timestamp answer{};
    vesksapi_timestampCorrelator_correlate("/localhost/vesks/timescales/system", kTargetTimescale.c_str(), &question,
                                           &answer, s);
  });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  return underWay;
}

// Thousands of documents at a time, again and again, until the daemon is gone.
UnderWay aFloodOfDocuments() {
  UnderWay underWay;
  underWay.outcome = std::async(std::launch::async, [] {
    const std::atomic<bool> never{false};
    vesktest::floodUntil(vesktest::tinyValuesCreateFrame(kFloodDocumentBytes), kFloodClients,
                         vesktest::Pacing::kLastBytesTogether, never);
    return int64_t{0};
  });
  std::this_thread::sleep_for(std::chrono::seconds(5));
  return underWay;
}

const struct StopCase {
  const char* name;
  UnderWay (*begin)();
  // What the caller ends with, where it is one outcome.
  std::optional<int64_t> outcome;
  // About a second, plus the remote exchange under way.
  std::chrono::seconds stopTime = kStopTime;
} kStopCases[] = {
    {"a client taking its reply slowly", aSlowReader, std::nullopt},
    {"a start with timeout_s -1", aStartWithoutEnd, -52007},
    {"a create-and-add over many slow hosts", aLongCreateAndAdd, -52020},
    // Answered from the samples it has, or without enough of them.
    {"a correlation waiting for its first samples", aCorrelationWaitingForSamples, std::nullopt},
    {"a flood of 3000 documents of 64 KiB", aFloodOfDocuments, std::nullopt, kFloodStopTime},
};

TEST(HostileClients, AStopEndsTheDaemonWithinSecondsWhateverIsUnderWay) {
  const vesktest::OpenFileSoftLimit roomForTheFlood(RLIM_INFINITY);
  for (const StopCase& stopCase : kStopCases) {
    SCOPED_TRACE(stopCase.name);
    vesktest::VesksDaemon daemon;
    UnderWay underWay = stopCase.begin();
    const auto start = std::chrono::steady_clock::now();
    const int waitStatus = daemon.stop(SIGTERM);
    EXPECT_LT(millisecondsOf(std::chrono::steady_clock::now() - start), millisecondsOf(stopCase.stopTime));
    EXPECT_TRUE(WIFSIGNALED(waitStatus) && WTERMSIG(waitStatus) == SIGTERM) << waitStatus;
    ASSERT_EQ(underWay.outcome.wait_for(kTakeTime), std::future_status::ready);
    const int64_t outcome = underWay.outcome.get();
    if (stopCase.outcome) {
      EXPECT_EQ(outcome, *stopCase.outcome);
    }
  }
}

// ---- Floods of documents

constexpr double kPeakResidentLimitMiB = 512;
// What a later round's peak may add to the first's.
constexpr double kPeakGrowthSlackMiB = 48;
// The daemon's time for a request, and what a busy machine may add to it.
constexpr auto kRequestTime = std::chrono::seconds(10);
constexpr auto kRequestTimeSlack = std::chrono::seconds(1);

// Asks a normal call, each on a fresh connection, again and again on a thread
// of its own until stopped, and keeps the longest answer time.
class NormalCallProbe {
 public:
  NormalCallProbe() : asking_([this] { ask(); }) {}
  ~NormalCallProbe() { stop(); }

  std::chrono::steady_clock::duration stop() {
    ending_ = true;
    if (asking_.joinable()) asking_.join();
    return longest_;
  }

 private:
  void ask() {
    while (!ending_) {
      const auto start = std::chrono::steady_clock::now();
      TestStatus status;
      char timescales[256];
      vesksapi_getTimescaleInfo(timescales, sizeof timescales, status);
      EXPECT_EQ(status.code(), 0) << status.json();
      longest_ = std::max(longest_, std::chrono::steady_clock::now() - start);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  std::atomic<bool> ending_{false};
  std::chrono::steady_clock::duration longest_{};
  std::thread asking_;
};

const struct Flood {
  const char* name;
  int clients;
  size_t documentBytes;
  vesktest::Pacing pacing;
  int rounds;
} kFloods[] = {
    {"400 documents just inside the string limit", 400, kLongDocumentBytes, vesktest::Pacing::kEachWhole, 1},
    {"2000 documents of 64 KiB, their last bytes together, three times", 2000, 65535,
     vesktest::Pacing::kLastBytesTogether, 3},
};

// However many clients send documents at once, the daemon's memory stays
// bounded and does not grow from round to round, each client is answered or
// closed within its request time, and a normal call is answered meanwhile.
TEST(HostileClients, FloodsOfDocumentsStayWithinMemoryAndTimeAndOthersAreServed) {
  const vesktest::OpenFileSoftLimit roomForTheCrowd(RLIM_INFINITY);
  for (const Flood& flood : kFloods) {
    SCOPED_TRACE(flood.name);
    vesktest::VesksDaemon daemon;
    const std::string frame = vesktest::tinyValuesCreateFrame(flood.documentBytes);
    std::vector<double> peaks;
    for (int round = 0; round < flood.rounds; ++round) {
      SCOPED_TRACE("round " + std::to_string(round + 1));
      daemon.resetPeakResident();
      NormalCallProbe probe;
      const vesktest::FloodOutcome outcome = vesktest::floodOnce(frame, flood.clients, flood.pacing);
      EXPECT_LT(millisecondsOf(probe.stop()), millisecondsOf(kAnswerTime * kFloodSlowdown));
      EXPECT_EQ(outcome.connected, flood.clients);
      EXPECT_EQ(outcome.answered + outcome.closed, outcome.connected) << outcome.closed << " closed";
      EXPECT_LT(outcome.longest.count(), millisecondsOf(kRequestTime + kRequestTimeSlack * kFloodSlowdown));
      peaks.push_back(daemon.peakResidentMiB());
    }
    if (!kResidentMemoryCounts) continue;
    std::string peaksSeen;
    for (const double peak : peaks) peaksSeen += " " + std::to_string(static_cast<int>(peak));
    SCOPED_TRACE("peaks in MiB:" + peaksSeen);
    for (const double peak : peaks) EXPECT_LT(peak, kPeakResidentLimitMiB);
    EXPECT_LT(peaks.back(), peaks.front() + kPeakGrowthSlackMiB);
  }
}
