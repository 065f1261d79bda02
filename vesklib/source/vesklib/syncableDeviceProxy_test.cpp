// The proxy over a scripted HTTP client: what it sends, what it requires of
// each answer, and its own lock. The exchanges with a real web service are
// covered by the tests against the simulated target.
#include "vesklib/syncableDeviceProxy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "qzerr/errorDetail.h"
#include "vesklib/testing/caughtError.h"

namespace {

using vesklib::SyncableDeviceProxy;
using vesklib::testing::caughtError;

constexpr char kUri[] = "/10.1.2.3/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kHostlessUri[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kPath[] = "syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kUrl[] = "http://10.1.2.3/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";

std::string requirements(const std::string& members) {
  return R"({"version":1,"syncDomainUri":"/sd/x","coherencyRequirements":{)" + members + R"(},"data":{}})";
}

std::string requirements(uint32_t maxOffset, uint32_t minDuration, const std::string& timescale) {
  return requirements(R"("maxOffset_ns":)" + std::to_string(maxOffset) + R"(,"minSyncDuration_ms":)" +
                      std::to_string(minDuration) + R"(,"requiredTimescaleUri":")" + timescale + "\"");
}

const std::string kTimescale = "/10.1.2.3/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";
const std::string kRequirements = requirements(1000, 2000, kTimescale);

std::string after(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  return at == std::string::npos ? "(missing " + marker + " in " + text + ")" : text.substr(at);
}

std::string channel(const std::string& members) { return "\"qzsyncdomain_debug\":{" + members + "}}"; }

std::string deviceDocument(const std::string& members) {
  return std::string(R"({"version":1,"uri":")") + kHostlessUri + "\"" + members + "}";
}

// The device URI as the last member of a channel object.
const std::string kUriMember = R"(,"uri":")" + std::string(kUri) + "\"";

// An input the proxy refuses: the code, and the piece of the detail that says why.
struct Refusal {
  std::string input;
  int32_t code;
  std::string detailPart;
};

void expectRefused(const vesklib::testing::CaughtError& error, const Refusal& refusal) {
  EXPECT_EQ(error.code, refusal.code) << refusal.input;
  EXPECT_NE(error.detail.find(refusal.detailPart), std::string::npos) << refusal.input << "\n" << error.detail;
}

// Answers every GET with `answer`, records every PUT, fails the next
// requests with a client error when told to, and notes whether two requests
// ever overlapped.
class FakeClient : public qz::vantor::shared::iCURL {
 public:
  void init(const std::string& uri, const std::string& prefix, uint32_t timeoutMs) override {
    initArguments = uri + " " + prefix + " " + std::to_string(timeoutMs);
  }
  void setMediaType(const std::string& type) override { mediaType = type; }
  void setCredentials(const std::string&, const std::string&) override {}
  std::string put(const std::string& path, std::string body) override {
    const Request request(this);
    std::lock_guard<std::mutex> lock(mutex_);
    puts.emplace_back(path, body);
    return "{}";
  }
  std::string get(const std::string& path) override {
    const Request request(this);
    std::lock_guard<std::mutex> lock(mutex_);
    gets.push_back(path);
    return answer;
  }

  std::string initArguments;
  std::string mediaType;
  std::string answer = deviceDocument(R"(,"isCoherent":true,"coherencyLossCount":0)");
  std::vector<std::pair<std::string, std::string>> puts;
  std::vector<std::string> gets;
  int failures = 0;
  std::chrono::milliseconds delay{0};
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};

 private:
  class Request {
   public:
    explicit Request(FakeClient* client) : client_(client) {
      if (++client_->inside > 1) client_->overlapped = true;
      std::this_thread::sleep_for(client_->delay);
      if (client_->failures > 0) {
        --client_->inside;
        --client_->failures;
        QZERR_ERROR(qzerr::kNetworkClientNotFoundError).add("responseCode", int64_t{404}).raise();
      }
    }
    ~Request() { --client_->inside; }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

   private:
    FakeClient* client_;
  };

  std::mutex mutex_;
};

class SyncableDeviceProxyTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeClient> client_ = std::make_shared<FakeClient>();
  SyncableDeviceProxy proxy_{kUri, client_};
};

TEST_F(SyncableDeviceProxyTest, InitialisesItsClientForTheDevicesWebServiceAndSendsNothing) {
  EXPECT_EQ(client_->initArguments, "http://10.1.2.3 veskwebs 10000");
  EXPECT_EQ(client_->mediaType, "vnd.qz.syncDomain.v0/json; charset=utf-8");
  EXPECT_EQ(proxy_.getUri(), kUri);
  EXPECT_TRUE(client_->gets.empty());
  EXPECT_TRUE(client_->puts.empty());

  auto bracketed = std::make_shared<FakeClient>();
  SyncableDeviceProxy ipv6("[fe80::1]/veskwebs/syncableDevices/p/t/n", bracketed);
  EXPECT_EQ(bracketed->initArguments, "http://[fe80::1] veskwebs 10000");
}

TEST(SyncableDeviceProxy, RefusesAUriWithoutSixParts) {
  for (const char* uri : {"/10.1.2.3/veskwebs/syncableDevices/pendulo/timekeeper",
                          "/10.1.2.3/veskwebs/syncableDevices/pendulo/timekeeper/genericTk/extra"}) {
    auto client = std::make_shared<FakeClient>();
    const auto error = caughtError([&] { SyncableDeviceProxy proxy(uri, client); });
    EXPECT_EQ(error.code, -52005) << uri;
    EXPECT_NE(error.detail.find("Failed to parse URI"), std::string::npos) << error.detail;
    EXPECT_TRUE(client->initArguments.empty());
  }
}

TEST_F(SyncableDeviceProxyTest, PutsTheRequirementsUnchangedAndListsTheDomain) {
  proxy_.setCoherencyRequirements(kRequirements, "/sd/a");
  ASSERT_EQ(client_->puts.size(), 1u);
  EXPECT_EQ(client_->puts[0].first, kPath);
  EXPECT_EQ(client_->puts[0].second, kRequirements);
  EXPECT_EQ(proxy_.toJson(), std::string(R"({"version":1,"uri":")") + kUri +
                                 R"(","isCoherent":true,"coherencyLossCount":0,"syncDomainUris":["/sd/a"]})");
}

TEST_F(SyncableDeviceProxyTest, AcceptsEqualRequirementsOfAnotherDomainUnderTheTimescaleComparison) {
  proxy_.setCoherencyRequirements(kRequirements, "/sd/a");
  for (const std::string& sameGrandmaster :
       {std::string("/10.9.9.9/veskwebs/timescales/pendulo/ptp1/00-1b-21-ff-fe-00-00-01"),
        std::string("/10.1.2.3/veskwebs/timescales/pendulo/ptp0/00-1B-21-FF-FE-00-00-01"),
        std::string("/10.1.2.3/veskwebs/timescales/pendulo/ptp0/00:1b:21:ff:fe:00:00:01"),
        std::string("00:1B:21:FF:FE:00:00:01")}) {
    proxy_.setCoherencyRequirements(requirements(1000, 2000, sameGrandmaster), "/sd/b");
  }
  EXPECT_EQ(client_->puts.size(), 5u);
}

