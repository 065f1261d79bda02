// The session against simulated remote targets, inside the test's private
// network namespace: loading and unloading targets, sync domains on their
// devices, create-and-add-devices, and correlators against a target's clock.
#include "vesksapi/session/session.h"

#include <cjson/cJSON.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "targetSim.h"
#include "testing/raised.h"
#include "testing/testStatus.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace {

using vesk::testing::lastChannel;
using vesk::testing::TestStatus;
using vesklib::testing::hostNanos;
using vesklib::testing::nanosOf;
using vesklib::testing::sameTimestamp;
using vesklib::testing::timestampOf;
using vesktest::TargetSim;
using vesktools::pendulo::testing::hostFollowsState;
using vesktools::pendulo::testing::QzqlmStateFile;

constexpr char kSystem[] = "/localhost/vesks/timescales/system";
constexpr char kTimekeeper[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
// One grandmaster as two targets spell it, and a second one.
constexpr char kGmDashed[] = "/veskwebs/timescales/pendulo/ptp0/00-1B-21-FF-FE-00-00-01";
constexpr char kGmColons[] = "/veskwebs/timescales/pendulo/ptp0/00:1b:21:ff:fe:00:00:01";
constexpr char kGm2[] = "/veskwebs/timescales/pendulo/ptp1/00-1b-21-ff-fe-00-00-02";
constexpr char kNotSynchronised[] = R"({"qlmAttributes": {"isHostTimeSynchronized": false}})";

// A target whose timekeeper device is listed first, then its timescales;
// `device` adds members to the device, `more` to the configuration.
std::string targetConfig(const std::vector<std::string>& timescales, const std::string& more = "",
                         const std::string& device = "") {
  std::string list;
  for (const std::string& uri : timescales) list += (list.empty() ? "\"" : ",\"") + uri + "\"";
  return R"({"devices":[{"uri":")" + std::string(kTimekeeper) + "\"" + device + R"(}],"timescales":[)" + list +
         "]" + more + "}";
}

std::string hostDocument(const std::string& hostJson) {
  return R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":)" + hostJson + "}}";
}
std::string host(const std::string& address) { return hostDocument("\"" + address + "\""); }

std::string syncDomainParams(const std::string& uri, const std::string& timescaleUri, uint32_t maxOffset_ns = 1000) {
  return R"({"version":1,"type":"syncDomainParams","params":{"uri":")" + uri + R"(","timescaleUri":")" +
         timescaleUri + R"(","maxOffset_ns":)" + std::to_string(maxOffset_ns) + R"(,"minSyncDuration_ms":10}})";
}

// An empty timescaleUri leaves the choice to the session (null).
std::string createAndAddParams(const std::string& uri, const std::vector<std::string>& hosts,
                               uint32_t maxOffset_ns = 1000, const std::string& timescaleUri = "") {
  std::string list;
  for (const std::string& h : hosts) list += (list.empty() ? "\"" : ",\"") + h + "\"";
  const std::string timescale = timescaleUri.empty() ? "null" : "\"" + timescaleUri + "\"";
  return R"({"version":1,"type":"syncDomainCreateAndAddRemoteDevicesParams","params":{"uri":")" + uri +
         R"(","timescaleUri":)" + timescale + R"(,"remoteHosts":[)" + list + R"(],"maxOffset_ns":)" +
         std::to_string(maxOffset_ns) + R"(,"minSyncDuration_ms":10}})";
}

std::string correlatorParams(const std::string& uri1, const std::string& uri2, const std::string& more = "") {
  return R"({"version":1,"type":"linearCorrelatorParams","params":{"timescaleUri1":")" + uri1 +
         R"(","timescaleUri2":")" + uri2 + R"(","samplingIntervalMs":5,"maxSampleSize":50,)" +
         R"("maxWaitForFirstCorrelate_ms":10000)" + more + "}}";
}

struct Outcome {
  int32_t code;
  std::string detail;
};

template <typename Call>
Outcome outcomeOf(Call call) {
  TestStatus status;
  call(status.get());
  return {status.code(), status.json()};
}

using JsonTree = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;
JsonTree parsed(const std::string& json) { return JsonTree(cJSON_Parse(json.c_str()), cJSON_Delete); }

