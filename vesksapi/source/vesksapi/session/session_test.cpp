// The session on the host alone: its registry rules, the host timescale, sync
// domains on the system timescale and the errors of every lookup. Remote
// targets are in session_netns_test.cpp.
#include "vesksapi/session/session.h"

#include <time.h>

#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "testing/raised.h"
#include "testing/testStatus.h"

namespace {

using vesk::testing::lastChannel;
using vesk::testing::TestStatus;

constexpr char kSystem[] = "/localhost/vesks/timescales/system";

std::string syncDomainParams(const std::string& uri, const std::string& timescaleUri) {
  return R"({"version":1,"type":"syncDomainParams","params":{"uri":")" + uri + R"(","timescaleUri":")" +
         timescaleUri + R"(","maxOffset_ns":1000,"minSyncDuration_ms":10}})";
}

std::string correlatorParams(const std::string& uri1, const std::string& uri2) {
  return R"({"version":1,"type":"linearCorrelatorParams","params":{"timescaleUri1":")" + uri1 +
         R"(","timescaleUri2":")" + uri2 + R"(","samplingIntervalMs":10,"maxSampleSize":10}})";
}

class SessionTest : public ::testing::Test {
 protected:
  std::string info(void (vesksapi::Session::*getter)(std::string&, qzerr_Status*)) {
    TestStatus status;
    std::string text = "(untouched)";
    (session_.*getter)(text, status);
    EXPECT_EQ(status.code(), 0) << status.json();
    return text;
  }

  vesksapi::Session session_;
};

TEST_F(SessionTest, AFreshSessionHoldsOnlyTheSystemTimescale) {
  EXPECT_EQ(info(&vesksapi::Session::getTimescaleInfo), R"(["/localhost/vesks/timescales/system"])");
  EXPECT_EQ(info(&vesksapi::Session::getSyncableDeviceInfo), "[]");
  EXPECT_EQ(info(&vesksapi::Session::getSyncDomainInfo), "[]");
  EXPECT_EQ(info(&vesksapi::Session::getTimestampCorrelatorInfo), "[]");
}

TEST_F(SessionTest, AFailedStatusOnEntryTouchesNothing) {
  TestStatus failed;
  failed->code = -52000;
  std::string text = "(untouched)";
  vesklib_Timestamp timestamp{7, 8, 9, true};
  session_.getTimescaleInfo(text, failed);
  session_.timescale_getTime(kSystem, &timestamp, failed);
  session_.syncDomain_create(syncDomainParams("/sd/a", kSystem), failed);
  session_.syncDomain_createAndAddDevices(text, "{", failed);
  EXPECT_FALSE(session_.syncDomain_isCoherent("/sd/a", failed));
  EXPECT_EQ(text, "(untouched)");
  EXPECT_EQ(timestamp.seconds, 7);
  EXPECT_EQ(failed.code(), -52000);
  EXPECT_EQ(failed.json(), "");
  EXPECT_EQ(info(&vesksapi::Session::getSyncDomainInfo), "[]");
}

TEST_F(SessionTest, TheSystemTimescaleReadsTheHostClock) {
  TestStatus status;
  vesklib_Timestamp timestamp{};
  timespec before{};
  clock_gettime(CLOCK_REALTIME, &before);
  session_.timescale_getTime(kSystem, &timestamp, status);
  ASSERT_EQ(status.code(), 0) << status.json();
  EXPECT_FALSE(timestamp.isNegative);
  EXPECT_GE(timestamp.seconds, before.tv_sec);
  EXPECT_LE(timestamp.seconds, before.tv_sec + 5);

  TestStatus unknown;
  session_.timescale_getTime("/no/such", &timestamp, unknown);
  EXPECT_EQ(unknown.code(), -52006);
  EXPECT_NE(unknown.json().find(R"("file":"session")"), std::string::npos) << unknown.json();
  EXPECT_EQ(lastChannel(unknown.json(), "qzsyncdomain_debug"), R"({"timescaleUri":"/no/such"})");
}

// One step of a sync-domain scenario and the status it ends with.
struct Step {
  const char* what;
  std::function<void(vesksapi::Session&, qzerr_Status*)> call;
  int32_t code;
  const char* channel;  // the channel object's text, when the step fails
};

