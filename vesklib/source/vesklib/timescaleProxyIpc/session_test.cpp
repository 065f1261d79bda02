#include "vesklib/timescaleProxyIpc/session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include "qzsdbg/debugLines.h"
#include "thriftQzerr_types.h"
#include "vesklib/testing/anyLine.h"
#include "vesklib/testing/caughtError.h"

namespace vesklib {
namespace {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TTransportException;
using ::testing::_;
using ::testing::DoAll;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::Throw;
using testing::anyLine;
using testing::caughtError;

constexpr char kUri[] = "/10.0.0.9/veskwebs/timescales/pendulo/tr1/gm1";
constexpr char kLocalUri[] = "/veskwebs/timescales/pendulo/tr1/gm1";
constexpr vesklib_Timestamp kReading{1700000000, 123456789, 5, false};
constexpr vesklib_Timestamp kUntouched{-1, -1, -1, true};
constexpr char kVersionMessage[] =
    "Encountered error getting server API version from qztimestampd on remote target.";
constexpr char kTimeMessage[] = "Encountered error getting time from qztimestampd on remote target.";

auto fields(const vesklib_Timestamp& t) { return std::make_tuple(t.seconds, t.nanos, t.fractionalNanos, t.isNegative); }

class MockClient : public TimescaleProxyThriftClientInterface {
 public:
  MOCK_METHOD(bool, isOpen, (), (override));
  MOCK_METHOD(void, open, (), (override));
  MOCK_METHOD(void, close, (), (override));
  MOCK_METHOD(void, getTime, (vesklib_Timestamp*, std::string*), (override));
  MOCK_METHOD(int32_t, getApiVersion, (), (override));
  MOCK_METHOD(void, getTimeAndCurrentTimescales, (vesklib_Timestamp*, std::vector<std::string>*), (override));
};

std::string communicationsFault(const std::string& what, const std::string& debug) {
  return R"({"error_constant":"qzkormerr_communicationsFault","file":"session","line":0,"component":"vesklib",)"
         R"("std_exception_what":")" + what + R"(","qzsyncdomain_debug":)" + debug + "}";
}

std::string transportDebug(int kind, const std::string& name, const std::string& message) {
  return R"({"type_code":)" + std::to_string(kind) + R"(,"type":"TTransportException::)" + name +
         R"(","message":")" + message + R"(","timescaleUri":")" + kUri + R"("})";
}

// Opening is free to happen at any time; every close is counted.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest() { EXPECT_CALL(*client_, open()).Times(::testing::AnyNumber()); }

  // A session whose daemon answered `version`.
  std::unique_ptr<TimescaleProxySession> sessionOfVersion(int32_t version) {
    EXPECT_CALL(*client_, getApiVersion()).WillOnce(Return(version));
    return std::make_unique<TimescaleProxySession>(client_, kUri);
  }

  std::shared_ptr<MockClient> client_ = std::make_shared<MockClient>();
};