// The array's strings, or each element's member `key`, sorted.
std::vector<std::string> sortedTexts(const std::string& jsonArray, const char* key = nullptr) {
  const JsonTree array = parsed(jsonArray);
  std::vector<std::string> texts;
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, array.get()) {
    const cJSON* text = key == nullptr ? element : cJSON_GetObjectItemCaseSensitive(element, key);
    texts.push_back(cJSON_IsString(text) ? text->valuestring : "(not a string)");
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

// How many requests of `method` to the timekeeper device a target received.
size_t timekeeperRequests(const TargetSim& target, const std::string& method) {
  const std::vector<vesktest::LoggedRequest> requests = target.requests();
  return std::count_if(requests.begin(), requests.end(), [&](const vesktest::LoggedRequest& request) {
    return request.method == method && request.target == kTimekeeper;
  });
}

class SessionOnTargets : public ::testing::Test {
 protected:
  std::string load(const std::string& address) {
    std::string answer;
    const Outcome result = outcomeOf([&](qzerr_Status* s) { session_.loadResources(answer, host(address), s); });
    EXPECT_EQ(result.code, 0) << result.detail;
    return answer;
  }
  Outcome unload(const std::string& document) {
    return outcomeOf([&](qzerr_Status* s) { session_.unloadResources(document, s); });
  }
  Outcome createDomain(const std::string& uri, const std::string& timescaleUri, uint32_t maxOffset_ns = 1000) {
    return outcomeOf(
        [&](qzerr_Status* s) { session_.syncDomain_create(syncDomainParams(uri, timescaleUri, maxOffset_ns), s); });
  }
  Outcome add(const std::string& domainUri, const std::string& deviceUri) {
    return outcomeOf([&](qzerr_Status* s) { session_.syncDomain_addSyncableDevice(domainUri, deviceUri, s); });
  }
  Outcome deleteDomain(const std::string& uri) {
    return outcomeOf([&](qzerr_Status* s) { session_.syncDomain_delete(uri, s); });
  }
  Outcome createAndAdd(std::string& result, const std::string& document) {
    return outcomeOf([&](qzerr_Status* s) { session_.syncDomain_createAndAddDevices(result, document, s); });
  }
  // A domain on the timescale of `target` (127.0.0.2) whose one member, the
  // target's device, answers only after `delayMs`.
  void makeDomainWithSlowMember(const TargetSim& target, const std::string& uri, int delayMs);
  // The shared timescale that create-and-add chooses first when nothing
  // conflicts, found by a domain made and deleted again.
  std::string firstChosenTimescale(const std::vector<std::string>& hosts) {
    std::string first;
    EXPECT_EQ(createAndAdd(first, createAndAddParams("/sd/probe", hosts)).code, 0);
    EXPECT_EQ(deleteDomain("/sd/probe").code, 0);
    return first;
  }
  Outcome createCorrelator(const std::string& document) {
    return outcomeOf([&](qzerr_Status* s) { session_.timestampCorrelator_create(document, s); });
  }
  Outcome deleteCorrelator(const std::string& uri1, const std::string& uri2) {
    return outcomeOf([&](qzerr_Status* s) { session_.timestampCorrelator_delete(uri1, uri2, s); });
  }
  std::string info(void (vesksapi::Session::*getter)(std::string&, qzerr_Status*)) {
    std::string text;
    const Outcome result = outcomeOf([&](qzerr_Status* s) { (session_.*getter)(text, s); });
    EXPECT_EQ(result.code, 0) << result.detail;
    return text;
  }
  std::vector<std::string> timescaleUris() { return sortedTexts(info(&vesksapi::Session::getTimescaleInfo)); }
  size_t deviceCount() { return sortedTexts(info(&vesksapi::Session::getSyncableDeviceInfo)).size(); }
  std::vector<std::string> domainUris() { return sortedTexts(info(&vesksapi::Session::getSyncDomainInfo), "uri"); }
  // The "uri" of each member of the domain listed at `index`.
  std::vector<std::string> memberUris(int index) {
    const JsonTree domains = parsed(info(&vesksapi::Session::getSyncDomainInfo));
    const cJSON* domain = cJSON_GetArrayItem(domains.get(), index);
    const cJSON* members = cJSON_GetObjectItemCaseSensitive(domain, "syncableDevices");
    char* printed = cJSON_PrintUnformatted(members);
    const std::string text = printed != nullptr ? printed : "[]";
    cJSON_free(printed);
    return sortedTexts(text, "uri");
  }

  // The manager of this host reports it unsynchronised: correlators are linear.
  QzqlmStateFile manager_{kNotSynchronised};
  vesksapi::Session session_;
};

const std::string kDeviceA = std::string("127.0.0.2") + kTimekeeper;
const std::string kDeviceB = std::string("127.0.0.3") + kTimekeeper;
const std::string kGmDashedA = std::string("127.0.0.2") + kGmDashed;
const std::string kGm2A = std::string("127.0.0.2") + kGm2;

void SessionOnTargets::makeDomainWithSlowMember(const TargetSim& target, const std::string& uri, int delayMs) {
  load("127.0.0.2");
  ASSERT_EQ(createDomain(uri, kGmDashedA).code, 0);
  ASSERT_EQ(add(uri, kDeviceA).code, 0);
  target.updateDevice(kTimekeeper + 1, R"({"get":{"delayMs":)" + std::to_string(delayMs) + "}}");
}

// What a call left waiting by the shutdown is given to end: ample for a busy
// machine and the sanitizer build.
constexpr std::chrono::seconds kEndsAfterShutdown(10);

// Whether `call` ends within kEndsAfterShutdown. If not, `unblock` makes its
// target answer so that it does end: the test then fails instead of waiting
// for ever on the call's thread.
template <typename Result>
bool endsAfterShutdown(const std::future<Result>& call, const std::function<void()>& unblock) {
  if (call.wait_for(kEndsAfterShutdown) == std::future_status::ready) return true;
  unblock();
  return false;
}

// ---- Loading and unloading

TEST_F(SessionOnTargets, LoadingTwiceAnswersAlikeAndKeepsTheFirstObjects) {
  const TargetSim target(targetConfig({kGmDashed}), "127.0.0.2");
  const std::string expected =
      R"({"syncableDevices":[")" + kDeviceA + R"("],"timescales":[")" + kGmDashedA + R"("]})";
  EXPECT_EQ(load("127.0.0.2"), expected);
  ASSERT_EQ(createDomain("/sd/first", kGmDashedA).code, 0);
  ASSERT_EQ(add("/sd/first", kDeviceA).code, 0);

  EXPECT_EQ(load("127.0.0.2"), expected);
  EXPECT_EQ(timescaleUris(), (std::vector<std::string>{kSystem, kGmDashedA}));
  EXPECT_EQ(deviceCount(), 1u);
  // The registered device is still the one that took /sd/first's
  // requirements: a second domain that asks for others conflicts with it.
  ASSERT_EQ(createDomain("/sd/second", kGmDashedA, 2000).code, 0);
  EXPECT_EQ(add("/sd/second", kDeviceA).code, -1074100993);
}

TEST_F(SessionOnTargets, UnloadingRefusesWhileADomainOrACorrelatorUsesTheTarget) {
  const TargetSim target(targetConfig({kGmDashed}), "127.0.0.2");
  load("127.0.0.2");
  ASSERT_EQ(createDomain("/sd/a", kGmDashedA).code, 0);
  ASSERT_EQ(add("/sd/a", kDeviceA).code, 0);
  const std::string tabs = "\\t\\t\\t\\t\\t" + std::string(21, ' ');

  const Outcome deviceBusy = unload(host("127.0.0.2"));
  EXPECT_EQ(deviceBusy.code, -52031);
  EXPECT_EQ(lastChannel(deviceBusy.detail, "qzsyncdomain_debug"),
            R"({"device to delete is in use and could not )" + tabs + R"(be unloaded.":")" + kDeviceA + R"("})");
  EXPECT_NE(parsed(deviceBusy.detail), nullptr) << "the detail is JSON";
  EXPECT_EQ(timescaleUris().size(), 2u);
  EXPECT_EQ(deviceCount(), 1u);

  ASSERT_EQ(deleteDomain("/sd/a").code, 0);
  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kGmDashedA)).code, 0);
  const Outcome timescaleBusy = unload(host("127.0.0.2"));
  EXPECT_EQ(timescaleBusy.code, -52031);
  EXPECT_EQ(lastChannel(timescaleBusy.detail, "qzsyncdomain_debug"),
            R"({"timescale to delete is in use and could not )" + tabs + R"(be unloaded.":")" + kGmDashedA +
                R"("})");
  EXPECT_EQ(deviceCount(), 1u) << "the free device stays while the timescale is busy";

  ASSERT_EQ(deleteCorrelator(kGmDashedA, kSystem).code, 0);
  EXPECT_EQ(unload(host("127.0.0.2")).code, 0);
  EXPECT_EQ(timescaleUris(), std::vector<std::string>{kSystem});
  EXPECT_EQ(deviceCount(), 0u);
}

