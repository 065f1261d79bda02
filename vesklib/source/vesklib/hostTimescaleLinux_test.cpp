#include "vesklib/hostTimescaleLinux.h"

#include <gtest/gtest.h>

#include <ctime>

namespace vesklib {
namespace {

int64_t nanosOf(const timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; }
int64_t nanosOf(const vesklib_Timestamp& t) { return t.seconds * 1000000000 + t.nanos; }

timespec realTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

TEST(HostTimescale, DescribesItselfByItsUri) {
  struct {
    const char* uri;
    const char* json;
  } const cases[] = {
      {"/localhost/vesks/timescales/system", R"({"uri":"/localhost/vesks/timescales/system"})"},
      {"", R"({"uri":""})"},
      {R"(/a"b\c)", R"({"uri":"/a\"b\\c"})"},
      {"\x01\x1f", R"({"uri":"\u0001\u001f"})"},
  };
  for (const auto& c : cases) {
    HostTimescale timescale(c.uri);
    EXPECT_EQ(timescale.getUri(), c.uri);
    EXPECT_EQ(timescale.toJson(), c.json);
  }
}

TEST(HostTimescale, ReadsTheRealTimeClock) {
  HostTimescale timescale("/localhost/vesks/timescales/system");
  for (int reading = 0; reading < 2; ++reading) {
    vesklib_Timestamp timestamp{-1, -1, 77, true};
    const timespec before = realTimeNow();
    timescale.getTime(&timestamp);
    const timespec after = realTimeNow();

    EXPECT_GE(timestamp.nanos, 0);
    EXPECT_LT(timestamp.nanos, 1000000000);
    EXPECT_EQ(timestamp.fractionalNanos, 0);
    EXPECT_FALSE(timestamp.isNegative);
    // Bracketed by two reads of the same clock, so it is that clock, not a late or early one.
    EXPECT_LE(nanosOf(before), nanosOf(timestamp));
    EXPECT_LE(nanosOf(timestamp), nanosOf(after));
  }
}

}  // namespace
}  // namespace vesklib