TEST_F(SessionTest, SyncDomainOperationsReportTheirLookupsInOrder) {
  using S = vesksapi::Session;
  const Step steps[] = {
      {"create on the system timescale",
       [](S& s, qzerr_Status* st) { s.syncDomain_create(syncDomainParams("/sd/a", kSystem), st); }, 0, ""},
      {"same URI, other timescale",
       [](S& s, qzerr_Status* st) { s.syncDomain_create(syncDomainParams("/sd/a", "/ts/none"), st); }, -52013,
       R"({"syncDomainUri":"/sd/a"})"},
      {"unknown timescale",
       [](S& s, qzerr_Status* st) { s.syncDomain_create(syncDomainParams("/sd/b", "/ts/none"), st); }, -52006,
       R"({"timescaleUri":"/ts/none"})"},
      {"invalid document", [](S& s, qzerr_Status* st) { s.syncDomain_create("{}", st); }, -52005, nullptr},
      {"add to an unknown domain names the domain first",
       [](S& s, qzerr_Status* st) { s.syncDomain_addSyncableDevice("/sd/none", "/dev/none", st); }, -52006,
       R"({"syncDomainUri":"/sd/none"})"},
      {"add an unknown device",
       [](S& s, qzerr_Status* st) { s.syncDomain_addSyncableDevice("/sd/a", "/dev/none", st); }, -52006,
       R"({"syncableDeviceUri":"/dev/none"})"},
      {"start unknown", [](S& s, qzerr_Status* st) { EXPECT_FALSE(s.syncDomain_start("/sd/none", 1, st)); },
       -52006, R"({"syncDomainUri":"/sd/none"})"},
      {"startV2 unknown", [](S& s, qzerr_Status* st) { s.syncDomain_startV2("/sd/none", true, true, 1, st); },
       -52006, R"({"syncDomainUri":"/sd/none"})"},
      {"stop unknown", [](S& s, qzerr_Status* st) { s.syncDomain_stop("/sd/none", st); }, -52006,
       R"({"syncDomainUri":"/sd/none"})"},
      {"isCoherent unknown",
       [](S& s, qzerr_Status* st) { EXPECT_FALSE(s.syncDomain_isCoherent("/sd/none", st)); }, -52006,
       R"({"syncDomainUri":"/sd/none"})"},
      {"isCoherentSinceLastChecked unknown",
       [](S& s, qzerr_Status* st) { EXPECT_FALSE(s.syncDomain_isCoherentSinceLastChecked("/sd/none", st)); },
       -52006, R"({"syncDomainUri":"/sd/none"})"},
      {"delete unknown", [](S& s, qzerr_Status* st) { s.syncDomain_delete("/sd/none", st); }, 0, ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    TestStatus status;
    step.call(session_, status);
    EXPECT_EQ(status.code(), step.code) << status.json();
    if (step.code < 0 && step.channel != nullptr) {
      EXPECT_NE(status.json().find(R"("file":"session")"), std::string::npos) << status.json();
      EXPECT_EQ(lastChannel(status.json(), "qzsyncdomain_debug"), step.channel);
    }
  }
  // The first domain stayed, made as a no-op domain whatever its requirements.
  EXPECT_EQ(info(&vesksapi::Session::getSyncDomainInfo),
            R"([{"type":"NopSyncDomain","uri":"/sd/a","isCoherent":false,"isRunning":false,"syncableDevices":[]}])");
  TestStatus deleted;
  session_.syncDomain_delete("/sd/a", deleted);
  EXPECT_EQ(deleted.code(), 0);
  EXPECT_EQ(info(&vesksapi::Session::getSyncDomainInfo), "[]");
}

TEST_F(SessionTest, UnloadingAnEmptyRegistryReadsNoDocument) {
  TestStatus status;
  session_.unloadResources("not JSON", status);
  EXPECT_EQ(status.code(), 0) << status.json();
  EXPECT_EQ(info(&vesksapi::Session::getTimescaleInfo), R"(["/localhost/vesks/timescales/system"])");
}

TEST_F(SessionTest, CorrelatorLookupsNameWhatIsMissing) {
  TestStatus first;
  session_.timestampCorrelator_create(correlatorParams("/ts/none", kSystem), first);
  EXPECT_EQ(first.code(), -52006);
  EXPECT_EQ(lastChannel(first.json(), "qzsyncdomain_debug"),
            R"({"message":"Could not locate specified timescale; try loadResources.","timescaleUri1":"/ts/none"})");
  TestStatus second;
  session_.timestampCorrelator_create(correlatorParams(kSystem, "/ts/none"), second);
  EXPECT_EQ(lastChannel(second.json(), "qzsyncdomain_debug"),
            R"({"message":"Could not locate specified timescale; try loadResources.","timescaleUri2":"/ts/none"})");

  TestStatus correlate;
  const vesklib_Timestamp in{1, 0, 0, false};
  vesklib_Timestamp out{};
  session_.timestampCorrelator_correlate(kSystem, "/ts/none", &in, &out, correlate);
  EXPECT_EQ(correlate.code(), -52006);
  EXPECT_EQ(lastChannel(correlate.json(), "qzsyncdomain_debug"),
            R"({"correlatorUri":"/ts/none-/localhost/vesks/timescales/system"})");

  TestStatus deleted;
  session_.timestampCorrelator_delete(kSystem, "/ts/none", deleted);
  EXPECT_EQ(deleted.code(), 0);
  EXPECT_EQ(info(&vesksapi::Session::getTimestampCorrelatorInfo), "[]");
}

// Once the stop has begun, no document is parsed: a flood of them received
// meanwhile ends at once, whatever each would have answered.
TEST_F(SessionTest, AfterTheShutdownBeganDocumentsAreRefusedUnparsed) {
  session_.beginShutdown();
  const std::string unparsable = "{" + std::string(64 * 1024, ' ');
  for (const std::string& document : {std::string("{"), unparsable}) {
    TestStatus created;
    session_.syncDomain_create(document, created);
    EXPECT_EQ(created.code(), -52020) << created.json();
    TestStatus correlator;
    session_.timestampCorrelator_create(document, correlator);
    EXPECT_EQ(correlator.code(), -52020) << correlator.json();
    TestStatus added;
    std::string timescale;
    session_.syncDomain_createAndAddDevices(timescale, document, added);
    EXPECT_EQ(added.code(), -52020) << added.json();
  }
}

TEST(SessionCorrelatorKey, IsTheGreaterUriThenTheLesser) {
  EXPECT_EQ(vesksapi::Session::makeCorrelatorKey("/a", "/b"), "/b-/a");
  EXPECT_EQ(vesksapi::Session::makeCorrelatorKey("/b", "/a"), "/b-/a");
  EXPECT_EQ(vesksapi::Session::makeCorrelatorKey("/a", "/a"), "/a-/a");
}

TEST_F(SessionTest, CreateAndAddGivesAnEmptyResultAfterAFailure) {
  TestStatus status;
  std::string result = "(before)";
  session_.syncDomain_createAndAddDevices(result, R"({"version":1})", status);
  EXPECT_EQ(status.code(), -52005);
  EXPECT_EQ(result, "");
}

}  // namespace