TEST_F(SessionOnTargets, UnloadingTakesOnlyObjectsUnderTheTargetsOwnRoot) {
  const TargetSim two(targetConfig({kGmDashed}), "127.0.0.2");
  const TargetSim twelve(targetConfig({kGm2}), "127.0.0.12");
  load("127.0.0.2");
  load("127.0.0.12");
  const std::vector<std::string> all = {kSystem, "127.0.0.12" + std::string(kGm2), kGmDashedA};
  ASSERT_EQ(timescaleUris(), all);

  // No host names no target, the system timescale is nobody's, and
  // 127.0.0.1's root is only the beginning of 127.0.0.12's.
  EXPECT_EQ(unload(hostDocument("null")).code, 0);
  EXPECT_EQ(unload(host("/localhost")).code, 0);
  EXPECT_EQ(unload(host("127.0.0.1")).code, 0);
  EXPECT_EQ(timescaleUris(), all);
  EXPECT_EQ(deviceCount(), 2u);

  EXPECT_EQ(unload(host("127.0.0.2")).code, 0);
  EXPECT_EQ(timescaleUris(), (std::vector<std::string>{kSystem, "127.0.0.12" + std::string(kGm2)}));
  EXPECT_EQ(sortedTexts(info(&vesksapi::Session::getSyncableDeviceInfo), "uri"),
            std::vector<std::string>{"127.0.0.12" + std::string(kTimekeeper)});
}

// A target whose URIs hold a quote changes no document the session writes:
// each stays one string value, and create-and-add reads back the same URI.
TEST_F(SessionOnTargets, URIsHoldingQuotesStayOneStringValue) {
  const TargetSim target(targetConfig({R"(/veskwebs/timescales/pendulo/ptp0/gm\",\"x)"}), "127.0.0.2");
  const std::string quoted = R"(127.0.0.2/veskwebs/timescales/pendulo/ptp0/gm",")" "x";
  const std::string answer = load("127.0.0.2");
  const JsonTree loaded = parsed(answer);
  ASSERT_NE(loaded, nullptr) << answer;
  EXPECT_STREQ(cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(loaded.get(), "timescales"), 0)->valuestring,
               quoted.c_str());
  EXPECT_EQ(timescaleUris(), (std::vector<std::string>{kSystem, quoted}));

  std::string result;
  const Outcome made = createAndAdd(result, createAndAddParams("/sd/quoted", {"127.0.0.2"}));
  EXPECT_EQ(made.code, 0) << made.detail;
  EXPECT_EQ(result, quoted);
}

// ---- Sync domains on a target's device

TEST_F(SessionOnTargets, ASyncDomainIsFilledStartedCheckedStoppedAndDeleted) {
  const TargetSim target(targetConfig({kGmDashed}), "127.0.0.2");
  load("127.0.0.2");
  ASSERT_EQ(createDomain("/sd/a", kGmDashedA).code, 0);
  EXPECT_EQ(createDomain("/sd/a", "/no/timescale").code, -52013);
  EXPECT_EQ(createDomain("/sd/b", "/no/timescale").code, -52006);
  const Outcome missing = add("/sd/a", "127.0.0.2/veskwebs/syncableDevices/pendulo/timekeeper/other");
  EXPECT_EQ(missing.code, -52006);
  EXPECT_EQ(lastChannel(missing.detail, "qzsyncdomain_debug"),
            R"({"syncableDeviceUri":"127.0.0.2/veskwebs/syncableDevices/pendulo/timekeeper/other"})");
  ASSERT_EQ(add("/sd/a", kDeviceA).code, 0);
  EXPECT_EQ(timekeeperRequests(target, "PUT"), 1u);

  TestStatus status;
  EXPECT_TRUE(session_.syncDomain_start("/sd/a", 5, status));
  EXPECT_TRUE(session_.syncDomain_isCoherent("/sd/a", status));
  EXPECT_TRUE(session_.syncDomain_isCoherentSinceLastChecked("/sd/a", status));
  ASSERT_EQ(status.code(), 0) << status.json();
  const JsonTree domains = parsed(info(&vesksapi::Session::getSyncDomainInfo));
  const cJSON* domain = cJSON_GetArrayItem(domains.get(), 0);
  EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(domain, "type")->valuestring, "SyncDomain");
  EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(domain, "isRunning")));

  TestStatus again;
  EXPECT_FALSE(session_.syncDomain_start("/sd/a", 5, again));
  EXPECT_LT(again.code(), 0) << "a running domain refuses a second start";
  EXPECT_EQ(outcomeOf([&](qzerr_Status* s) { session_.syncDomain_stop("/sd/a", s); }).code, 0);

  target.updateDevice(kTimekeeper + 1, R"({"isCoherent":false,"coherencyLossCount":1})");
  TestStatus timedOut;
  EXPECT_FALSE(session_.syncDomain_start("/sd/a", 1, timedOut));
  EXPECT_EQ(timedOut.code(), -52007) << timedOut.json();
  EXPECT_EQ(outcomeOf([&](qzerr_Status* s) { session_.syncDomain_startV2("/sd/a", true, false, 1, s); }).code, 0);
  EXPECT_EQ(deleteDomain("/sd/a").code, 0);
  EXPECT_EQ(domainUris(), std::vector<std::string>{});
}

