// The exported functions, through the shared library alone, against a
// stand-in daemon on this namespace's local socket (or none).
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qzerr/errorDetail.h"
#include "testing/testStatus.h"
#include "vesksapi/client/testing/fakeDaemon.h"
#include "vesksapi/client/testing/maskedLine.h"
#include "vesksapi/vesksapi.h"

namespace {

using apache::thrift::protocol::TProtocol;
using vesk::testing::TestStatus;
using vesksapi::testing::Answer;
using vesksapi::testing::encodeReply;
using vesksapi::testing::FakeDaemon;
using vesksapi::testing::ReceivedCall;

using vesksapi::testing::maskedLine;

const std::string kProxySite =
    R"({"error_constant":"qzkormerr_communicationsFault","file":"sessionSymbols","line":#,"component":"vesksapi",)";

// An error of this library's functions: its site, then `rest`.
std::string apiError(const std::string& constant, const std::string& rest) {
  return R"({"error_constant":")" + constant + R"(","file":"api","line":#,"component":"vesksapi",)" + rest;
}

// Result fields of a reply.
void writeText(TProtocol& p, const std::string& text) {
  p.writeFieldBegin("success", apache::thrift::protocol::T_STRING, 0);
  p.writeString(text);
  p.writeFieldEnd();
}

void writeBool(TProtocol& p, bool flag) {
  p.writeFieldBegin("success", apache::thrift::protocol::T_BOOL, 0);
  p.writeBool(flag);
  p.writeFieldEnd();
}

void writeTimestamp(TProtocol& p, const vesklib_Timestamp& t) {
  p.writeFieldBegin("success", apache::thrift::protocol::T_STRUCT, 0);
  p.writeStructBegin("vesksrpc_Timestamp");
  p.writeFieldBegin("seconds", apache::thrift::protocol::T_I64, 1);
  p.writeI64(t.seconds);
  p.writeFieldEnd();
  p.writeFieldBegin("nanos", apache::thrift::protocol::T_I32, 2);
  p.writeI32(t.nanos);
  p.writeFieldEnd();
  p.writeFieldBegin("fractionalNanos", apache::thrift::protocol::T_I32, 3);
  p.writeI32(t.fractionalNanos);
  p.writeFieldEnd();
  p.writeFieldBegin("isNegative", apache::thrift::protocol::T_BOOL, 4);
  p.writeBool(t.isNegative);
  p.writeFieldEnd();
  p.writeFieldStop();
  p.writeStructEnd();
  p.writeFieldEnd();
}

void writeStatus(TProtocol& p, int32_t code, const std::string& json) {
  p.writeFieldBegin("status", apache::thrift::protocol::T_STRUCT, 1);
  p.writeStructBegin("thrift_qzerr");
  p.writeFieldBegin("code", apache::thrift::protocol::T_I32, 1);
  p.writeI32(code);
  p.writeFieldEnd();
  p.writeFieldBegin("json", apache::thrift::protocol::T_STRING, 2);
  p.writeString(json);
  p.writeFieldEnd();
  p.writeFieldStop();
  p.writeStructEnd();
  p.writeFieldEnd();
}

// A daemon whose every reply carries the result that `write` writes.
FakeDaemon::Script replying(std::function<void(TProtocol&)> write) {
  return [write](const ReceivedCall& call) { return Answer{encodeReply(call.method, write)}; };
}

FakeDaemon::Script replyingText(const std::string& text) {
  return replying([text](TProtocol& p) { writeText(p, text); });
}

constexpr vesklib_Timestamp kUntouched{-1, -1, -1, false};

bool sameTimestamp(const vesklib_Timestamp& a, const vesklib_Timestamp& b) {
  return a.seconds == b.seconds && a.nanos == b.nanos && a.fractionalNanos == b.fractionalNanos &&
         a.isNegative == b.isNegative;
}

TEST(ClientApi, WithoutADaemonACallFailsAsACommunicationsFaultAndTheNextTriesAgain) {
  TestStatus st;
  EXPECT_FALSE(vesksapi_syncDomain_isCoherent("/d", st));
  EXPECT_EQ(st.code(), -52024);
  // Thrift's own text between the site and the channel.
  const std::string detail = maskedLine(st.json());
  const std::string channel = R"(","qzsyncdomain_debug":{"type_code":1,"type":"TTransportException::NOT_OPEN"}})";
  EXPECT_EQ(detail.rfind(kProxySite + R"("std_exception_what":")", 0), 0u) << detail;
  ASSERT_GT(detail.size(), channel.size());
  EXPECT_EQ(detail.substr(detail.size() - channel.size()), channel) << detail;

  vesklib_Timestamp timestamp = kUntouched;
  TestStatus again;
  vesksapi_timescale_getTime("/t", &timestamp, again);
  EXPECT_EQ(again.code(), -52024);
  EXPECT_TRUE(sameTimestamp(timestamp, kUntouched));

  FakeDaemon daemon(replying([](TProtocol& p) { writeBool(p, true); }));
  TestStatus later;
  EXPECT_TRUE(vesksapi_syncDomain_isCoherent("/d", later));
  EXPECT_EQ(later.code(), 0);
}

