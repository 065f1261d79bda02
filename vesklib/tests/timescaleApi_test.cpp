#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <tuple>

#include "testStatus.h"
#include "vesklib/vesklib.h"

namespace {

const char kSystemUri[] = "/localhost/vesks/timescales/system";
constexpr vesklib_Timestamp kUntouched{11, 22, 33, true};

auto fields(const vesklib_Timestamp& t) {
  return std::make_tuple(t.seconds, t.nanos, t.fractionalNanos, t.isNegative);
}

// The whole detail of a missing argument, whatever the line of the check.
bool isMissingArgumentDetail(const std::string& json, const std::string& name) {
  const std::string head = R"({"error_constant":"qzkormerr_invalidParameter","file":"vesklib","line":)";
  const std::string tail = R"(,"component":"vesklib","qzsyncdomain_debug":{"message":)"
                           R"("Encountered missing parameter needed for task completion.",")" +
                           name + R"(":"nullptr"}})";
  if (json.size() <= head.size() + tail.size()) return false;
  if (json.compare(0, head.size(), head) != 0) return false;
  if (json.compare(json.size() - tail.size(), tail.size(), tail) != 0) return false;
  const std::string line = json.substr(head.size(), json.size() - head.size() - tail.size());
  return line.find_first_not_of("0123456789") == std::string::npos;
}

class TimescaleApi : public testing::Test {
 protected:
  void SetUp() override {
    TestStatus status;
    handle_ = vesklib_HostTimescale_create(kSystemUri, status);
    ASSERT_EQ(status.code(), 0) << status.json();
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override { vesklib_Timescale_delete(handle_); }

  TimescaleInterface* handle_ = nullptr;
};

TEST_F(TimescaleApi, HostTimescaleAnswersThroughTheExports) {
  TestStatus status;
  EXPECT_STREQ(vesklib_Timescale_getUri(handle_, status), kSystemUri);

  char* first = vesklib_Timescale_toJson(handle_, status);
  char* second = vesklib_Timescale_toJson(handle_, status);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second) << "each call hands out its own copy";
  EXPECT_STREQ(first, R"({"uri":"/localhost/vesks/timescales/system"})");
  EXPECT_STREQ(second, first);
  free(first);
  free(second);

  timespec before{};
  clock_gettime(CLOCK_REALTIME, &before);
  vesklib_Timestamp timestamp = kUntouched;
  vesklib_Timescale_getTime(handle_, &timestamp, status);
  EXPECT_GE(timestamp.seconds, before.tv_sec);
  EXPECT_LT(timestamp.nanos, 1000000000);
  EXPECT_EQ(timestamp.fractionalNanos, 0);
  EXPECT_FALSE(timestamp.isNegative);

  EXPECT_EQ(status.code(), 0);
  EXPECT_EQ(status.json(), "");
}

TEST_F(TimescaleApi, EmptyUriIsKept) {
  TestStatus status;
  TimescaleInterface* empty = vesklib_HostTimescale_create("", status);
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(vesklib_Timescale_getUri(empty, status), "");
  vesklib_Timescale_delete(empty);
  EXPECT_EQ(status.code(), 0);
}

