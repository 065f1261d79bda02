#include "vesklib/timescaleProxy.h"

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>

#include "qzjsonlh/cppJson.h"
#include "timestampService.h"
#include "vesklib/testing/anyLine.h"
#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/rawThriftResponder.h"
#include "vesklib/testing/timestampDaemonStub.h"

namespace vesklib {
namespace {

using ::testing::HasSubstr;
using testing::anyLine;
using testing::caughtError;
using testing::RawThriftResponder;
using testing::TimestampDaemonBehaviour;
using testing::TimestampDaemonStub;

constexpr char kHost[] = "127.0.0.2";
constexpr int kPort = 9123;
constexpr char kUri[] = "/127.0.0.2/veskwebs/timescales/pendulo/tr1/gm1";
constexpr char kLocalUri[] = "/veskwebs/timescales/pendulo/tr1/gm1";
constexpr vesklib_Timestamp kUntouched{-1, -1, -1, false};
constexpr char kVersionMessage[] =
    "Encountered error getting server API version from qztimestampd on remote target.";
constexpr char kTimeMessage[] = "Encountered error getting time from qztimestampd on remote target.";

auto fields(const vesklib_Timestamp& t) { return std::make_tuple(t.seconds, t.nanos, t.fractionalNanos, t.isNegative); }

timestampService::Timestamp reading(int64_t seconds, int32_t nanos) {
  return testing::wireTimestamp(seconds, nanos, 3, true);
}

TimestampDaemonBehaviour daemon(std::optional<int32_t> apiVersion) {
  TimestampDaemonBehaviour behaviour;
  behaviour.apiVersion = apiVersion;
  behaviour.readUri = kLocalUri;
  behaviour.timescaleUris = {"/veskwebs/timescales/pendulo/tr0/gm0", kLocalUri};
  behaviour.clock = [] { return reading(1700000000, 250); };
  return behaviour;
}

// The detail of a transport failure, whatever Thrift's own text.
std::string transportDebug(int kind, const char* name, const char* message) {
  return R"("qzsyncdomain_debug":{"type_code":)" + std::to_string(kind) + R"(,"type":"TTransportException::)" +
         name + R"(","message":")" + message + R"(","timescaleUri":")" + kUri + R"("}})";
}

std::string communicationsFaultHead() {
  return R"({"error_constant":"qzkormerr_communicationsFault","file":"session","line":0,"component":"vesklib",)"
         R"("std_exception_what":")";
}

TEST(TimescaleProxy, ReadsTheDaemonsClockByItsVersionOverOneConnection) {
  struct {
    const char* name;
    std::optional<int32_t> version;
    bool asksGetTime;
  } const cases[] = {
      {"version 1", 1, true},
      {"version 2", 2, false},
      {"no version request", std::nullopt, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TimestampDaemonStub stub(kHost, kPort, daemon(c.version));
    TimescaleProxy proxy(kUri, kHost, kPort);
    for (int call = 0; call < 3; ++call) {
      vesklib_Timestamp timestamp = kUntouched;
      proxy.getTime(&timestamp);
      EXPECT_EQ(fields(timestamp), std::make_tuple(1700000000, 250, 3, true));
    }
    const auto counts = stub.counts();
    EXPECT_EQ(counts.connections, 1);
    EXPECT_EQ(counts.getApiVersion, 1);
    EXPECT_EQ(counts.getTime, c.asksGetTime ? 3 : 0);
    EXPECT_EQ(counts.getTimeAndCurrentTimescales, c.asksGetTime ? 0 : 3);
    if (c.asksGetTime) {
      EXPECT_EQ(counts.lastGetTimeId, 0);
    }
  }
}

TEST(TimescaleProxy, RefusesAReadingOfAnotherTimescale) {
  TimestampDaemonBehaviour version1 = daemon(1);
  version1.readUri = "/veskwebs/timescales/pendulo/tr1/GM1";
  TimestampDaemonBehaviour version2 = daemon(2);
  version2.timescaleUris = {"/veskwebs/timescales/pendulo/tr1/gm2"};
  const std::string head = R"({"error_constant":"qzkormerr_resourceRemoved","file":"session","line":0,)"
                           R"("component":"vesklib","qzsyncdomain_debug":{"message":"Timestamp received from )"
                           R"(remote target is on a different timescale than expected.","thisTimescaleUri":")" +
                           std::string(kUri) + R"(","expectedLocalUri":")" + kLocalUri + R"(",)";
  struct {
    const char* name;
    TimestampDaemonBehaviour behaviour;
    std::string detail;
  } const cases[] = {
      {"version 1", version1, head + R"("localUriOfTarget":"/veskwebs/timescales/pendulo/tr1/GM1"}})"},
      {"version 2", version2, head + R"("currentTimescaleUris":["/veskwebs/timescales/pendulo/tr1/gm2"]}})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TimestampDaemonStub stub(kHost, kPort, c.behaviour);
    TimescaleProxy proxy(kUri, kHost, kPort);
    vesklib_Timestamp timestamp = kUntouched;
    const auto error = caughtError([&] { proxy.getTime(&timestamp); });
    EXPECT_EQ(error.code, -52020);
    EXPECT_EQ(anyLine(error.detail), c.detail);
    EXPECT_EQ(fields(timestamp), std::make_tuple(1700000000, 250, 3, true)) << "written before the check";
  }
}