TEST_F(SessionTest, RetriesOnlyConnectionsThatFailedOrEndedAndReportsTheKind) {
  struct {
    int kind;
    const char* name;
    int attempts;
  } const cases[] = {
      {0, "UNKNOWN", 5},     {1, "NOT_OPEN", 5},       {2, "TIMED_OUT", 1},      {3, "END_OF_FILE", 5},
      {4, "INTERRUPTED", 1}, {5, "BAD_ARGS", 1},       {6, "CORRUPTED_DATA", 1}, {7, "INTERNAL_ERROR", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto client = std::make_shared<MockClient>();
    const TTransportException failure(static_cast<TTransportException::TTransportExceptionType>(c.kind), "gone");
    EXPECT_CALL(*client, open()).Times(c.attempts);
    EXPECT_CALL(*client, getApiVersion()).Times(c.attempts).WillRepeatedly(Throw(failure));
    // Before each new attempt, and once after the last.
    EXPECT_CALL(*client, close()).Times(c.attempts);

    const auto error = caughtError([&] { TimescaleProxySession session(client, kUri); });

    EXPECT_EQ(error.code, -52024);
    EXPECT_EQ(anyLine(error.detail), communicationsFault("gone", transportDebug(c.kind, c.name, kVersionMessage)));
  }
}

TEST_F(SessionTest, AVersionThatIsNotPositiveIsReportedAndReadLikeALaterOne) {
  static std::string written;
  written.clear();
  const qzsdbg_OutputHook saved = qzsdbg_outputHook;
  qzsdbg_outputHook = [](const char* text) { written += text; };
  auto session = sessionOfVersion(0);
  qzsdbg_outputHook = saved;

  EXPECT_THAT(written, ::testing::StartsWith("[vesklib|"));
  EXPECT_THAT(written, ::testing::HasSubstr("!!ASSERT!!\n"));
  EXPECT_THAT(written, ::testing::HasSubstr("] ASSERT(serverApiVersion > 0)\n"));

  EXPECT_CALL(*client_, getTimeAndCurrentTimescales(_, _))
      .WillOnce(DoAll(SetArgPointee<0>(kReading), SetArgPointee<1>(std::vector<std::string>{kLocalUri})));
  EXPECT_CALL(*client_, close());
  vesklib_Timestamp timestamp = kUntouched;
  session->getTime(&timestamp);
  EXPECT_EQ(fields(timestamp), fields(kReading));
}

TEST_F(SessionTest, ADaemonWithoutTheVersionRequestIsOfTheFirstVersion) {
  InSequence order;
  EXPECT_CALL(*client_, getApiVersion())
      .WillOnce(Throw(TApplicationException(TApplicationException::UNKNOWN_METHOD, "Invalid method name")));
  EXPECT_CALL(*client_, getTime(_, _)).WillOnce(DoAll(SetArgPointee<0>(kReading), SetArgPointee<1>(kLocalUri)));
  EXPECT_CALL(*client_, close());  // only at the end: the connection stays for the time request

  TimescaleProxySession session(client_, kUri);
  vesklib_Timestamp timestamp = kUntouched;
  session.getTime(&timestamp);
  EXPECT_EQ(fields(timestamp), fields(kReading));
}

TEST_F(SessionTest, AUriThatDoesNotSplitIntoSixPartsContactsNoDaemon) {
  auto client = std::make_shared<::testing::StrictMock<MockClient>>();
  for (const char* uri : {"/10.0.0.9/veskwebs/timescales/pendulo/tr1", "/a/b/c/d/e/f/g", "/a//c/d/e/f", ""}) {
    SCOPED_TRACE(uri);
    const auto error = caughtError([&] { TimescaleProxySession session(client, uri); });
    EXPECT_EQ(error.code, -52005);
    EXPECT_THAT(error.detail, ::testing::HasSubstr("Failed to parse URI"));
  }
}

TEST_F(SessionTest, ReconnectsAtOnceAfterTheDaemonEndedTheConnection) {
  auto session = sessionOfVersion(1);
  const TTransportException ended(TTransportException::END_OF_FILE, "No more data to read.");
  {
    InSequence order;
    EXPECT_CALL(*client_, getTime(_, _)).WillOnce(Throw(ended));
    EXPECT_CALL(*client_, close());
    EXPECT_CALL(*client_, getTime(_, _)).WillOnce(Throw(ended));
    EXPECT_CALL(*client_, close());
    EXPECT_CALL(*client_, getTime(_, _)).WillOnce(DoAll(SetArgPointee<0>(kReading), SetArgPointee<1>(kLocalUri)));
    EXPECT_CALL(*client_, close());  // the session's end
  }
  vesklib_Timestamp timestamp = kUntouched;
  session->getTime(&timestamp);
  EXPECT_EQ(fields(timestamp), fields(kReading));
}

TEST_F(SessionTest, ADaemonErrorThatIsNoErrorStillFailsTheRequest) {
  for (int32_t code : {0, 52006}) {
    SCOPED_TRACE(code);
    auto session = sessionOfVersion(1);
    thriftQzerr::thrift_qzerr daemonError;
    daemonError.__set_code(code);
    daemonError.__set_json(R"({"w":"a\"b"})");
    EXPECT_CALL(*client_, getTime(_, _)).WillOnce(Throw(daemonError));
    EXPECT_CALL(*client_, close()).Times(2);

    vesklib_Timestamp timestamp = kUntouched;
    const auto error = caughtError([&] { session->getTime(&timestamp); });

    EXPECT_EQ(error.code, -52024);
    EXPECT_EQ(anyLine(error.detail),
              std::string(R"({"error_constant":"qzkormerr_communicationsFault","file":"session","line":0,)"
                          R"("component":"vesklib","qzsyncdomain_debug":{"message":")") +
                  kTimeMessage + R"(","timescaleUri":")" + kUri + R"(","receivedCode":)" + std::to_string(code) +
                  R"(,"receivedJson":"{\"w\":\"a\\\"b\"}"}})");
    EXPECT_EQ(fields(timestamp), fields(kUntouched));
  }
}

