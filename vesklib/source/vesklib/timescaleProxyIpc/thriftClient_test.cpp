#include "vesklib/timescaleProxyIpc/thriftClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include "vesklib/testing/rawThriftResponder.h"
#include "vesklib/testing/timestampDaemonStub.h"

namespace vesklib {
namespace {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TTransportException;
using testing::RawThriftResponder;
using testing::TimestampDaemonBehaviour;
using testing::TimestampDaemonStub;

constexpr char kHost[] = "127.0.0.2";
constexpr int kPort = 9123;
constexpr vesklib_Timestamp kUntouched{-1, -1, -1, true};

auto fields(const vesklib_Timestamp& t) { return std::make_tuple(t.seconds, t.nanos, t.fractionalNanos, t.isNegative); }

TimestampDaemonBehaviour daemon(std::optional<int32_t> apiVersion) {
  TimestampDaemonBehaviour behaviour;
  behaviour.apiVersion = apiVersion;
  behaviour.readUri = "/veskwebs/timescales/pendulo/tr1/gm1";
  behaviour.timescaleUris = {"/a", "/b"};
  behaviour.clock = [] { return testing::wireTimestamp(-4000000000, 999999999, 7, true); };
  return behaviour;
}

template <typename Call>
TTransportException::TTransportExceptionType transportFailureOf(Call call) {
  try {
    call();
  } catch (const TTransportException& error) {
    return error.getType();
  }
  ADD_FAILURE() << "no transport exception";
  return TTransportException::UNKNOWN;
}

TEST(ThriftClient, AsksTheDaemonOverOneConnection) {
  TimestampDaemonStub stub(kHost, kPort, daemon(3));
  TimescaleProxyThriftClient client(kHost, kPort);
  EXPECT_FALSE(client.isOpen());
  client.open();
  client.open();
  EXPECT_TRUE(client.isOpen());

  EXPECT_EQ(client.getApiVersion(), 3);
  vesklib_Timestamp timestamp = kUntouched;
  std::string uri = "before";
  client.getTime(&timestamp, &uri);
  EXPECT_EQ(fields(timestamp), std::make_tuple(-4000000000, 999999999, 7, true));
  EXPECT_EQ(uri, "/veskwebs/timescales/pendulo/tr1/gm1");
  std::vector<std::string> current = {"/stale", "/stale", "/stale"};
  timestamp = kUntouched;
  client.getTimeAndCurrentTimescales(&timestamp, &current);
  EXPECT_EQ(fields(timestamp), std::make_tuple(-4000000000, 999999999, 7, true));
  EXPECT_EQ(current, (std::vector<std::string>{"/a", "/b"}));

  const auto counts = stub.counts();
  EXPECT_EQ(counts.connections, 1);
  EXPECT_EQ(counts.getTime, 1);
  EXPECT_EQ(counts.lastGetTimeId, 0);
  EXPECT_EQ(counts.getTimeAndCurrentTimescales, 1);

  client.close();
  EXPECT_FALSE(client.isOpen());
  client.open();
  EXPECT_EQ(client.getApiVersion(), 3);
  EXPECT_EQ(stub.counts().connections, 2);
}

TEST(ThriftClient, ADaemonWithoutTheVersionRequestAnswersUnknownMethod) {
  TimestampDaemonStub stub(kHost, kPort, daemon(std::nullopt));
  TimescaleProxyThriftClient client(kHost, kPort);
  client.open();
  try {
    client.getApiVersion();
    ADD_FAILURE() << "answered a version";
  } catch (const TApplicationException& error) {
    EXPECT_EQ(error.getType(), TApplicationException::UNKNOWN_METHOD);
  }
  // The connection is still in step: the next request is answered.
  std::string uri;
  vesklib_Timestamp timestamp = kUntouched;
  client.getTime(&timestamp, &uri);
  EXPECT_EQ(timestamp.nanos, 999999999);
}

// A reply whose result structure `writeFields` fills.
std::string reply(const std::string& method, const std::function<void(TProtocol&)>& writeFields) {
  return testing::encodeThriftMessage(method, apache::thrift::protocol::T_REPLY, [&](TProtocol& protocol) {
    protocol.writeStructBegin("result");
    writeFields(protocol);
    protocol.writeFieldStop();
    protocol.writeStructEnd();
  });
}

void writeReading(TProtocol& protocol, const std::function<void(TProtocol&)>& writeFields) {
  protocol.writeFieldBegin("success", apache::thrift::protocol::T_STRUCT, 0);
  protocol.writeStructBegin("TimestampInfo");
  writeFields(protocol);
  protocol.writeFieldStop();
  protocol.writeStructEnd();
  protocol.writeFieldEnd();
}

void writeI64(TProtocol& protocol, int16_t id, int64_t value) {
  protocol.writeFieldBegin("", apache::thrift::protocol::T_I64, id);
  protocol.writeI64(value);
  protocol.writeFieldEnd();
}

void writeI32(TProtocol& protocol, int16_t id, int32_t value) {
  protocol.writeFieldBegin("", apache::thrift::protocol::T_I32, id);
  protocol.writeI32(value);
  protocol.writeFieldEnd();
}

void writeString(TProtocol& protocol, int16_t id, const std::string& value) {
  protocol.writeFieldBegin("", apache::thrift::protocol::T_STRING, id);
  protocol.writeString(value);
  protocol.writeFieldEnd();
}

void writeDaemonError(TProtocol& protocol) {
  protocol.writeFieldBegin("err", apache::thrift::protocol::T_STRUCT, 1);
  protocol.writeStructBegin("thrift_qzerr");
  writeI32(protocol, 1, -52006);
  protocol.writeFieldStop();
  protocol.writeStructEnd();
  protocol.writeFieldEnd();
}

TEST(ThriftClient, AResultWithoutItsFieldIsAMissingResult) {
  struct {
    const char* method;
    std::function<void(TProtocol&)> writeFields;
    std::function<void(TimescaleProxyThriftClient&)> call;
    const char* message;
  } const cases[] = {
      {"getApiVersion", [](TProtocol&) {}, [](TimescaleProxyThriftClient& c) { c.getApiVersion(); },
       "getApiVersion failed: unknown result"},
      {"getApiVersion", [](TProtocol& p) { writeString(p, 0, "2"); },
       [](TimescaleProxyThriftClient& c) { c.getApiVersion(); }, "getApiVersion failed: unknown result"},
      {"getTime", [](TProtocol&) {},
       [](TimescaleProxyThriftClient& c) {
         vesklib_Timestamp t;
         std::string uri;
         c.getTime(&t, &uri);
       },
       "getTime failed: unknown result"},
      {"getTimeAndCurrentTimescales", [](TProtocol& p) { writeI32(p, 0, 1); },
       [](TimescaleProxyThriftClient& c) {
         vesklib_Timestamp t;
         std::vector<std::string> uris;
         c.getTimeAndCurrentTimescales(&t, &uris);
       },
       "getTimeAndCurrentTimescales failed: unknown result"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    RawThriftResponder responder(kHost, kPort, [&](const std::string& method) {
      EXPECT_EQ(method, c.method);
      return RawThriftResponder::Answer{reply(c.method, c.writeFields)};
    });
    TimescaleProxyThriftClient client(kHost, kPort);
    client.open();
    try {
      c.call(client);
      ADD_FAILURE() << "answered";
    } catch (const TApplicationException& error) {
      EXPECT_EQ(error.getType(), TApplicationException::MISSING_RESULT);
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

TEST(ThriftClient, ReadsWhatItKnowsOfAReadingAndSkipsTheRest) {
  struct {
    const char* name;
    std::function<void(TProtocol&)> writeReadingFields;
    bool withDaemonError;
    vesklib_Timestamp expected;
    const char* uri;
  } const cases[] = {
      {"seconds as i32 are skipped",
       [](TProtocol& p) {
         writeI32(p, 1, 55);
         writeI32(p, 2, 6);
         writeString(p, 5, "/u");
       },
       false, {0, 6, 0, false}, "/u"},
      {"no uri", [](TProtocol& p) { writeI64(p, 1, 9); }, false, {9, 0, 0, false}, ""},
      {"unknown fields", [](TProtocol& p) {
         writeString(p, 9, "x");
         writeI64(p, 1, 8);
       },
       false, {8, 0, 0, false}, ""},
      {"the result wins over an error", [](TProtocol& p) { writeI64(p, 1, 3); }, true, {3, 0, 0, false}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawThriftResponder responder(kHost, kPort, [&](const std::string&) {
      return RawThriftResponder::Answer{reply("getTime", [&](TProtocol& p) {
        writeReading(p, c.writeReadingFields);
        if (c.withDaemonError) writeDaemonError(p);
      })};
    });
    TimescaleProxyThriftClient client(kHost, kPort);
    client.open();
    vesklib_Timestamp timestamp = kUntouched;
    std::string uri = "before";
    client.getTime(&timestamp, &uri);
    EXPECT_EQ(fields(timestamp), fields(c.expected));
    EXPECT_EQ(uri, c.uri);
  }
}

// The first answer fails to parse at its first word and has a whole reply
// behind it; after close() that reply is gone, and the next connection's is read.
TEST(ThriftClient, ClosingDropsWhatTheConnectionLeftUnread) {
  const auto readingOf = [](int64_t seconds) {
    return reply("getTime", [&](TProtocol& p) { writeReading(p, [&](TProtocol& r) { writeI64(r, 1, seconds); }); });
  };
  int answers = 0;
  RawThriftResponder responder(kHost, kPort, [&](const std::string&) {
    const std::string badVersion("\x80\x02\x00\x02", 4);
    return RawThriftResponder::Answer{++answers == 1 ? badVersion + readingOf(666) : readingOf(42)};
  });
  TimescaleProxyThriftClient client(kHost, kPort);
  vesklib_Timestamp timestamp = kUntouched;
  std::string uri;
  client.open();
  EXPECT_THROW(client.getTime(&timestamp, &uri), TProtocolException);
  client.close();
  client.open();
  client.getTime(&timestamp, &uri);
  EXPECT_EQ(timestamp.seconds, 42);
  EXPECT_EQ(responder.connections(), 2);
}

// Type bytes that are no Thrift type are refused before they are stored in
// Thrift's enums (undefined behaviour there).
TEST(ThriftClient, TypeBytesThatAreNoThriftTypeAreRefused) {
  const auto rawByte = [](TProtocol& p, int8_t type) { p.writeByte(type); };
  const std::string answers[] = {
      std::string("\x80\x01\x00\x09", 4) + std::string("\0\0\0\x07getTime\0\0\0\0\0", 16),
      reply("getTime", [&](TProtocol& p) { rawByte(p, -56), p.writeI16(0); }),
      reply("getTime", [&](TProtocol& p) { writeReading(p, [&](TProtocol& r) { rawByte(r, 5), r.writeI16(1); }); }),
      reply("getTime", [&](TProtocol& p) {
        p.writeFieldBegin("", apache::thrift::protocol::T_LIST, 9);
        rawByte(p, 99), p.writeI32(1);
      }),
  };
  for (const std::string& answer : answers) {
    RawThriftResponder responder(kHost, kPort, [&](const std::string&) { return RawThriftResponder::Answer{answer}; });
    TimescaleProxyThriftClient client(kHost, kPort);
    vesklib_Timestamp timestamp = kUntouched;
    std::string uri;
    client.open();
    try {
      client.getTime(&timestamp, &uri);
      ADD_FAILURE() << "answered";
    } catch (const TProtocolException& error) {
      EXPECT_EQ(error.getType(), TProtocolException::INVALID_DATA) << error.what();
    }
    EXPECT_EQ(fields(timestamp), fields(kUntouched));
  }
}

// A listener whose queue of unaccepted connections is full: the kernel drops
// every further connection request, as a host that drops packets does.
class FullListener {
 public:
  FullListener(const char* host, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host, &address.sin_addr);
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listener_, 0), 0);
    filler_ = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~FullListener() {
    close(filler_);
    close(listener_);
  }

 private:
  int listener_;
  int filler_;
};

TEST(ThriftClient, GivesUpConnectingAfterFiveSeconds) {
  FullListener listener(kHost, kPort);
  TimescaleProxyThriftClient client(kHost, kPort);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(transportFailureOf([&] { client.open(); }), TTransportException::NOT_OPEN);
  const auto waited = std::chrono::steady_clock::now() - start;
  // The system's own connect would go on retrying for about two minutes.
  EXPECT_GE(waited, std::chrono::milliseconds(4900));
  EXPECT_LT(waited, std::chrono::seconds(20));
}

TEST(ThriftClient, APortOutsideTheRangeIsABadArgument) {
  TimescaleProxyThriftClient client(kHost, 65536);
  EXPECT_EQ(transportFailureOf([&] { client.open(); }), TTransportException::BAD_ARGS);
}

}  // namespace
}  // namespace vesklib