// The process-wide session after one call that found no daemon: the very
// next call reaches the daemon started meanwhile.
TEST(ClientApi, AfterOneCallFoundNoDaemonTheVeryNextReachesTheNewOne) {
  TestStatus without;
  EXPECT_FALSE(vesksapi_syncDomain_isCoherent("/d", without));
  EXPECT_EQ(without.code(), -52024);
  EXPECT_NE(without.json().find(R"("type":"TTransportException::NOT_OPEN")"), std::string::npos) << without.json();

  FakeDaemon daemon(replying([](TProtocol& p) { writeBool(p, true); }));
  TestStatus with;
  EXPECT_TRUE(vesksapi_syncDomain_isCoherent("/d", with));
  EXPECT_EQ(with.code(), 0) << with.json();
  EXPECT_EQ(daemon.calls().size(), 1u);
}

TEST(ClientApi, TheDaemonsErrorBecomesTheCallersStatusUnchanged) {
  const std::string daemonJson =
      R"({"error_constant":"qzkormerr_resourceNotFound","file":"session","line":12,"component":"vesksapi",)"
      R"("qzsyncdomain_debug":{"message":"Unknown timescale.","timescaleUri":"/t"}})";
  FakeDaemon daemon(replying([&](TProtocol& p) { writeStatus(p, -52006, daemonJson); }));
  TestStatus st;
  vesklib_Timestamp timestamp = kUntouched;
  vesksapi_timescale_getTime("/t", &timestamp, st);
  EXPECT_EQ(st.code(), -52006);
  EXPECT_EQ(st.json(), daemonJson);
  EXPECT_TRUE(sameTimestamp(timestamp, kUntouched));
}

TEST(ClientApi, AnEmptyResultIsMissingForABoolAndSuccessForNothing) {
  FakeDaemon daemon(replying({}));
  TestStatus st;
  EXPECT_FALSE(vesksapi_syncDomain_isCoherent("/d", st));
  EXPECT_EQ(st.code(), -52024);
  EXPECT_EQ(maskedLine(st.json()),
            kProxySite + R"("std_exception_what":"syncDomain_isCoherent failed: unknown result",)"
                         R"("qzsyncdomain_debug":{}})");

  TestStatus stopped;
  vesksapi_syncDomain_stop("/d", stopped);
  EXPECT_EQ(stopped.code(), 0);
}

TEST(ClientApi, ADaemonThatHangsUpGivesEndOfFile) {
  FakeDaemon daemon([](const ReceivedCall&) { return Answer{"", true}; });
  TestStatus st;
  EXPECT_FALSE(vesksapi_syncDomain_start("/d", 1, st));
  EXPECT_EQ(st.code(), -52024);
  EXPECT_NE(st.json().find(R"("qzsyncdomain_debug":{"type_code":3,"type":"TTransportException::END_OF_FILE"}})"),
            std::string::npos)
      << st.json();
}