// A start that times out leaves its member's request outstanding; deleting the
// domain and unloading the device right away must not leave that task to call
// a released device (the sanitizer build would report it).
TEST_F(SessionOnTargets, AMemberTaskNeverOutlivesItsDevice) {
  const TargetSim target(targetConfig({kGmDashed}), "127.0.0.2");
  makeDomainWithSlowMember(target, "/sd/slow", 2500);
  TestStatus status;
  EXPECT_FALSE(session_.syncDomain_start("/sd/slow", 1, status));
  EXPECT_EQ(status.code(), -52007) << status.json();
  EXPECT_EQ(deleteDomain("/sd/slow").code, 0);
  EXPECT_EQ(unload(host("127.0.0.2")).code, 0);
  EXPECT_EQ(deviceCount(), 0u);
}

// A start waiting for its member's slow answer holds the session: an
// operation that returns nothing, asked meanwhile, runs only after it, as
// its outcome shows.
TEST_F(SessionOnTargets, AnOperationWithoutResultWaitsForTheStartInProgress) {
  const TargetSim target(targetConfig({kGmDashed}), "127.0.0.2");
  makeDomainWithSlowMember(target, "/sd/held", 1000);
  const struct {
    const char* what;
    std::function<Outcome()> call;
    int32_t code;
    bool runningAfter;
  } cases[] = {
      // Stopped after the start ended, the domain does not run.
      {"stop", [&] { return outcomeOf([&](qzerr_Status* s) { session_.syncDomain_stop("/sd/held", s); }); }, 0, false},
      // Started after the start ended, the domain refuses: it runs already.
      {"startV2",
       [&] {
         return outcomeOf([&](qzerr_Status* s) { session_.syncDomain_startV2("/sd/held", true, false, 5, s); });
       },
       -52017, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    target.clearRequests();
    auto starting = std::async(std::launch::async, [&] {
      return outcomeOf([&](qzerr_Status* s) { EXPECT_TRUE(session_.syncDomain_start("/sd/held", 30, s)); });
    });
    for (int attempt = 0; attempt < 2000 && timekeeperRequests(target, "GET") == 0; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GT(timekeeperRequests(target, "GET"), 0u) << "the start never asked the device";
    const Outcome during = c.call();
    EXPECT_EQ(starting.get().code, 0);
    EXPECT_EQ(during.code, c.code) << during.detail;
    const JsonTree domains = parsed(info(&vesksapi::Session::getSyncDomainInfo));
    const cJSON* running = cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(domains.get(), 0), "isRunning");
    EXPECT_EQ(cJSON_IsTrue(running), c.runningAfter);
    ASSERT_EQ(outcomeOf([&](qzerr_Status* s) { session_.syncDomain_stop("/sd/held", s); }).code, 0);
  }
}

// The daemon's stop: a start that would wait for ever answers as its time-out
// would, and the call queued behind it, like any later one, does not begin.
TEST_F(SessionOnTargets, ShutdownEndsAStartWaitingForEverAndRefusesLaterOperations) {
  const TargetSim target(targetConfig({kGmDashed}), "127.0.0.2");
  load("127.0.0.2");
  ASSERT_EQ(createDomain("/sd/never", kGmDashedA).code, 0);
  ASSERT_EQ(add("/sd/never", kDeviceA).code, 0);
  target.updateDevice(kTimekeeper + 1, R"({"isCoherent":false})");
  auto starting = std::async(std::launch::async, [&] {
    return outcomeOf([&](qzerr_Status* s) { EXPECT_FALSE(session_.syncDomain_start("/sd/never", UINT32_MAX, s)); });
  });
  while (timekeeperRequests(target, "GET") < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  auto queued = std::async(std::launch::async, [&] { return deleteDomain("/sd/never"); });

  session_.beginShutdown();

  ASSERT_TRUE(endsAfterShutdown(starting, [&] { target.updateDevice(kTimekeeper + 1, R"({"isCoherent":true})"); }))
      << "the shutdown left the start waiting";
  const Outcome started = starting.get();
  EXPECT_EQ(started.code, -52007) << started.detail;
  const Outcome refused = queued.get();
  EXPECT_EQ(refused.code, -52020);
  EXPECT_EQ(lastChannel(refused.detail, "qzsyncdomain_debug"), R"({"message":"The service is stopping."})");
  EXPECT_EQ(outcomeOf([&](qzerr_Status* s) { session_.syncDomain_stop("/sd/never", s); }).code, -52020);
}

// A correlation waiting for samples that come every 2 s, with a wait of
// weeks allowed, ends once the shutdown has stopped its correlator.
TEST_F(SessionOnTargets, ShutdownEndsACorrelationWaitingForItsFirstSamples) {
  const TargetSim target(targetConfig({kGmDashed}, R"(,"timestampDaemon":{"delayMs":2000})"), "127.0.0.2");
  load("127.0.0.2");
  ASSERT_EQ(createCorrelator(R"({"version":1,"type":"linearCorrelatorParams","params":{"timescaleUri1":")" +
                             std::string(kSystem) + R"(","timescaleUri2":")" + kGmDashedA +
                             R"(","samplingIntervalMs":5,"maxSampleSize":50,"maxWaitForFirstCorrelate_ms":)"
                             R"(4000000000}})")
                .code,
            0);
  std::promise<void> asking;
  auto correlating = std::async(std::launch::async, [&] {
    const vesklib_Timestamp in = timestampOf(hostNanos());
    vesklib_Timestamp out{};
    asking.set_value();
    return outcomeOf(
        [&](qzerr_Status* s) { session_.timestampCorrelator_correlate(kSystem, kGmDashedA, &in, &out, s); });
  });
  asking.get_future().wait();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  session_.beginShutdown();

  ASSERT_TRUE(endsAfterShutdown(correlating, [&] { target.updateTimestampDaemon(R"({"delayMs":0})"); }))
      << "the shutdown left the correlation waiting";
  const Outcome answered = correlating.get();
  EXPECT_TRUE(answered.code == 0 || answered.code == -52010) << answered.detail;
}