TEST_F(SyncableDeviceProxyTest, RefusesConflictingRequirementsWithoutSendingThem) {
  proxy_.setCoherencyRequirements(kRequirements, "/sd/a");
  const std::string other = "/10.1.2.3/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-02";
  const std::string conflicts[] = {requirements(1001, 2000, kTimescale), requirements(1000, 1999, kTimescale),
                                   requirements(1000, 2000, other)};
  for (const std::string& conflict : conflicts) {
    const auto error = caughtError([&] { proxy_.setCoherencyRequirements(conflict, "/sd/b"); });
    EXPECT_EQ(error.code, -1074100993);
    EXPECT_NE(error.detail.find(R"("error_constant":"qzsyncdomainerr_conflictingCoherencyRequirements")"),
              std::string::npos);
  }
  const auto error = caughtError([&] { proxy_.setCoherencyRequirements(conflicts[0], "/sd/b"); });
  EXPECT_EQ(after(error.detail, "\"qzsyncdomain_debug\""),
            channel(R"("message":"setCoherencyRequirements() was passed requirements that conflict with the )"
                    R"(requirements of other Sync Domains already using the syncable device.",)"
                    R"("New SyncDomain URI":"/sd/b","Current maxOffset_ns":1000,"New maxOffset_ns":1001,)"
                    R"("Current minSyncDuration_ms":2000,"New minSyncDuration_ms":2000,)"
                    R"("Current requiredTimescaleUri":")" +
                    kTimescale + R"(","New requiredTimescaleUri":")" + kTimescale +
                    R"j(","syncDomainUriSet.size()":1)j"));
  EXPECT_EQ(client_->puts.size(), 1u);
  // Even the one domain holding the device cannot change them in place.
  EXPECT_EQ(caughtError([&] { proxy_.setCoherencyRequirements(conflicts[0], "/sd/a"); }).code, -1074100993);
}

TEST_F(SyncableDeviceProxyTest, TakesNewRequirementsOnceEveryDomainHasLetGo) {
  proxy_.setCoherencyRequirements(kRequirements, "/sd/a");
  proxy_.setCoherencyRequirements(kRequirements, "/sd/b");
  proxy_.clearCoherencyRequirements("/sd/unknown");
  proxy_.clearCoherencyRequirements("/sd/a");
  const std::string changed = requirements(5, 6, "/ts/other");
  EXPECT_EQ(caughtError([&] { proxy_.setCoherencyRequirements(changed, "/sd/c"); }).code, -1074100993);
  proxy_.clearCoherencyRequirements("/sd/b");
  proxy_.setCoherencyRequirements(changed, "/sd/c");
  EXPECT_EQ(client_->puts.back().second, changed);
  // The new ones are now the ones in force.
  const auto error = caughtError([&] { proxy_.setCoherencyRequirements(kRequirements, "/sd/d"); });
  EXPECT_NE(error.detail.find(R"("Current maxOffset_ns":5,"New maxOffset_ns":1000)"), std::string::npos)
      << error.detail;
  EXPECT_NE(proxy_.toJson().find(R"("syncDomainUris":["/sd/c"]})"), std::string::npos);
}

TEST_F(SyncableDeviceProxyTest, AFailedPutChangesNothing) {
  proxy_.setCoherencyRequirements(kRequirements, "/sd/a");
  client_->failures = 1;
  const auto failed = caughtError([&] { proxy_.setCoherencyRequirements(kRequirements, "/sd/b"); });
  EXPECT_EQ(failed.code, -52024);
  EXPECT_NE(failed.detail.find(R"("callingFn":"sendPutRequest","url":")" + std::string(kUrl) + R"(","data":)"),
            std::string::npos)
      << failed.detail;
  EXPECT_NE(failed.detail.find(R"("originalCode":-411356)"), std::string::npos);
  const auto conflict = caughtError([&] { proxy_.setCoherencyRequirements(requirements(7, 2000, kTimescale), "/c"); });
  EXPECT_NE(conflict.detail.find(R"("Current maxOffset_ns":1000,"New maxOffset_ns":7)"), std::string::npos);
  EXPECT_NE(conflict.detail.find(R"j("syncDomainUriSet.size()":1)j"), std::string::npos);
}