// The daemon ends the connection after such a reply: a client that skipped it
// and waited on for its result would see the end of the connection instead.
TEST(ClientApi, AReplyOfAnotherKindOrMethodFailsTheCallAtOnce) {
  const struct {
    apache::thrift::protocol::TMessageType type;
    const char* method;
    const char* what;
  } cases[] = {
      {apache::thrift::protocol::T_REPLY, "syncDomain_isCoherentSinceLastChecked",
       "syncDomain_isCoherent: the reply names another method"},
      {apache::thrift::protocol::T_CALL, "syncDomain_isCoherent",
       "syncDomain_isCoherent: the reply has message type 1"},
  };
  for (const auto& c : cases) {
    FakeDaemon daemon([&](const ReceivedCall&) {
      return Answer{encodeReply(c.method, [](TProtocol& p) { writeBool(p, true); }, c.type), true};
    });
    TestStatus st;
    EXPECT_FALSE(vesksapi_syncDomain_isCoherent("/d", st));
    EXPECT_EQ(st.code(), -52024);
    EXPECT_EQ(maskedLine(st.json()),
              kProxySite + "\"std_exception_what\":\"" + c.what + "\",\"qzsyncdomain_debug\":{}}");
  }
}

TEST(ClientApi, ArgumentsTravelUnchanged) {
  const vesklib_Timestamp answer{12, 345, 6, true};
  FakeDaemon daemon([&](const ReceivedCall& call) {
    if (call.method == "timestampCorrelator_correlate") {
      return Answer{encodeReply(call.method, [&](TProtocol& p) { writeTimestamp(p, answer); })};
    }
    return Answer{encodeReply(call.method, [](TProtocol& p) { writeBool(p, true); })};
  });
  TestStatus st;
  EXPECT_TRUE(vesksapi_syncDomain_start("/d", 4294967295u, st));
  int32_t error = 99;
  vesksapi_jx_syncDomain_startV2("/d", 2, 0, 2147483648u, &error);
  EXPECT_EQ(error, 0);
  // A negative stamp travels as its flag and its non-negative magnitude.
  const vesklib_Timestamp in{5, 7, 9, true};
  vesklib_Timestamp out = kUntouched;
  vesksapi_timestampCorrelator_correlate("/a", "/b", &in, &out, st);
  EXPECT_EQ(st.code(), 0);
  EXPECT_TRUE(sameTimestamp(out, answer));

  const std::vector<ReceivedCall> calls = daemon.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].method, "syncDomain_start");
  EXPECT_EQ(calls[0].arguments, (std::map<int16_t, std::string>{{1, "/d"}, {2, "-1"}}));
  EXPECT_EQ(calls[1].method, "syncDomain_startV2");
  EXPECT_EQ(calls[1].arguments,
            (std::map<int16_t, std::string>{{1, "/d"}, {2, "true"}, {3, "false"}, {4, "-2147483648"}}));
  EXPECT_EQ(calls[2].arguments,
            (std::map<int16_t, std::string>{{1, "/a"}, {2, "/b"}, {3, "{1:5,2:7,3:9,4:true}"}}));
}

TEST(ClientApi, CreateAndLoadCallsSendTheParameterEnvelope) {
  FakeDaemon daemon(replyingText("{}"));
  TestStatus st;
  vesksapi_loadResources("networkDeviceParams", R"({"remoteHost":"127.0.0.2"})", st);
  vesksapi_unloadResources("networkDeviceParams", R"({"remoteHost":"127.0.0.2"})", st);
  vesksapi_syncDomain_create("syncDomainParams", R"({"name":"d"})", st);
  vesksapi_timestampCorrelator_create("linearCorrelatorParams", R"({"a":1})", st);
  EXPECT_EQ(st.code(), 0);
  const std::vector<ReceivedCall> calls = daemon.calls();
  ASSERT_EQ(calls.size(), 4u);
  const char* const expected[][2] = {
      {"loadResources", R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"127.0.0.2"}})"},
      {"unloadResources", R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"127.0.0.2"}})"},
      {"syncDomain_create", R"({"version":1,"type":"syncDomainParams","params":{"name":"d"}})"},
      {"timestampCorrelator_create", R"({"version":1,"type":"linearCorrelatorParams","params":{"a":1}})"},
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].method, expected[i][0]);
    EXPECT_EQ(calls[i].arguments.at(1), expected[i][1]);
  }
}