// ---- Create-and-add-devices

TEST_F(SessionOnTargets, CreateAndAddSharesAGrandmasterSpelledTwoWays) {
  const TargetSim a(targetConfig({kGmDashed}), "127.0.0.2");
  const TargetSim b(targetConfig({kGmColons}), "127.0.0.3");
  std::string result;
  const Outcome made = createAndAdd(result, createAndAddParams("/sd/ca", {"127.0.0.2", "127.0.0.3"}));
  ASSERT_EQ(made.code, 0) << made.detail;
  EXPECT_EQ(result, kGmDashedA);
  EXPECT_EQ(timekeeperRequests(a, "PUT"), 1u);
  EXPECT_EQ(timekeeperRequests(b, "PUT"), 1u);
  EXPECT_EQ(domainUris(), std::vector<std::string>{"/sd/ca"});
  EXPECT_EQ(memberUris(0), (std::vector<std::string>{kDeviceA, kDeviceB}));
}

TEST_F(SessionOnTargets, AConflictOnOneCandidateMovesTheDomainToTheNext) {
  const TargetSim a(targetConfig({kGmDashed, kGm2}), "127.0.0.2");
  const TargetSim b(targetConfig({kGmDashed, kGm2}), "127.0.0.3");
  const std::vector<std::string> hosts = {"127.0.0.2", "127.0.0.3"};
  const std::string first = firstChosenTimescale(hosts);
  const std::string second = first == kGmDashedA ? kGm2A : kGmDashedA;

  // Another domain holds device A with the same requirements on the second.
  ASSERT_EQ(createDomain("/sd/other", second).code, 0);
  ASSERT_EQ(add("/sd/other", kDeviceA).code, 0);
  std::string result;
  const Outcome moved = createAndAdd(result, createAndAddParams("/sd/new", hosts));
  EXPECT_EQ(moved.code, 0) << moved.detail;
  EXPECT_EQ(result, second);
  EXPECT_EQ(domainUris(), (std::vector<std::string>{"/sd/new", "/sd/other"}));
  ASSERT_EQ(deleteDomain("/sd/new").code, 0);

  // Other requirements conflict on every candidate: nothing of this call stays.
  std::string none = "(before)";
  const Outcome refused = createAndAdd(none, createAndAddParams("/sd/strict", hosts, 5));
  EXPECT_EQ(refused.code, -1074100993);
  EXPECT_EQ(none, "");
  const std::string conflicts = vesk::testing::after(refused.detail, "\"conflictingDevicesPerTimescale\":");
  EXPECT_NE(conflicts.find(R"({"timescaleUri":")" + first + R"(","syncableDeviceUris":[")" + kDeviceA + "\"]}"),
            std::string::npos)
      << conflicts;
  EXPECT_NE(conflicts.find(R"({"timescaleUri":")" + second + R"(","syncableDeviceUris":[")" + kDeviceA + "\"]}"),
            std::string::npos)
      << conflicts;
  EXPECT_EQ(domainUris(), std::vector<std::string>{"/sd/other"});
}

// The caller's timescale is the only candidate, even where the session would
// have chosen another shared one first; a host's own spelling of it is kept.
TEST_F(SessionOnTargets, CreateAndAddUsesTheTimescaleTheCallerNames) {
  const TargetSim a(targetConfig({kGmDashed, kGm2}), "127.0.0.2");
  const TargetSim b(targetConfig({kGmColons, kGm2}), "127.0.0.3");
  const std::vector<std::string> hosts = {"127.0.0.2", "127.0.0.3"};
  const std::string first = firstChosenTimescale(hosts);
  const std::string second = first == kGmDashedA ? kGm2A : kGmDashedA;
  const std::string secondOnB = "127.0.0.3" + std::string(second == kGm2A ? kGm2 : kGmColons);

  for (const std::string& named : {second, secondOnB}) {
    SCOPED_TRACE(named);
    std::string result;
    const Outcome made = createAndAdd(result, createAndAddParams("/sd/named", hosts, 1000, named));
    ASSERT_EQ(made.code, 0) << made.detail;
    EXPECT_EQ(result, named);
    EXPECT_EQ(memberUris(0), (std::vector<std::string>{kDeviceA, kDeviceB}));
    ASSERT_EQ(deleteDomain("/sd/named").code, 0);
  }

  // Its name is on every host, but not this text: the creation cannot find it.
  const std::string unregistered = "127.0.0.9" + std::string(kGm2);
  std::string result = "(before)";
  const Outcome missing = createAndAdd(result, createAndAddParams("/sd/named", hosts, 1000, unregistered));
  EXPECT_EQ(missing.code, -52006);
  EXPECT_EQ(lastChannel(missing.detail, "qzsyncdomain_debug"), R"({"timescaleUri":")" + unregistered + R"("})");
  EXPECT_EQ(result, "");
  EXPECT_EQ(domainUris(), std::vector<std::string>{});
}