TEST(TimescaleProxy, HandsOnTheDaemonsErrorStatusExactly) {
  const std::string detail = R"({"error_constant":"qzkormerr_resourceNotFound","file":"x","line":7, "é":[]})";
  for (int32_t version : {1, 2}) {
    TimestampDaemonBehaviour behaviour = daemon(version);
    behaviour.error = TimestampDaemonBehaviour::Error{-52006, detail};
    TimestampDaemonStub stub(kHost, kPort, behaviour);
    TimescaleProxy proxy(kUri, kHost, kPort);
    vesklib_Timestamp timestamp = kUntouched;
    const auto error = caughtError([&] { proxy.getTime(&timestamp); });
    EXPECT_EQ(error.code, -52006);
    EXPECT_EQ(error.detail, detail);
    EXPECT_EQ(fields(timestamp), fields(kUntouched));
  }
}

// Every detail is a JSON object: the daemon's is kept when it is one; any
// other text comes as a string under "receivedJson", cut to 4096 bytes at
// most, never inside a UTF-8 sequence, and marked where it was cut.
TEST(TimescaleProxy, WrapsADaemonDetailThatIsNotAJsonObject) {
  const std::string cutHere(4096, 'x');
  const struct {
    const char* name;
    std::string received;
    std::string detail;
  } cases[] = {
      {"an object", R"({"a":[1,{"b":"c"}]})", R"({"a":[1,{"b":"c"}]})"},
      {"an object between spaces", " {}\n", " {}\n"},
      {"empty", "", R"({"receivedJson":""})"},
      {"plain text", "gone\tdown", R"({"receivedJson":"gone\tdown"})"},
      {"an array", R"([{"a":1}])", R"({"receivedJson":"[{\"a\":1}]"})"},
      {"a string", R"("a\"b")", R"({"receivedJson":"\"a\\\"b\""})"},
      {"broken", R"({"a":)", R"({"receivedJson":"{\"a\":"})"},
      {"an object and more", R"({"a":1}{})", R"({"receivedJson":"{\"a\":1}{}"})"},
      {"too long", cutHere + "yz", R"({"receivedJson":")" + cutHere + R"(...[cut from 4098 bytes]"})"},
      {"too long in a character", cutHere.substr(1) + "\u00e9",
       R"({"receivedJson":")" + cutHere.substr(1) + R"(...[cut from 4097 bytes]"})"},
  };
  TimestampDaemonStub stub(kHost, kPort, daemon(2));
  TimescaleProxy proxy(kUri, kHost, kPort);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TimestampDaemonBehaviour behaviour = daemon(2);
    behaviour.error = TimestampDaemonBehaviour::Error{-52006, c.received};
    stub.setBehaviour(behaviour);
    vesklib_Timestamp timestamp = kUntouched;
    const auto error = caughtError([&] { proxy.getTime(&timestamp); });
    EXPECT_EQ(error.code, -52006);
    EXPECT_EQ(error.detail, c.detail);
    const CppJson parsed(cJSON_ParseWithOpts(error.detail.c_str(), nullptr, true));
    EXPECT_TRUE(CppJson::isObject(parsed.get())) << "the whole detail is one JSON object";
  }
}