struct InfoGetter {
  const char* method;
  void (*get)(char*, size_t, qzerr_Status*);
  const char* sizeKey;
  const char* textKey;
};

const InfoGetter kInfoGetters[] = {
    {"getTimescaleInfo", vesksapi_getTimescaleInfo, "timescaleInfoSize", "timescaleInfo"},
    {"getSyncableDeviceInfo", vesksapi_getSyncableDeviceInfo, "syncableDeviceInfoSize", "syncableDeviceInfo"},
    {"getSyncDomainInfo", vesksapi_getSyncDomainInfo, "syncDomainInfoSize", "syncDomainInfo"},
    {"getTimestampCorrelatorInfo", vesksapi_getTimestampCorrelatorInfo, "timestampCorrelatorInfoSize",
     "timestampCorrelatorInfo"},
};

// A text of n bytes needs n + 1; with fewer the buffer is left all zeros.
TEST(ClientApi, AnInfoTextNeedsRoomForItsTerminator) {
  const std::string text = R"(["/a","/b"])";
  FakeDaemon daemon(replyingText(text));
  for (const InfoGetter& getter : kInfoGetters) {
    for (size_t size : {size_t{0}, text.size() - 1, text.size(), text.size() + 1, text.size() + 5}) {
      std::string buffer(size + 1, 'x');  // one byte more, which no call may touch
      TestStatus st;
      getter.get(&buffer[0], size, st);
      if (size > text.size()) {
        EXPECT_EQ(st.code(), 0) << getter.method << " " << size;
        EXPECT_EQ(buffer, text + std::string(size - text.size(), '\0') + "x") << getter.method;
        continue;
      }
      EXPECT_EQ(st.code(), -52019) << getter.method << " " << size;
      EXPECT_EQ(maskedLine(st.json()),
                apiError("qzkormerr_bufferTooSmall", "\"qzsyncdomain_debug\":{\"infoBufferSize\":" +
                                                         std::to_string(size) + ",\"" + getter.sizeKey + "\":" +
                                                         std::to_string(text.size()) + ",\"" + getter.textKey +
                                                         "\":" + text + "}}"));
      EXPECT_EQ(buffer, std::string(size, '\0') + "x") << getter.method;
    }
  }
  int32_t error = 0;
  std::string buffer(text.size(), 'x');
  vesksapi_jx_getSyncDomainInfo(&buffer[0], buffer.size(), &error);
  EXPECT_EQ(error, -52019);
}

TEST(ClientApi, AnInfoTextThatIsNotJsonIsQuotedInTheDetail) {
  FakeDaemon daemon(replyingText("not \"json\""));
  char buffer[4];
  TestStatus st;
  vesksapi_getTimescaleInfo(buffer, sizeof buffer, st);
  EXPECT_NE(st.json().find(R"("timescaleInfo":"not \"json\""})"), std::string::npos) << st.json();
}

const std::string kUri37 = "/127.0.0.2/veskwebs/timescales/ptp/ab";  // 37 bytes