// A grouping entry as a failure's detail writes it.
std::string groupingEntry(const std::string& timescaleUri, const std::string& deviceUri) {
  return R"({"timescaleUri":")" + timescaleUri + R"(","syncableDeviceUris":[")" + deviceUri + R"("]})";
}

// Whether `channel` is `head` followed by the grouping of `entries`, in any
// order (the grouping follows a hash map), and the channel's end.
bool isChannelWithGrouping(const std::string& channel, const std::string& head, std::vector<std::string> entries) {
  std::sort(entries.begin(), entries.end());
  do {
    std::string grouping;
    for (const std::string& entry : entries) grouping += (grouping.empty() ? "" : ",") + entry;
    if (channel == head + "[" + grouping + "]}") return true;
  } while (std::next_permutation(entries.begin(), entries.end()));
  return false;
}

// A timescale that not every host reports, named by the caller or not; a host
// listed twice counts twice among the devices but once on its timescale.
TEST_F(SessionOnTargets, CreateAndAddFailsWithoutATimescaleOnEveryHost) {
  const TargetSim a(targetConfig({kGmDashed}), "127.0.0.2");
  const TargetSim b(targetConfig({kGm2}), "127.0.0.3");
  const std::string gm2B = "127.0.0.3" + std::string(kGm2);
  const std::string unusable = R"({"message":"Not all of the syncableDevices were on the provided timescale",)"
                               R"("timescaleUriProvided":")" + kGmDashedA + R"(","timescalesAndDevices":)";
  const std::string noneShared =
      R"({"message":"Could not find a timescale common to all the remote hosts","timescalesAndDevices":)";
  const struct {
    const char* what;
    std::vector<std::string> hosts;
    std::string timescaleUri;
    int32_t code;
    std::string channelHead;
    std::vector<std::string> grouping;
  } cases[] = {
      {"named, on one host of two", {"127.0.0.2", "127.0.0.3"}, kGmDashedA, -1074100994, unusable,
       {groupingEntry(kGmDashedA, kDeviceA), groupingEntry(gm2B, kDeviceB)}},
      {"none shared", {"127.0.0.2", "127.0.0.3"}, "", -1074100995, noneShared,
       {groupingEntry(kGmDashedA, kDeviceA), groupingEntry(gm2B, kDeviceB)}},
      {"one host twice, named", {"127.0.0.2", "127.0.0.2"}, kGmDashedA, -1074100994, unusable,
       {groupingEntry(kGmDashedA, kDeviceA)}},
      {"one host twice", {"127.0.0.2", "127.0.0.2"}, "", -1074100995, noneShared,
       {groupingEntry(kGmDashedA, kDeviceA)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string result = "(before)";
    const Outcome failed = createAndAdd(result, createAndAddParams("/sd/none", c.hosts, 1000, c.timescaleUri));
    EXPECT_EQ(failed.code, c.code) << failed.detail;
    EXPECT_NE(failed.detail.find(R"("file":"session")"), std::string::npos) << failed.detail;
    const std::string channel = lastChannel(failed.detail, "qzsyncdomain_debug");
    EXPECT_TRUE(isChannelWithGrouping(channel, c.channelHead, c.grouping)) << channel;
    EXPECT_EQ(result, "");
    EXPECT_EQ(domainUris(), std::vector<std::string>{});
  }
}

// The one target on this host's own address (inside the private namespace).
TEST_F(SessionOnTargets, ALoneLocalhostWithoutTimescalesGetsANoOpDomain) {
  const TargetSim local(targetConfig({}), "127.0.0.1");
  std::string result;
  const Outcome made = createAndAdd(result, createAndAddParams("/sd/local", {"localhost"}));
  ASSERT_EQ(made.code, 0) << made.detail;
  EXPECT_EQ(result, kSystem);
  EXPECT_EQ(info(&vesksapi::Session::getSyncDomainInfo),
            R"([{"type":"NopSyncDomain","uri":"/sd/local","isCoherent":false,"isRunning":false,)"
            R"("syncableDevices":["localhost/veskwebs/syncableDevices/pendulo/timekeeper/genericTk"]}])");
}

TEST_F(SessionOnTargets, AFailedCreateAndAddLeavesOnlyWhatItDidNotMake) {
  const TargetSim a(targetConfig({kGmDashed}), "127.0.0.2");
  const TargetSim refusing(targetConfig({kGmDashed}, "", R"(,"put":{"status":500})"), "127.0.0.4");
  const TargetSim noTimescale(targetConfig({}), "127.0.0.5");
  ASSERT_EQ(createDomain("/sd/theirs", kSystem).code, 0);

  struct Case {
    const char* what;
    std::string document;
    int32_t code;
  } cases[] = {
      {"a host that does not load", createAndAddParams("/sd/theirs", {"127.0.0.9"}), -52024},
      {"the URI in use", createAndAddParams("/sd/theirs", {"127.0.0.2"}), -52013},
      {"a device that refuses its requirements", createAndAddParams("/sd/mine", {"127.0.0.4"}), -52024},
      {"a host without a timescale", createAndAddParams("/sd/mine", {"127.0.0.2", "127.0.0.5"}), -1074100996},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string result = "(before)";
    const Outcome failed = createAndAdd(result, c.document);
    EXPECT_EQ(failed.code, c.code) << failed.detail;
    EXPECT_EQ(result, "");
    EXPECT_EQ(domainUris(), std::vector<std::string>{"/sd/theirs"});
  }
  std::string result;
  const Outcome noTimescaleHost = createAndAdd(result, createAndAddParams("/sd/mine", {"127.0.0.2", "127.0.0.5"}));
  EXPECT_EQ(lastChannel(noTimescaleHost.detail, "qzsyncdomain_debug"),
            R"({"message":"No timescale returned from remote chassis to load.","resourceType":"timescale",)"
            R"("remoteHost":"127.0.0.5"})");
  EXPECT_EQ(info(&vesksapi::Session::getSyncDomainInfo),
            R"([{"type":"NopSyncDomain","uri":"/sd/theirs","isCoherent":false,"isRunning":false,)"
            R"("syncableDevices":[]}])");
}

TEST_F(SessionOnTargets, ACorrelatorNeedsTheTimekeeperDeviceOfARemoteTimescale) {
  const TargetSim target(R"({"devices":[{"uri":"/veskwebs/syncableDevices/pendulo/timekeeper/other"}],)"
                         R"("timescales":[")" + std::string(kGmDashed) + R"("]})",
                         "127.0.0.2");
  load("127.0.0.2");
  const Outcome missing = createCorrelator(correlatorParams(kSystem, kGmDashedA));
  EXPECT_EQ(missing.code, -52006);
  EXPECT_EQ(lastChannel(missing.detail, "qzsyncdomain_debug"), R"({"syncableDeviceUri":")" + kDeviceA + R"("})");
  EXPECT_EQ(info(&vesksapi::Session::getTimestampCorrelatorInfo), "[]");
}

// A correlator's key joins its URIs with '-', which a URI may hold itself:
// another split of the same key finds the correlator, but names a pair it
// does not have.
TEST_F(SessionOnTargets, ACorrelationOfAPairThatOnlySharesTheKeyIsRefused) {
  constexpr char kGmHead[] = "/veskwebs/timescales/pendulo/ptp0/00-1B-21-FF-FE";
  const TargetSim target(targetConfig({kGmDashed, kGmHead}), "127.0.0.2");
  load("127.0.0.2");
  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kGmDashedA)).code, 0);
  const std::string head = "127.0.0.2" + std::string(kGmHead);  // registered
  const std::string tail = "00-00-01-" + std::string(kSystem);  // not registered
  ASSERT_EQ(vesksapi::Session::makeCorrelatorKey(head, tail),
            vesksapi::Session::makeCorrelatorKey(kSystem, kGmDashedA));

  const struct {
    std::string source;
    std::string dest;
    int32_t code;
    std::string channel;
  } cases[] = {
      {head, tail, -52005, R"({"message":"Provided timescale does not match either timescale in the correlator."})"},
      {tail, head, -52006, R"({"sourceTimescaleUri":")" + tail + R"("})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const vesklib_Timestamp in = timestampOf(hostNanos());
    vesklib_Timestamp out{7, 8, 9, true};
    const Outcome refused = outcomeOf(
        [&](qzerr_Status* s) { session_.timestampCorrelator_correlate(c.source, c.dest, &in, &out, s); });
    EXPECT_EQ(refused.code, c.code) << refused.detail;
    EXPECT_NE(refused.detail.find(R"("file":"session")"), std::string::npos) << refused.detail;
    EXPECT_EQ(lastChannel(refused.detail, "qzsyncdomain_debug"), c.channel);
    EXPECT_TRUE(sameTimestamp(out, vesklib_Timestamp{7, 8, 9, true}));
  }
}