TEST(TimescaleProxy, ADaemonThatEndsEveryConnectionGetsFiveAttempts) {
  RawThriftResponder responder(kHost, kPort, [](const std::string&) { return RawThriftResponder::Answer{"", true}; });
  TimescaleProxy proxy(kUri, kHost, kPort);
  for (int request = 1; request <= 2; ++request) {
    vesklib_Timestamp timestamp = kUntouched;
    const auto error = caughtError([&] { proxy.getTime(&timestamp); });
    EXPECT_EQ(error.code, -52024);
    EXPECT_EQ(anyLine(error.detail),
              communicationsFaultHead() + "No more data to read.\"," + transportDebug(3, "END_OF_FILE", kVersionMessage));
    EXPECT_EQ(responder.connections(), 5 * request) << "each request starts over";
    EXPECT_EQ(responder.calls(), 5 * request);
  }
}

// Correct replies from a daemon that ends the connection after each.
RawThriftResponder::Answer replyAndClose(const std::string& method) {
  const auto write = [&](apache::thrift::protocol::TProtocol& protocol) {
    if (method == "getApiVersion") {
      timestampService::timestampService_getApiVersion_result result;
      result.success = 1;
      result.__isset.success = true;
      result.write(&protocol);
    } else {
      timestampService::timestampService_getTime_result result;
      result.success.__set_seconds(42);
      result.success.__set_uri(kLocalUri);
      result.__isset.success = true;
      result.write(&protocol);
    }
  };
  return {testing::encodeThriftMessage(method, apache::thrift::protocol::T_REPLY, write), true};
}

TEST(TimescaleProxy, ReconnectsToADaemonThatClosesAfterEachReply) {
  RawThriftResponder responder(kHost, kPort, replyAndClose);
  TimescaleProxy proxy(kUri, kHost, kPort);
  for (int request = 1; request <= 2; ++request) {
    vesklib_Timestamp timestamp = kUntouched;
    proxy.getTime(&timestamp);
    EXPECT_EQ(timestamp.seconds, 42);
    EXPECT_EQ(responder.connections(), 1 + request);
  }
}

// A length on the wire is refused before anything is allocated for it; the
// failure closes the connection, and the next request reads the clock anew.
TEST(TimescaleProxy, AStringClaimingTwoGibibytesCostsOneFailedRequest) {
  for (int32_t version : {1, 2}) {
    SCOPED_TRACE(version);
    TimestampDaemonBehaviour hostile = daemon(version);
    hostile.hugeStringLength = true;
    TimestampDaemonStub stub(kHost, kPort, hostile);
    TimescaleProxy proxy(kUri, kHost, kPort);
    vesklib_Timestamp timestamp = kUntouched;
    const auto error = caughtError([&] { proxy.getTime(&timestamp); });
    EXPECT_EQ(error.code, -52024);
    EXPECT_THAT(error.detail, HasSubstr(R"("std_exception_what":"TProtocolException: Exceeded size limit",)"
                                        R"("qzsyncdomain_debug":{"message":")" +
                                        std::string(kTimeMessage)));
    EXPECT_EQ(fields(timestamp), fields(kUntouched));

    stub.setBehaviour(daemon(version));
    proxy.getTime(&timestamp);
    EXPECT_EQ(fields(timestamp), std::make_tuple(1700000000, 250, 3, true));
    EXPECT_EQ(stub.counts().connections, 2);
  }
}

// A list of a million URIs would be a million strings allocated at once.
RawThriftResponder::Answer listOfAMillionUris(const std::string& method) {
  using namespace apache::thrift::protocol;
  const auto write = [&](TProtocol& protocol) {
    if (method == "getApiVersion") {
      timestampService::timestampService_getApiVersion_result result;
      result.success = 2;
      result.__isset.success = true;
      result.write(&protocol);
      return;
    }
    protocol.writeStructBegin("result");
    protocol.writeFieldBegin("success", T_STRUCT, 0);
    protocol.writeStructBegin("TimeInfo");
    protocol.writeFieldBegin("timescaleUris", T_LIST, 2);
    protocol.writeListBegin(T_STRING, 1000000);
  };
  return {testing::encodeThriftMessage(method, T_REPLY, write), false};
}

TEST(TimescaleProxy, AListLongerThanTheClientTakesIsRefused) {
  RawThriftResponder responder(kHost, kPort, listOfAMillionUris);
  TimescaleProxy proxy(kUri, kHost, kPort);
  vesklib_Timestamp timestamp = kUntouched;
  const auto error = caughtError([&] { proxy.getTime(&timestamp); });
  EXPECT_EQ(error.code, -52024);
  EXPECT_THAT(error.detail, HasSubstr(R"("std_exception_what":"TProtocolException: Exceeded size limit",)"));
}