TEST(ClientApi, TheCurrentTimescaleIsTheFirstOfTheHostsAndNeedsItsTerminator) {
  ASSERT_EQ(kUri37.size(), 37u);
  FakeDaemon daemon(replyingText(R"({"syncableDevices":["/d"],"timescales":[")" + kUri37 + R"(","/other"]})"));
  std::string buffer(39, 'x');
  TestStatus st;
  vesksapi_getCurrentTimescale("127.0.0.2", &buffer[0], 37, st);
  EXPECT_EQ(st.code(), -52019);
  EXPECT_EQ(maskedLine(st.json()),
            apiError("qzkormerr_bufferTooSmall",
                     R"("qzsyncdomain_debug":{"Required timescaleUriBufSize":38,"Actual timescaleUriBufSize":37}})"));
  EXPECT_EQ(buffer, std::string(37, '\0') + "xx");

  TestStatus fits;
  vesksapi_getCurrentTimescale("127.0.0.2", &buffer[0], 38, fits);
  EXPECT_EQ(fits.code(), 0);
  EXPECT_EQ(buffer, kUri37 + std::string(1, '\0') + "x");

  const std::vector<ReceivedCall> calls = daemon.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].method, "loadResources");
  EXPECT_EQ(calls[0].arguments.at(1),
            R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"127.0.0.2"}})");
}

TEST(ClientApi, AnEmptyUriBufferIsRefusedBeforeAnyCall) {
  FakeDaemon daemon(replyingText(R"({"timescales":["/t"]})"));
  char buffer[1] = {'x'};
  for (int createAndAdd = 0; createAndAdd < 2; ++createAndAdd) {
    TestStatus st;
    if (createAndAdd) vesksapi_syncDomain_createAndAddDevices("t", "{}", buffer, 0, st);
    else vesksapi_getCurrentTimescale("h", buffer, 0, st);
    EXPECT_EQ(st.code(), -52019);
    EXPECT_EQ(maskedLine(st.json()),
              apiError("qzkormerr_bufferTooSmall", R"("qzsyncdomain_debug":{"message":"URI Buffer Size should be )"
                                                   R"(greater than 0","timescaleUriBufSize":0}})"));
  }
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(daemon.connections(), 0);
}

TEST(ClientApi, AHostsAnswerWithoutAUsableTimescaleFails) {
  const struct {
    const char* answer;
    int32_t code;
    const char* constant;
  } cases[] = {
      {R"({"syncableDevices":["/d"],"timescales":[]})", -1074100996, "qzsyncdomainerr_noTimescaleAvailable"},
      {R"({"syncableDevices":["/d"]})", -1074100996, "qzsyncdomainerr_noTimescaleAvailable"},
      {R"({"timescales":null})", -1074100996, "qzsyncdomainerr_noTimescaleAvailable"},
      {R"({"timescales":"/t"})", -52004, "jsonErrorsNotAnArray"},
      {R"({"timescales":["/t",3]})", -52004, "jsonErrorsTypeMismatch"},
      {R"({"timescales":)", -52005, "jsonErrorsInvalidJSON"},
  };
  for (const auto& c : cases) {
    FakeDaemon daemon(replyingText(c.answer));
    std::string buffer(8, 'x');
    TestStatus st;
    vesksapi_getCurrentTimescale("host \"1\"", &buffer[0], buffer.size(), st);
    EXPECT_EQ(st.code(), c.code) << c.answer;
    EXPECT_NE(st.json().find(std::string("\"error_constant\":\"") + c.constant + "\""), std::string::npos)
        << st.json();
    EXPECT_EQ(buffer, std::string(8, '\0')) << c.answer;
  }
  FakeDaemon daemon(replyingText(R"({"timescales":[]})"));
  char buffer[8];
  TestStatus st;
  vesksapi_getCurrentTimescale("host \"1\"", buffer, sizeof buffer, st);
  EXPECT_EQ(maskedLine(st.json()),
            apiError("qzsyncdomainerr_noTimescaleAvailable",
                     R"("qzsyncdomain_debug":{"message":"No timescales loaded from specified remoteHost.",)"
                     R"("remoteHost":"host \"1\""}})"));
  // The host is one JSON string inside the parameters.
  EXPECT_EQ(daemon.calls().at(0).arguments.at(1),
            R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"host \"1\""}})");
}