// ---- Correlators against a target's clock

constexpr int64_t kOffsetNs = 5000000000;
constexpr double kDriftPpm = 20;
// bench/linearCorrelator_bench: a conversion on a filled regression lies 0.12
// to 0.22 ms off the truth. One made right after the start rests on a few
// samples, each off by up to half its round trip to the simulator's process,
// which a loaded machine under the sanitizers stretches to several ms; the
// bound still catches any conversion that misses the target's offset.
constexpr int64_t kBoundNs = 20000000;

class SessionCorrelating : public SessionOnTargets {
 protected:
  void SetUp() override {
    started_ = hostNanos();
    target_ = std::make_unique<TargetSim>(
        targetConfig({kGmDashed}, R"(,"timestampDaemon":{"offsetNs":)" + std::to_string(kOffsetNs) +
                                      R"(,"driftPpm":)" + std::to_string(kDriftPpm) + "}"),
        "127.0.0.2");
    load("127.0.0.2");
    ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kGmDashedA)).code, 0);
  }
  void TearDown() override { target_.reset(); }

  int64_t targetTruth(int64_t hostTime) const {
    return hostTime + kOffsetNs + static_cast<int64_t>((hostTime - started_) * kDriftPpm / 1e6);
  }

  vesklib_Timestamp correlate(const std::string& source, const std::string& dest, const vesklib_Timestamp& in) {
    vesklib_Timestamp out{};
    const Outcome result = outcomeOf(
        [&](qzerr_Status* s) { session_.timestampCorrelator_correlate(source, dest, &in, &out, s); });
    EXPECT_EQ(result.code, 0) << result.detail;
    return out;
  }
  // Whether asking the `index`th distinct question reached the target: a new
  // answer is stored only after the timekeeper device was asked for its
  // coherency. Questions lie 1 ms apart, so no two share an answer (a record
  // whose answer is already held would not be stored).
  bool askedTarget(int64_t index) {
    target_->clearRequests();
    correlate(kSystem, kGmDashedA, timestampOf(started_ + index * 1000000));
    return timekeeperRequests(*target_, "GET") > 0;
  }

  int64_t started_ = 0;
  std::unique_ptr<TargetSim> target_;
};