// Each value is taken by a fresh proxy and then shows as the one in force in
// the refusal of a different value.
TEST(SyncableDeviceProxyMemberRule, ReadsRequirementNumbersAsTruncatedUnsigned32) {
  const std::pair<const char*, const char*> accepted[] = {
      {R"("maxOffset_ns":null)", "0"},
      {R"("maxOffset_ns":-0.5)", "0"},
      {R"("maxOffset_ns":4294967295.9)", "4294967295"},
      {R"("MAXOFFSET_NS":77)", "77"},
  };
  for (const auto& [member, inForce] : accepted) {
    auto client = std::make_shared<FakeClient>();
    SyncableDeviceProxy proxy(kUri, client);
    proxy.setCoherencyRequirements(
        requirements(std::string(member) + R"(,"minSyncDuration_ms":1,"requiredTimescaleUri":"/t")"), "/sd/a");
    const auto error = caughtError([&] { proxy.setCoherencyRequirements(requirements(12345, 1, "/t"), "/sd/b"); });
    EXPECT_NE(error.detail.find(std::string(R"("Current maxOffset_ns":)") + inForce + ","), std::string::npos)
        << member << " " << error.detail;
  }
}

TEST(SyncableDeviceProxyMemberRule, RefusesRequirementsThatAreMissingOrOfTheWrongKind) {
  const Refusal cases[] = {
      {R"({"version":1})", -52005,
       channel(R"("message":"Unable to retrieve 'coherencyRequirements' key from JSON.","JSON":"{\"version\":1}")")},
      {R"({"coherencyRequirements":null})", -52004, R"("error_constant":"jsonErrorsNotAnObject")"},
      {R"({"coherencyRequirements":[1]})", -52004, R"("error_constant":"jsonErrorsNotAnObject")"},
      {requirements(R"("minSyncDuration_ms":1,"requiredTimescaleUri":"/t")"), -52005,
       channel(R"("message":"SyncableDeviceProxy: maxOffset_ns key not found in coherencyRequirements",)"
               R"("JsonKey":"maxOffset_ns")" + kUriMember)},
      {requirements(R"("maxOffset_ns":1,"requiredTimescaleUri":"/t")"), -52005,
       channel(R"("message":"SyncableDeviceProxy: minSyncDuration_ms key not found in coherencyRequirements",)"
               R"("JsonKey":"minSyncDuration_ms")" + kUriMember)},
      {requirements(R"("maxOffset_ns":1,"minSyncDuration_ms":1)"), -52005,
       channel(R"("message":"SyncableDeviceProxy: requiredTimescaleUri key not found in coherencyRequirements",)"
               R"("JsonKey":"requiredTimescaleUri")" + kUriMember)},
      {requirements(R"("maxOffset_ns":"5","minSyncDuration_ms":1,"requiredTimescaleUri":"/t")"), -52004,
       R"("key":"maxOffset_ns"}})"},
      {requirements(R"("maxOffset_ns":1,"minSyncDuration_ms":1,"requiredTimescaleUri":7)"), -52004,
       R"("qzsync_debug":{"message":"Error parsing: expected data type does not match the parsed value.",)"
       R"("JSON":"{\"maxOffset_ns\":1,\"minSyncDuration_ms\":1,\"requiredTimescaleUri\":7}",)"
       R"("key":"requiredTimescaleUri"}})"},
      {requirements(R"("maxOffset_ns":4294967296,"minSyncDuration_ms":1,"requiredTimescaleUri":"/t")"), 0,
       "positive overflow"},
      {requirements(R"("maxOffset_ns":-1,"minSyncDuration_ms":1,"requiredTimescaleUri":"/t")"), 0,
       "negative overflow"},
      {"{\"coherencyRequirements\":", -52005,
       R"("message":"jsonRequirements passed to setCoherencyRequirements() contains an invalid JSON string.",)"},
  };
  for (const Refusal& c : cases) {
    auto client = std::make_shared<FakeClient>();
    SyncableDeviceProxy proxy(kUri, client);
    // A number out of range is a standard exception, whose text is the detail here.
    std::string standardWhat;
    auto error = caughtError([&] {
      try {
        proxy.setCoherencyRequirements(c.input, "/sd/a");
      } catch (const std::bad_cast& e) {
        standardWhat = e.what();
      }
    });
    if (!error.thrown) error.detail = standardWhat;
    expectRefused(error, c);
    EXPECT_TRUE(client->puts.empty());
  }
}

TEST_F(SyncableDeviceProxyTest, AnswersTheDevicesCoherencyByGet) {
  struct Case {
    std::string answer;
    bool coherent;
    uint32_t count;
  } cases[] = {
      {deviceDocument(R"(,"isCoherent":true,"coherencyLossCount":3)"), true, 3},
      {deviceDocument(R"(,"isCoherent":false,"coherencyLossCount":4294967295)"), false, 4294967295u},
      {deviceDocument(R"(,"IsCoherent":null,"COHERENCYLOSSCOUNT":null)"), false, 0},
      {R"({"version":null,"uri":"/elsewhere","isCoherent":true,"coherencyLossCount":1.7})", true, 1},
      {R"({"version":0,"isCoherent":true,"coherencyLossCount":2})", true, 2},
  };
  for (const Case& c : cases) {
    client_->answer = c.answer;
    uint32_t count = 99;
    EXPECT_EQ(proxy_.isCoherent(&count), c.coherent) << c.answer;
    EXPECT_EQ(count, c.count) << c.answer;
  }
  EXPECT_EQ(client_->gets.back(), kPath);
}

TEST_F(SyncableDeviceProxyTest, RefusesCoherencyAnswersItCannotRead) {
  const Refusal cases[] = {
      {R"({"isCoherent":true,"coherencyLossCount":0})", -52005,
       channel(R"("message":"Remote syncable device did not specify its API version.","JsonKey":"version")" +
               kUriMember)},
      {R"({"version":2,"isCoherent":true,"coherencyLossCount":0})", -52002,
       channel(R"("message":"Remote syncable device specified an unsupported API version.","remoteVersion":2,)"
               R"("maxSupportedVersion":1)" + kUriMember)},
      {R"({"version":1,"coherencyLossCount":0})", -52005,
       channel(R"("message":"Remote syncable device did not specify its coherency state.","JsonKey":"isCoherent")" +
               kUriMember)},
      {R"({"version":1,"isCoherent":true})", -52005,
       channel(R"("message":"Remote syncable device did not specify the number of times it has lost coherency.",)"
               R"("JsonKey":"coherencyLossCount")" + kUriMember)},
      {R"({"version":1,"isCoherent":"yes","coherencyLossCount":0})", -52004, R"("key":"isCoherent"}})"},
      {R"({"version":1,"isCoherent":true,"coherencyLossCount":"0"})", -52004, R"("key":"coherencyLossCount"}})"},
      {R"({"version":1,)", -52005,
       R"("message":"Remote SyncableDevice returned invalid JSON while checking coherency.",)"},
  };
  for (const Refusal& c : cases) {
    client_->answer = c.input;
    uint32_t count = 99;
    expectRefused(caughtError([&] { proxy_.isCoherent(&count); }), c);
    EXPECT_EQ(count, 99u);
  }
  const auto missingOut = caughtError([&] { proxy_.isCoherent(nullptr); });
  EXPECT_EQ(missingOut.code, -52005);
  EXPECT_NE(missingOut.detail.find(channel(R"("message":"Encountered missing parameter needed for task completion.",)"
                                           R"("coherencyLossCount":"nullptr")")),
            std::string::npos);
  EXPECT_NE(caughtError([&] {
              client_->answer = "{";
              uint32_t count = 0;
              proxy_.isCoherent(&count);
            }).detail.find(R"("source":")" + std::string(kUrl) + "\""),
            std::string::npos);
}

TEST_F(SyncableDeviceProxyTest, DescribesTheDeviceWithItsFullUri) {
  client_->answer = R"({"version":1,"URI":")" + std::string(kHostlessUri) +
                    R"(","isCoherent":false,"plugin":{"name":"x","list":[1,2]},"coherencyLossCount":2})";
  proxy_.setCoherencyRequirements(kRequirements, "/sd/a");
  proxy_.setCoherencyRequirements(kRequirements, "/sd/b");
  const std::string json = proxy_.toJson();
  const std::string head = std::string(R"({"version":1,"uri":")") + kUri +
                           R"(","isCoherent":false,"plugin":{"name":"x","list":[1,2]},"coherencyLossCount":2,)";
  EXPECT_EQ(json.substr(0, head.size()), head);
  EXPECT_TRUE(after(json, "\"syncDomainUris\"") == R"("syncDomainUris":["/sd/a","/sd/b"]})" ||
              after(json, "\"syncDomainUris\"") == R"("syncDomainUris":["/sd/b","/sd/a"]})")
      << json;
}