TEST(ClientApi, ADaemonErrorOfALocalCallReachesTheCaller) {
  FakeDaemon daemon(replying([](TProtocol& p) { writeStatus(p, -52006, R"({"where":"daemon"})"); }));
  char buffer[8];
  TestStatus current;
  vesksapi_getCurrentTimescale("h", buffer, sizeof buffer, current);
  EXPECT_EQ(current.code(), -52006);
  EXPECT_EQ(current.json(), R"({"where":"daemon"})");
  TestStatus created;
  vesksapi_syncDomain_createAndAddDevices("t", "{}", buffer, sizeof buffer, created);
  EXPECT_EQ(created.code(), -52006);
  EXPECT_EQ(created.json(), R"({"where":"daemon"})");
  int32_t error = 0;
  vesksapi_jx_syncDomain_createAndAddDevices("t", "{}", &error);
  EXPECT_EQ(error, -52006);
}

TEST(ClientApi, CreateAndAddDevicesReturnsTheTimescaleOnlyIntoABuffer) {
  FakeDaemon daemon(replyingText(kUri37));
  TestStatus withoutBuffer;
  vesksapi_syncDomain_createAndAddDevices("syncDomainCreateAndAddRemoteDevicesParams", "{}", nullptr, 0,
                                          withoutBuffer);
  EXPECT_EQ(withoutBuffer.code(), 0);

  std::string buffer(37, 'x');
  TestStatus small;
  vesksapi_syncDomain_createAndAddDevices("t", "{}", &buffer[0], buffer.size(), small);
  EXPECT_EQ(small.code(), -52019);
  EXPECT_EQ(buffer, std::string(37, '\0'));

  buffer.assign(40, 'x');
  TestStatus fits;
  vesksapi_syncDomain_createAndAddDevices("t", "{}", &buffer[0], buffer.size(), fits);
  EXPECT_EQ(fits.code(), 0);
  EXPECT_EQ(buffer, kUri37 + std::string(3, '\0'));

  int32_t error = 99;
  vesksapi_jx_syncDomain_createAndAddDevices("t", "{}", &error);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(daemon.calls().size(), 4u);
  EXPECT_EQ(daemon.calls()[0].arguments.at(1),
            R"({"version":1,"type":"syncDomainCreateAndAddRemoteDevicesParams","params":{}})");
}

// Every function that takes a status, called with pointer arguments that are
// present or not, and buffers of 8 bytes.
struct Export {
  const char* name;
  std::function<void(qzerr_Status*, bool present, char* buffer, vesklib_Timestamp* timestamp)> call;
  const char* firstArgument;  // named when everything is missing
};

const char* given(bool present, const char* text) { return present ? text : nullptr; }