TEST_F(SessionCorrelating, ConvertsBetweenTheHostAndTheTargetClock) {
  const int64_t now = hostNanos();
  EXPECT_NEAR(nanosOf(correlate(kSystem, kGmDashedA, timestampOf(now))), targetTruth(now), kBoundNs);
  EXPECT_NEAR(nanosOf(correlate(kGmDashedA, kSystem, timestampOf(targetTruth(now)))), now, kBoundNs);
  EXPECT_NE(info(&vesksapi::Session::getTimestampCorrelatorInfo).find(R"("type" : "linear")"), std::string::npos);
}

TEST_F(SessionCorrelating, ARepeatedQuestionAndItsInverseComeFromTheCache) {
  const vesklib_Timestamp question = timestampOf(hostNanos());
  target_->clearRequests();
  const vesklib_Timestamp answer = correlate(kSystem, kGmDashedA, question);
  EXPECT_EQ(timekeeperRequests(*target_, "GET"), 1u);

  target_->clearRequests();
  EXPECT_TRUE(sameTimestamp(correlate(kSystem, kGmDashedA, question), answer));
  EXPECT_TRUE(sameTimestamp(correlate(kGmDashedA, kSystem, answer), question));
  EXPECT_EQ(target_->requests().size(), 0u);
}

TEST_F(SessionCorrelating, TheQuestionAfterTheLimitEvictsTheOldest) {
  for (int64_t i = 0; i < 100; ++i) ASSERT_TRUE(askedTarget(i));
  EXPECT_FALSE(askedTarget(0));
  EXPECT_TRUE(askedTarget(100));  // evicts the first
  EXPECT_FALSE(askedTarget(1));
  EXPECT_TRUE(askedTarget(0));
}

TEST_F(SessionCorrelating, TheLimitRisesForEveryPairAndNeverFalls) {
  const TargetSim other(targetConfig({kGm2}), "127.0.0.3");
  load("127.0.0.3");
  const std::string otherTimescale = "127.0.0.3" + std::string(kGm2);
  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, otherTimescale, R"(,"maxCacheSize":500)")).code, 0);
  for (int64_t i = 0; i < 150; ++i) ASSERT_TRUE(askedTarget(i));
  EXPECT_FALSE(askedTarget(0));

  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kGmDashedA, R"(,"maxCacheSize":50)")).code, 0);
  for (int64_t i = 150; i < 210; ++i) ASSERT_TRUE(askedTarget(i));
  EXPECT_FALSE(askedTarget(0));
}

TEST_F(SessionCorrelating, TheLastDeletionRemovesTheCorrelatorAndItsCache) {
  ASSERT_EQ(createCorrelator(correlatorParams(kGmDashedA, kSystem)).code, 0);
  EXPECT_TRUE(askedTarget(0));

  ASSERT_EQ(deleteCorrelator(kSystem, kGmDashedA).code, 0);
  EXPECT_EQ(sortedTexts(info(&vesksapi::Session::getTimestampCorrelatorInfo), "uri"),
            std::vector<std::string>{vesksapi::Session::makeCorrelatorKey(kSystem, kGmDashedA)});
  EXPECT_FALSE(askedTarget(0));

  ASSERT_EQ(deleteCorrelator(kGmDashedA, kSystem).code, 0);
  EXPECT_EQ(info(&vesksapi::Session::getTimestampCorrelatorInfo), "[]");
  vesklib_Timestamp out{};
  const vesklib_Timestamp in = timestampOf(started_);
  EXPECT_EQ(outcomeOf([&](qzerr_Status* s) {
              session_.timestampCorrelator_correlate(kSystem, kGmDashedA, &in, &out, s);
            }).code,
            -52006);

  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kGmDashedA)).code, 0);
  EXPECT_TRUE(askedTarget(0)) << "the pair's cache went with its last correlator";
}

// After the timekeeper lost coherency, answers still come but none is kept
// until the correlator is created again (restarted on a new snapshot).
TEST_F(SessionCorrelating, AnswersAreKeptOnlyWhileTheTimekeeperHoldsCoherency) {
  EXPECT_TRUE(askedTarget(0));
  EXPECT_FALSE(askedTarget(0));

  target_->updateDevice(kTimekeeper + 1, R"({"coherencyLossCount":1})");
  EXPECT_TRUE(askedTarget(1));
  target_->updateDevice(kTimekeeper + 1, R"({"coherencyLossCount":0})");
  EXPECT_TRUE(askedTarget(1)) << "a failed check sticks";
  EXPECT_FALSE(askedTarget(0)) << "what was kept before stays";

  target_->updateDevice(kTimekeeper + 1, R"({"coherencyLossCount":1})");
  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kGmDashedA)).code, 0);
  EXPECT_TRUE(askedTarget(2));
  EXPECT_FALSE(askedTarget(2));
}

TEST_F(SessionCorrelating, TwoLocalTimescalesOfAFollowingHostGetTheNoOpCorrelator) {
  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kSystem)).code, 0);
  EXPECT_NE(info(&vesksapi::Session::getTimestampCorrelatorInfo).find(R"("type" : "linear", "uri" : ")" +
                                                                       std::string(kSystem) + "-"),
            std::string::npos);
  ASSERT_EQ(deleteCorrelator(kSystem, kSystem).code, 0);

  manager_.write(hostFollowsState("00:1B:21:FF:FE:00:00:01"));
  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kSystem)).code, 0);
  EXPECT_NE(info(&vesksapi::Session::getTimestampCorrelatorInfo).find(R"("type" : "nop", "uri" : ")" +
                                                                       std::string(kSystem) + "-"),
            std::string::npos);
  ASSERT_EQ(createCorrelator(correlatorParams(kSystem, kGmDashedA)).code, 0) << "a remote pair stays linear";
  ASSERT_EQ(deleteCorrelator(kSystem, kSystem).code, 0);
  EXPECT_NE(info(&vesksapi::Session::getTimestampCorrelatorInfo).find(R"("type" : "linear")"), std::string::npos);
}

}  // namespace
