#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "testStatus.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesklib/vesklib.h"
#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace {

using vesklib::testing::sameTimestamp;
using vesktools::pendulo::testing::hostFollowsState;
using vesktools::pendulo::testing::QzqlmStandIn;

const char kSystemUri[] = "/localhost/vesks/timescales/system";
// Another name for the host clock, ending in a grandmaster id.
const char kFollowedUri[] = "/10.0.0.2/veskwebs/timescales/pendulo/PTP-0/00-1b-21";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string missing(const std::string& name) {
  return R"("component":"vesklib","qzsyncdomain_debug":{"message":"Encountered missing parameter needed for )"
         R"(task completion.",")" +
         name + R"(":"nullptr"}})";
}

// Two clocks for the correlators: the host clock under the host URI and
// under the URI of a remote timescale.
class CorrelatorApi : public testing::Test {
 protected:
  void SetUp() override {
    TestStatus status;
    host_ = vesklib_HostTimescale_create(kSystemUri, status);
    other_ = vesklib_HostTimescale_create(kFollowedUri, status);
    nop_ = vesklib_NopCorrelator_create("/nop", host_, other_, status);
    ASSERT_EQ(0, status.code()) << status.json();
  }
  void TearDown() override {
    vesklib_TimestampCorrelator_delete(nop_);
    vesklib_Timescale_delete(other_);
    vesklib_Timescale_delete(host_);
  }

  std::string toJson(TimestampCorrelatorInterface* correlator) {
    TestStatus status;
    char* json = vesklib_TimestampCorrelator_toJson(correlator, status);
    const std::string text = json ? json : "";
    free(json);
    return text;
  }

  TimescaleInterface* host_ = nullptr;
  TimescaleInterface* other_ = nullptr;
  TimestampCorrelatorInterface* nop_ = nullptr;
};