const std::vector<Export>& exports() {
  using T = vesklib_Timestamp;
  static const std::vector<Export> all = {
      {"timescale_getTime",
       [](qzerr_Status* s, bool p, char*, T* t) { vesksapi_timescale_getTime(given(p, "/t"), p ? t : nullptr, s); },
       "timescaleUri"},
      {"timestampCorrelator_delete",
       [](qzerr_Status* s, bool p, char*, T*) {
         vesksapi_timestampCorrelator_delete(given(p, "/a"), given(p, "/b"), s);
       },
       "timescaleUri1"},
      {"timestampCorrelator_correlate",
       [](qzerr_Status* s, bool p, char*, T* t) {
         vesksapi_timestampCorrelator_correlate(given(p, "/a"), given(p, "/b"), p ? t : nullptr, p ? t : nullptr, s);
       },
       "sourceTimescaleUri"},
      {"syncDomain_start", [](qzerr_Status* s, bool p, char*, T*) { vesksapi_syncDomain_start(given(p, "/d"), 1, s); },
       "syncDomainUri"},
      {"syncDomain_startV2",
       [](qzerr_Status* s, bool p, char*, T*) { vesksapi_syncDomain_startV2(given(p, "/d"), true, true, 1, s); },
       "syncDomainUri"},
      {"syncDomain_stop", [](qzerr_Status* s, bool p, char*, T*) { vesksapi_syncDomain_stop(given(p, "/d"), s); },
       "syncDomainUri"},
      {"syncDomain_delete", [](qzerr_Status* s, bool p, char*, T*) { vesksapi_syncDomain_delete(given(p, "/d"), s); },
       "syncDomainUri"},
      {"syncDomain_addSyncableDevice",
       [](qzerr_Status* s, bool p, char*, T*) {
         vesksapi_syncDomain_addSyncableDevice(given(p, "/d"), given(p, "/v"), s);
       },
       "syncDomainUri"},
      {"syncDomain_isCoherent",
       [](qzerr_Status* s, bool p, char*, T*) { vesksapi_syncDomain_isCoherent(given(p, "/d"), s); },
       "syncDomainUri"},
      {"syncDomain_isCoherentSinceLastChecked",
       [](qzerr_Status* s, bool p, char*, T*) { vesksapi_syncDomain_isCoherentSinceLastChecked(given(p, "/d"), s); },
       "syncDomainUri"},
      {"getTimescaleInfo",
       [](qzerr_Status* s, bool p, char* b, T*) { vesksapi_getTimescaleInfo(p ? b : nullptr, 8, s); }, "infoBuffer"},
      {"getSyncableDeviceInfo",
       [](qzerr_Status* s, bool p, char* b, T*) { vesksapi_getSyncableDeviceInfo(p ? b : nullptr, 8, s); },
       "infoBuffer"},
      {"getSyncDomainInfo",
       [](qzerr_Status* s, bool p, char* b, T*) { vesksapi_getSyncDomainInfo(p ? b : nullptr, 8, s); }, "infoBuffer"},
      {"getTimestampCorrelatorInfo",
       [](qzerr_Status* s, bool p, char* b, T*) { vesksapi_getTimestampCorrelatorInfo(p ? b : nullptr, 8, s); },
       "infoBuffer"},
      {"loadResources",
       [](qzerr_Status* s, bool p, char*, T*) { vesksapi_loadResources(given(p, "t"), given(p, "{}"), s); }, "type"},
      {"unloadResources",
       [](qzerr_Status* s, bool p, char*, T*) { vesksapi_unloadResources(given(p, "t"), given(p, "{}"), s); },
       "type"},
      {"getCurrentTimescale",
       [](qzerr_Status* s, bool p, char* b, T*) { vesksapi_getCurrentTimescale(given(p, "h"), p ? b : nullptr, 8, s); },
       "remoteHost"},
      {"timestampCorrelator_create",
       [](qzerr_Status* s, bool p, char*, T*) {
         vesksapi_timestampCorrelator_create(given(p, "t"), given(p, "{}"), s);
       },
       "type"},
      {"syncDomain_create",
       [](qzerr_Status* s, bool p, char*, T*) { vesksapi_syncDomain_create(given(p, "t"), given(p, "{}"), s); },
       "type"},
      {"syncDomain_createAndAddDevices",
       [](qzerr_Status* s, bool p, char* b, T*) {
         vesksapi_syncDomain_createAndAddDevices(given(p, "t"), given(p, "{}"), b, 8, s);
       },
       "type"},
  };
  return all;
}

TEST(ClientApi, AnIncomingErrorChangesNoByteAndReachesNoDaemon) {
  FakeDaemon daemon(replyingText("{}"));
  for (const Export& e : exports()) {
    TestStatus st;
    QZERR_STATUS_ERROR(st.get(), qzerr::kOsFault).channel("qzsyncdomain_debug", "earlier");
    const std::string before = st.json();
    char buffer[8];
    std::memset(buffer, 0x5a, sizeof buffer);
    vesklib_Timestamp timestamp = kUntouched;
    e.call(st, true, buffer, &timestamp);
    EXPECT_EQ(st.code(), -52008) << e.name;
    EXPECT_EQ(st.json(), before) << e.name;
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(8, '\x5a')) << e.name;
    EXPECT_TRUE(sameTimestamp(timestamp, kUntouched)) << e.name;
  }
  EXPECT_EQ(daemon.connections(), 0);
}