TEST_F(TimescaleApi, NullArgumentsAreReportedInOrder) {
  vesklib_Timestamp timestamp = kUntouched;
  struct Case {
    const char* name;
    std::function<bool(qzerr_Status*)> call;  // true when the result is the empty one
    const char* argument;
  } const cases[] = {
      {"create", [](qzerr_Status* s) { return vesklib_HostTimescale_create(nullptr, s) == nullptr; }, "uri"},
      {"proxyUri",
       [](qzerr_Status* s) { return vesklib_TimescaleProxy_create(nullptr, nullptr, 9123, s) == nullptr; }, "uri"},
      {"proxyHost",
       [](qzerr_Status* s) { return vesklib_TimescaleProxy_create("h/a/b/c/d/e", nullptr, 9123, s) == nullptr; },
       "host"},
      {"getUri", [](qzerr_Status* s) { return vesklib_Timescale_getUri(nullptr, s) == nullptr; }, "handle"},
      {"getTimeWithoutAnything",
       [](qzerr_Status* s) { vesklib_Timescale_getTime(nullptr, nullptr, s); return true; }, "handle"},
      {"getTimeWithoutHandle",
       [&](qzerr_Status* s) { vesklib_Timescale_getTime(nullptr, &timestamp, s); return true; }, "handle"},
      {"getTimeWithoutTimestamp",
       [&](qzerr_Status* s) { vesklib_Timescale_getTime(handle_, nullptr, s); return true; }, "timestamp"},
      {"toJson", [](qzerr_Status* s) { return vesklib_Timescale_toJson(nullptr, s) == nullptr; }, "handle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestStatus status;
    EXPECT_TRUE(c.call(status));
    EXPECT_EQ(status.code(), -52005);
    EXPECT_TRUE(isMissingArgumentDetail(status.json(), c.argument)) << status.json();
  }
  EXPECT_EQ(fields(timestamp), fields(kUntouched));
}

TEST_F(TimescaleApi, IncomingErrorLeavesEverythingUntouched) {
  const char kEarlierDetail[] = R"({"earlier":"failure"})";
  vesklib_Timestamp timestamp = kUntouched;
  struct Case {
    const char* name;
    std::function<bool(qzerr_Status*)> call;  // true when the result is the empty one
  } const cases[] = {
      {"create", [](qzerr_Status* s) { return vesklib_HostTimescale_create(kSystemUri, s) == nullptr; }},
      {"createWithoutUri", [](qzerr_Status* s) { return vesklib_HostTimescale_create(nullptr, s) == nullptr; }},
      {"proxyCreate",
       [](qzerr_Status* s) { return vesklib_TimescaleProxy_create("/h/a/b/c/d/e", "h", 9123, s) == nullptr; }},
      {"getUri", [&](qzerr_Status* s) { return vesklib_Timescale_getUri(handle_, s) == nullptr; }},
      {"getTime", [&](qzerr_Status* s) { vesklib_Timescale_getTime(handle_, &timestamp, s); return true; }},
      {"getTimeWithoutTimestamp",
       [&](qzerr_Status* s) { vesklib_Timescale_getTime(handle_, nullptr, s); return true; }},
      {"toJson", [&](qzerr_Status* s) { return vesklib_Timescale_toJson(handle_, s) == nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestStatus status(-52006, kEarlierDetail);
    EXPECT_TRUE(c.call(status));
    EXPECT_EQ(status.code(), -52006);
    EXPECT_EQ(status.json(), kEarlierDetail);
  }
  EXPECT_EQ(fields(timestamp), fields(kUntouched));
}

// Nothing is checked or sent before the first time request.
TEST(TimescaleProxyApi, IsMadeWithoutTouchingTheNetwork) {
  const struct {
    const char* name;
    const char* uri;
    const char* host;
    int32_t port;
  } cases[] = {
      {"unknown host", "/target.invalid/veskwebs/timescales/pendulo/tr1/gm1", "target.invalid", 9123},
      {"malformed uri", "no//parts", "h", 9123},
      {"port above 65535", "/h/veskwebs/timescales/pendulo/tr1/gm1", "h", 65536},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestStatus status;
    TimescaleInterface* proxy = vesklib_TimescaleProxy_create(c.uri, c.host, c.port, status);
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(status.code(), 0) << status.json();
    EXPECT_STREQ(vesklib_Timescale_getUri(proxy, status), c.uri);
    char* json = vesklib_Timescale_toJson(proxy, status);
    EXPECT_EQ(json, R"({"uri":")" + std::string(c.uri) + R"("})");
    free(json);
    vesklib_Timescale_delete(proxy);
  }
}

TEST_F(TimescaleApi, WarningDoesNotStopACall) {
  TestStatus status(7, R"({"warning":1})");
  char* json = vesklib_Timescale_toJson(handle_, status);
  EXPECT_STREQ(json, R"({"uri":"/localhost/vesks/timescales/system"})");
  free(json);
  EXPECT_EQ(status.code(), 7);
}

TEST(TimescaleApiDelete, NullHandleIsIgnored) { vesklib_Timescale_delete(nullptr); }

}  // namespace