TEST_F(SyncableDeviceProxyTest, RefusesADescriptionOfAnotherResource) {
  const std::string expected = R"("Expected URI":")" + std::string(kHostlessUri) + "\"";
  const Refusal cases[] = {
      {R"({"version":1,"isCoherent":true})", -52005,
       channel(R"("message":"URI key not found in the JSON object received from the remote syncable device.",)"
               R"("JsonKey":"uri","uri":")" + std::string(kUri) + "\"")},
      {R"({"version":1,"uri":")" + std::string(kUri) + "\"}", -52005,
       channel(R"("message":"URI received from remote syncableDevice didn't match expected value.",)" + expected +
               R"(,"Remote syncable device URI":")" + kUri + "\"")},
      {R"({"version":1,"uri":")" + std::string(kHostlessUri) + "/\"}", -52005,
       R"("Remote syncable device URI":")" + std::string(kHostlessUri) + "/\""},
      {R"({"version":1,"uri":null})", -52005, R"("Remote syncable device URI":""})"},
      {R"({"version":2,"uri":")" + std::string(kHostlessUri) + "\"}", -52002, R"("remoteVersion":2)"},
      {"[]", -52005, R"("message":"Remote syncable device did not specify its API version.")"},
      {"", -52005, R"("message":"Remote SyncableDevice returned invalid JSON in call to toJson().")"},
  };
  for (const Refusal& c : cases) {
    client_->answer = c.input;
    expectRefused(caughtError([&] { proxy_.toJson(); }), c);
  }
}