TEST(TimescaleProxy, AClosedPortIsNotOpen) {
  TimescaleProxy proxy(kUri, kHost, kPort);
  const auto error = caughtError([&] {
    vesklib_Timestamp timestamp;
    proxy.getTime(&timestamp);
  });
  EXPECT_EQ(error.code, -52024);
  EXPECT_THAT(error.detail, HasSubstr(transportDebug(1, "NOT_OPEN", kVersionMessage)));
}

TEST(TimescaleProxy, ASlowReplyTimesOutAndIsNeverTakenForTheNextAnswer) {
  TimestampDaemonBehaviour slow = daemon(2);
  slow.replyDelay = std::chrono::milliseconds(6000);
  TimestampDaemonStub stub(kHost, kPort, daemon(2));
  TimescaleProxy proxy(kUri, kHost, kPort);
  vesklib_Timestamp timestamp = kUntouched;
  proxy.getTime(&timestamp);  // makes the session

  stub.setBehaviour(slow);
  const auto error = caughtError([&] { proxy.getTime(&timestamp); });
  EXPECT_EQ(error.code, -52024);
  EXPECT_THAT(error.detail, HasSubstr(transportDebug(2, "TIMED_OUT", kTimeMessage)));
  EXPECT_EQ(stub.counts().getTimeAndCurrentTimescales, 2) << "not retried";

  TimestampDaemonBehaviour later = daemon(2);
  later.clock = [] { return reading(1800000000, 0); };
  stub.setBehaviour(later);
  proxy.getTime(&timestamp);
  EXPECT_EQ(timestamp.seconds, 1800000000) << "the late reply to the timed-out request was read";
  EXPECT_EQ(stub.counts().connections, 2);
}

TEST(TimescaleProxy, ABadUriOrPortFailsEachRequestAnew) {
  TimestampDaemonStub stub(kHost, kPort, daemon(2));
  struct {
    const char* name;
    TimescaleProxy proxy;
    int32_t code;
    std::string part;
  } cases[] = {
      {"five parts", {"/127.0.0.2/veskwebs/timescales/pendulo/tr1", kHost, kPort}, -52005,
       "Failed to parse URI; more keys than URI parts."},
      {"port above 65535", {kUri, kHost, 65536}, -52024, transportDebug(5, "BAD_ARGS", kVersionMessage)},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (int request = 0; request < 2; ++request) {
      const auto error = caughtError([&] {
        vesklib_Timestamp timestamp;
        c.proxy.getTime(&timestamp);
      });
      EXPECT_EQ(error.code, c.code);
      EXPECT_THAT(error.detail, HasSubstr(c.part));
    }
  }
  EXPECT_EQ(stub.counts().connections, 0);
}

// What the body wrote to standard error, at the level of the file descriptor.
template <typename Body>
std::string standardErrorOf(Body body) {
  fflush(stderr);
  FILE* capture = tmpfile();
  const int saved = dup(STDERR_FILENO);
  dup2(fileno(capture), STDERR_FILENO);
  body();
  fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::string written;
  rewind(capture);
  for (int c = fgetc(capture); c != EOF; c = fgetc(capture)) written += static_cast<char>(c);
  fclose(capture);
  return written;
}

TEST(TimescaleProxy, NothingOfThriftReachesStandardError) {
  const std::string written = standardErrorOf([] {
    TimescaleProxy refused(kUri, kHost, kPort);
    RawThriftResponder ending("127.0.0.3", kPort, [](const std::string&) { return RawThriftResponder::Answer{"", true}; });
    TimescaleProxy ended("/127.0.0.3/veskwebs/timescales/pendulo/tr1/gm1", "127.0.0.3", kPort);
    for (TimescaleProxy* proxy : {&refused, &ended}) {
      const auto error = caughtError([&] {
        vesklib_Timestamp timestamp;
        proxy->getTime(&timestamp);
      });
      EXPECT_EQ(error.code, -52024);
    }
  });
  EXPECT_EQ(written, "");
}

TEST(TimescaleProxy, IsNamedAndDescribedByItsUri) {
  TimescaleProxy proxy(R"(/h/w/r/p/t/g"q)", kHost, kPort);
  EXPECT_EQ(proxy.getUri(), R"(/h/w/r/p/t/g"q)");
  EXPECT_EQ(proxy.toJson(), R"({"uri":"/h/w/r/p/t/g\"q"})");
}

}  // namespace
}  // namespace vesklib