TEST_F(SessionTest, OtherThriftFailuresCloseTheConnectionAndAreNotRetried) {
  struct {
    const char* name;
    std::function<void()> fail;
    const char* what;
  } const cases[] = {
      {"missing result",
       [] { throw TApplicationException(TApplicationException::MISSING_RESULT, "getTime failed: unknown result"); },
       "getTime failed: unknown result"},
      {"protocol", [] { throw TProtocolException(TProtocolException::DEPTH_LIMIT); },
       "TProtocolException: Exceeded depth limit"},
      {"time-out", [] { throw TTransportException(TTransportException::TIMED_OUT, "EAGAIN (timed out)"); },
       "EAGAIN (timed out)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto session = sessionOfVersion(1);
    EXPECT_CALL(*client_, getTime(_, _)).WillOnce([&](vesklib_Timestamp*, std::string*) { c.fail(); });
    EXPECT_CALL(*client_, close()).Times(2);

    const auto error = caughtError([&] {
      vesklib_Timestamp timestamp;
      session->getTime(&timestamp);
    });

    EXPECT_EQ(error.code, -52024);
    EXPECT_THAT(error.detail, ::testing::HasSubstr(std::string(R"("std_exception_what":")") + c.what + "\""));
    EXPECT_THAT(error.detail, ::testing::HasSubstr(kTimeMessage));
  }
}

// The list of current timescales is written into the detail as a JSON array.
TEST_F(SessionTest, ReportsTheDaemonsCurrentTimescalesWhenThisOneIsMissing) {
  const std::string head = R"({"error_constant":"qzkormerr_resourceRemoved","file":"session","line":0,)"
                           R"("component":"vesklib","qzsyncdomain_debug":{"message":"Timestamp received from )"
                           R"(remote target is on a different timescale than expected.","thisTimescaleUri":")" +
                           std::string(kUri) + R"(","expectedLocalUri":")" + kLocalUri + R"(",)";
  struct {
    std::vector<std::string> current;
    const char* written;
  } const lists[] = {
      {{}, "[]"},
      {{"/veskwebs/timescales/pendulo/tr1/gm2", R"(/q"uote)"}, R"(["/veskwebs/timescales/pendulo/tr1/gm2","/q\"uote"])"},
  };
  for (const auto& list : lists) {
    SCOPED_TRACE(list.written);
    auto session = sessionOfVersion(2);
    EXPECT_CALL(*client_, getTimeAndCurrentTimescales(_, _))
        .WillOnce(DoAll(SetArgPointee<0>(kReading), SetArgPointee<1>(list.current)));
    EXPECT_CALL(*client_, close()).Times(2);
    vesklib_Timestamp timestamp = kUntouched;
    const auto error = caughtError([&] { session->getTime(&timestamp); });
    EXPECT_EQ(error.code, -52020);
    EXPECT_EQ(anyLine(error.detail), head + R"("currentTimescaleUris":)" + list.written + "}}");
    EXPECT_EQ(fields(timestamp), fields(kReading));
  }
}

}  // namespace
}  // namespace vesklib