TEST_F(SyncableDeviceProxyTest, TranslatesAFailedGet) {
  client_->failures = 2;
  uint32_t count = 0;
  const auto coherency = caughtError([&] { proxy_.isCoherent(&count); });
  EXPECT_EQ(coherency.code, -52024);
  EXPECT_NE(coherency.detail.find(R"({"callingFn":"sendGetRequest","url":")" + std::string(kUrl) +
                                  R"(","data":"","originalCode":-411356})"),
            std::string::npos)
      << coherency.detail;
  EXPECT_EQ(caughtError([&] { proxy_.toJson(); }).code, -52024);
}

// Domains in several pools may ask one device at once; the proxy must keep
// its one client to one request at a time and check-and-take requirements
// as one step.
TEST_F(SyncableDeviceProxyTest, SerialisesRequestsFromSeveralThreads) {
  client_->delay = std::chrono::milliseconds(2);
  std::atomic<int> conflicts{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::string domain = "/sd/" + std::to_string(t);
      const auto error =
          caughtError([&] { proxy_.setCoherencyRequirements(requirements(1000 + t, 2000, kTimescale), domain); });
      if (error.code == -1074100993) ++conflicts;
      for (int i = 0; i < 10; ++i) {
        uint32_t count = 0;
        proxy_.isCoherent(&count);
        if (i % 3 == 0) proxy_.toJson();
        proxy_.clearCoherencyRequirements("/sd/none");
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(client_->overlapped);
  EXPECT_EQ(conflicts, 3);
  EXPECT_EQ(client_->puts.size(), 1u);
}

}  // namespace