TEST(ClientApi, TheFirstMissingArgumentIsNamedAndNoDaemonIsAsked) {
  FakeDaemon daemon(replyingText("{}"));
  for (const Export& e : exports()) {
    TestStatus st;
    e.call(st, false, nullptr, nullptr);
    EXPECT_EQ(st.code(), -52005) << e.name;
    EXPECT_EQ(maskedLine(st.json()),
              apiError("qzkormerr_invalidParameter",
                       R"("qzsyncdomain_debug":{"message":"Encountered missing parameter needed for task )"
                       R"(completion.",")" + std::string(e.firstArgument) + R"(":"nullptr"}})"))
        << e.name;
  }
  // Later arguments are checked in their order.
  TestStatus st;
  vesklib_Timestamp in{};
  vesksapi_timestampCorrelator_correlate("/a", "/b", &in, nullptr, st);
  EXPECT_NE(st.json().find(R"("correlatedTimestamp":"nullptr")"), std::string::npos) << st.json();
  int32_t error = 0;
  EXPECT_EQ(vesksapi_jx_syncDomain_isCoherent(nullptr, &error), 0);
  EXPECT_EQ(error, -52005);
  EXPECT_EQ(daemon.connections(), 0);
}

TEST(ClientApi, ErrorCodeOnlyVariantsHandBackTheCodeAlone) {
  FakeDaemon daemon(replying([](TProtocol& p) { writeBool(p, true); }));
  int32_t error = 99;
  EXPECT_EQ(vesksapi_jx_syncDomain_start("/d", 1, &error), 1);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(vesksapi_jx_syncDomain_isCoherent("/d", nullptr), 1);
  EXPECT_EQ(vesksapi_jx_syncDomain_isCoherentSinceLastChecked("/d", &error), 1);
  vesksapi_jx_syncDomain_stop("/d", &error);
  vesksapi_jx_syncDomain_delete("/d", nullptr);
  EXPECT_EQ(daemon.calls().size(), 5u);
}

TEST(ClientApi, TheApiVersionIsFixed) { EXPECT_EQ(vesksapi_getApiVersion(), 2380); }

TEST(ClientApi, TimestampsCompareByTheirValue) {
  const vesklib_Timestamp zero{0, 0, 0, false};
  const vesklib_Timestamp negativeZero{0, 0, 0, true};
  const vesklib_Timestamp oneSecond{1, 0, 0, false};
  const vesklib_Timestamp oneSecondOneNano{1, 1, 0, false};
  const vesklib_Timestamp oneSecondAndAFraction{1, 0, 1, false};
  const vesklib_Timestamp minusThree{3, 0, 0, true};
  const vesklib_Timestamp minusFive{5, 0, 0, true};
  const vesklib_Timestamp minusFiveAndANano{5, 1, 0, true};
  const vesklib_Timestamp huge{-1, 0, 0, false};  // seconds compare unsigned
  const struct {
    const vesklib_Timestamp* lhs;
    const vesklib_Timestamp* rhs;
    int32_t order;
  } cases[] = {
      {nullptr, nullptr, -1},
      {nullptr, &zero, -1},
      {&zero, nullptr, 1},
      {&negativeZero, &zero, -1},
      {&zero, &negativeZero, 1},
      {&oneSecond, &oneSecondOneNano, -1},
      {&oneSecondOneNano, &oneSecond, 1},
      {&oneSecond, &oneSecondAndAFraction, -1},
      {&oneSecond, &oneSecond, 0},
      {&huge, &oneSecond, 1},
      {&minusFive, &zero, -1},
      {&minusFive, &minusThree, -1},
      {&minusThree, &minusFive, 1},
      {&minusFiveAndANano, &minusFive, -1},
      {&minusFive, &minusFive, 0},
      {&negativeZero, &negativeZero, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vesksapi_timestamp_compare(c.lhs, c.rhs), c.order)
        << (c.lhs ? c.lhs->seconds : -99) << " vs " << (c.rhs ? c.rhs->seconds : -99);
  }
}

}  // namespace