// Each export with one null argument: only the first null one is named.
TEST_F(CorrelatorApi, NamesTheFirstMissingArgument) {
  vesklib_Timestamp in{1, 2, 0, false};
  vesklib_Timestamp out{};
  const std::pair<const char*, std::function<void(qzerr_Status*)>> cases[] = {
      {"correlatorUri",
       [&](qzerr_Status* s) { vesklib_LinearCorrelator_create(nullptr, nullptr, nullptr, 1, 2, 3, s); }},
      {"timescale1", [&](qzerr_Status* s) { vesklib_LinearCorrelator_create("/l", nullptr, other_, 1, 2, 3, s); }},
      {"timescale2", [&](qzerr_Status* s) { vesklib_LinearCorrelator_create("/l", host_, nullptr, 1, 2, 3, s); }},
      {"correlatorUri", [&](qzerr_Status* s) { vesklib_NopCorrelator_create(nullptr, host_, nullptr, s); }},
      {"timescale2", [&](qzerr_Status* s) { vesklib_NopCorrelator_create("/n", host_, nullptr, s); }},
      {"uri", [&](qzerr_Status* s) { vesklib_CachingCorrelator_create(nullptr, nullptr, s); }},
      {"correlator", [&](qzerr_Status* s) { vesklib_CachingCorrelator_create("/c", nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_correlate(nullptr, &in, host_, &out, s); }},
      {"timestampInSourceTimescale",
       [&](qzerr_Status* s) { vesklib_TimestampCorrelator_correlate(nop_, nullptr, host_, &out, s); }},
      {"sourceTimescale", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_correlate(nop_, &in, nullptr, &out, s); }},
      {"correlatedTimestamp",
       [&](qzerr_Status* s) { vesklib_TimestampCorrelator_correlate(nop_, &in, host_, nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_getUri(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_getTimescale1Uri(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_getTimescale2Uri(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_start(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_stop(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_isRunning(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_TimestampCorrelator_toJson(nullptr, s); }},
  };
  for (const auto& [name, call] : cases) {
    TestStatus status;
    call(status);
    EXPECT_EQ(-52005, status.code()) << name;
    EXPECT_TRUE(contains(status.json(), R"("file":"vesklib",)")) << status.json();
    EXPECT_TRUE(contains(status.json(), missing(name))) << status.json();
  }
  vesklib_TimestampCorrelator_delete(nullptr);
}

TEST_F(CorrelatorApi, AnEarlierErrorMakesEveryExportDoNothing) {
  const char* earlier = R"({"earlier":1})";
  vesklib_Timestamp in{1, 2, 0, false};
  vesklib_Timestamp out{7, 7, 7, true};
  const std::function<bool(qzerr_Status*)> calls[] = {
      [&](qzerr_Status* s) { return vesklib_LinearCorrelator_create("/l", host_, other_, 1, 2, 3, s) == nullptr; },
      [&](qzerr_Status* s) { return vesklib_NopCorrelator_create("/n", host_, other_, s) == nullptr; },
      [&](qzerr_Status* s) { return vesklib_CachingCorrelator_create("/c", nop_, s) == nullptr; },
      [&](qzerr_Status* s) {
        vesklib_TimestampCorrelator_correlate(nop_, &in, host_, &out, s);
        return sameTimestamp(out, vesklib_Timestamp{7, 7, 7, true});
      },
      [&](qzerr_Status* s) { return vesklib_TimestampCorrelator_getUri(nop_, s) == nullptr; },
      [&](qzerr_Status* s) { return vesklib_TimestampCorrelator_getTimescale1Uri(nop_, s) == nullptr; },
      [&](qzerr_Status* s) { return vesklib_TimestampCorrelator_getTimescale2Uri(nop_, s) == nullptr; },
      [&](qzerr_Status* s) { return !vesklib_TimestampCorrelator_isRunning(nop_, s); },
      [&](qzerr_Status* s) { return vesklib_TimestampCorrelator_toJson(nop_, s) == nullptr; },
      [&](qzerr_Status* s) {
        vesklib_TimestampCorrelator_start(nop_, s);
        vesklib_TimestampCorrelator_stop(nop_, s);
        return true;
      },
  };
  for (const auto& call : calls) {
    TestStatus status(-52024, earlier);
    EXPECT_TRUE(call(status));
    EXPECT_EQ(-52024, status.code());
    EXPECT_EQ(earlier, status.json());
  }
}

TEST_F(CorrelatorApi, ACachingCorrelatorOverANopOne) {
  TestStatus status;
  TimestampCorrelatorInterface* caching = vesklib_CachingCorrelator_create("/cache", nop_, status);
  ASSERT_NE(nullptr, caching) << status.json();
  const vesklib_Timestamp in{5, 6, 7, true};
  vesklib_Timestamp out{};
  vesklib_TimestampCorrelator_correlate(caching, &in, other_, &out, status);
  EXPECT_TRUE(sameTimestamp(in, out));
  EXPECT_STREQ("/cache", vesklib_TimestampCorrelator_getUri(caching, status));
  EXPECT_STREQ(kSystemUri, vesklib_TimestampCorrelator_getTimescale1Uri(caching, status));
  EXPECT_STREQ(kFollowedUri, vesklib_TimestampCorrelator_getTimescale2Uri(caching, status));
  EXPECT_TRUE(vesklib_TimestampCorrelator_isRunning(caching, status));
  EXPECT_EQ(toJson(nop_), toJson(caching));
  EXPECT_EQ(0, status.code()) << status.json();
  vesklib_TimestampCorrelator_delete(caching);
}

TEST_F(CorrelatorApi, FailuresOfALinearCorrelatorReachTheStatus) {
  TestStatus status;
  TimestampCorrelatorInterface* linear = vesklib_LinearCorrelator_create("/l", host_, other_, 1, 4, 2000, status);
  ASSERT_NE(nullptr, linear);
  vesklib_Timestamp in{1, 0, 0, false};
  vesklib_Timestamp out{};
  vesklib_TimestampCorrelator_correlate(linear, &in, host_, &out, status);
  EXPECT_EQ(-52017, status.code());
  EXPECT_TRUE(contains(status.json(), "Correlator must be started before calling correlate."));

  TestStatus startTwice;
  vesklib_TimestampCorrelator_start(linear, startTwice);
  vesklib_TimestampCorrelator_start(linear, startTwice);
  EXPECT_EQ(-52016, startTwice.code());
  vesklib_TimestampCorrelator_delete(linear);
}

// The shared library loads the manager client library by name and finds
// the stand-in this test brought in (under the sanitizers a library loaded
// by name does not see the loading library's run path, so the test does not
// rely on it). While the manager cannot be reached the clocks stay apart;
// once it has the host follow the other timescale's grandmaster, both clocks
// are one and correlation is the identity.
TEST_F(CorrelatorApi, ALinearCorrelatorFollowsWhatTheManagerSays) {
  QzqlmStandIn standIn(vesktools::pendulo::testing::StandInBuild::complete, R"({"reachable": false})");
  TestStatus status;
  TimestampCorrelatorInterface* linear = vesklib_LinearCorrelator_create("/l", host_, other_, 1, 4, 2000, status);
  vesklib_TimestampCorrelator_start(linear, status);
  ASSERT_EQ(0, status.code()) << status.json();
  EXPECT_TRUE(contains(toJson(linear), R"("isThreadRunning" : true, "isSystemTimeSynced" : false })"));
  vesklib_TimestampCorrelator_stop(linear, status);

  standIn.write(hostFollowsState("00:1B:21"));
  vesklib_TimestampCorrelator_start(linear, status);
  EXPECT_TRUE(contains(toJson(linear), R"("isSystemTimeSynced" : true })"));
  const vesklib_Timestamp in{1700000000, 999999999, 0, false};
  for (TimescaleInterface* source : {host_, other_}) {
    vesklib_Timestamp out{};
    vesklib_TimestampCorrelator_correlate(linear, &in, source, &out, status);
    EXPECT_TRUE(sameTimestamp(in, out)) << out.seconds << "." << out.nanos;
  }
  EXPECT_EQ(0, status.code()) << status.json();
  vesklib_TimestampCorrelator_delete(linear);
}

}  // namespace
