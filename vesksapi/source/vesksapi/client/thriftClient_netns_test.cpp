#include "vesksapi/client/thriftClient.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <thrift/transport/TTransportException.h>

#include "testing/testStatus.h"
#include "vesksapi/client/sessionProxy.h"
#include "vesksapi/client/testing/fakeDaemon.h"

namespace vesksapi {
namespace {

using apache::thrift::protocol::TProtocol;
using apache::thrift::transport::TTransportException;
using testing::Answer;
using testing::encodeReply;
using testing::FakeDaemon;
using testing::ReceivedCall;
using vesk::testing::TestStatus;

TEST(ThriftClient, WithoutADaemonOpenFailsAsNotOpenAndCloseIsHarmless) {
  ThriftClient client;
  try {
    client.open();
    ADD_FAILURE() << "connected";
  } catch (const TTransportException& e) {
    EXPECT_EQ(e.getType(), TTransportException::NOT_OPEN);
  }
  client.close();
}

// A connect that found no daemon leaves no socket behind, so the very next
// open connects to the daemon started since and its call is answered.
TEST(ThriftClient, AfterAFailedOpenTheNextOpenConnectsAfresh) {
  ThriftClient client;
  EXPECT_THROW(client.open(), TTransportException);
  FakeDaemon daemon([](const ReceivedCall& call) {
    return Answer{encodeReply(call.method, [](TProtocol& p) {
      p.writeFieldBegin("success", apache::thrift::protocol::T_BOOL, 0);
      p.writeBool(true);
      p.writeFieldEnd();
    })};
  });
  client.open();
  EXPECT_TRUE(client.syncDomain_isCoherent("/d"));
  client.close();
  EXPECT_EQ(daemon.connections(), 1);
}

TEST(ThriftClient, EachCallIsOneRequestAndOneReply) {
  FakeDaemon daemon([](const ReceivedCall& call) {
    return Answer{encodeReply(call.method, [](TProtocol& p) {
      p.writeFieldBegin("success", apache::thrift::protocol::T_STRING, 0);
      p.writeString("[\"/a\"]");
      p.writeFieldEnd();
    })};
  });
  ThriftClient client;
  for (int i = 0; i < 2; ++i) {
    client.open();
    std::string info;
    client.getSyncDomainInfo(info);
    EXPECT_EQ(info, "[\"/a\"]");
    client.close();
  }
  EXPECT_EQ(daemon.connections(), 2);
  ASSERT_EQ(daemon.calls().size(), 2u);
  EXPECT_EQ(daemon.calls()[0].method, "getSyncDomainInfo");
  EXPECT_TRUE(daemon.calls()[0].arguments.empty());
}

// A text result cut short in the middle: the caller's text is not touched.
TEST(ThriftClient, AReplyCutShortLeavesTheOutputsAsTheyWere) {
  std::string whole = encodeReply("loadResources", [](TProtocol& p) {
    p.writeFieldBegin("success", apache::thrift::protocol::T_STRING, 0);
    p.writeString("{\"syncableDevices\":[],\"timescales\":[\"/t\"]}");
    p.writeFieldEnd();
  });
  FakeDaemon daemon([&](const ReceivedCall&) { return Answer{whole.substr(0, whole.size() - 10), true}; });
  SessionProxy proxy(std::make_shared<ThriftClient>());
  TestStatus st;
  std::string loaded = "before";
  proxy.loadResources(loaded, "{}", st);
  EXPECT_EQ(st.code(), -52024);
  EXPECT_NE(st.json().find("\"type\":\"TTransportException::END_OF_FILE\""), std::string::npos) << st.json();
  EXPECT_EQ(loaded, "before");
}

// A text longer than the client takes is refused from its length alone,
// before anything of it is read or stored.
TEST(ThriftClient, ATextBeyondTheLimitIsRefused) {
  const std::string header = encodeReply("getTimescaleInfo", [](TProtocol& p) {
    p.writeFieldBegin("success", apache::thrift::protocol::T_STRING, 0);
    p.writeI32(65 * 1024 * 1024);
  });
  // Only the field's header and the claimed length (the stop byte is cut off),
  // then the end of the connection.
  FakeDaemon daemon([&](const ReceivedCall&) { return Answer{header.substr(0, header.size() - 1), true}; });
  SessionProxy proxy(std::make_shared<ThriftClient>());
  TestStatus st;
  std::string info = "before";
  proxy.getTimescaleInfo(info, st);
  EXPECT_EQ(st.code(), -52024);
  EXPECT_NE(st.json().find("\"qzsyncdomain_debug\":{}"), std::string::npos) << st.json();
  EXPECT_EQ(info, "before");
}

// Type bytes that are no Thrift type are refused before Thrift stores them in
// its enums, whatever answers on the socket.
TEST(ThriftClient, TypeBytesThatAreNoThriftTypeAreRefused) {
  const std::string method = "getTimescaleInfo";
  const std::string answers[] = {
      std::string("\x80\x01\x00\x09\x00\x00\x00\x10", 8) + method + std::string(5, '\0'),
      encodeReply(method, [](TProtocol& p) { p.writeByte(-56), p.writeI16(0); }),
      encodeReply(method, [](TProtocol& p) {
        p.writeFieldBegin("", apache::thrift::protocol::T_MAP, 7);
        p.writeByte(11), p.writeByte(99), p.writeI32(1);
      }),
  };
  for (const std::string& answer : answers) {
    FakeDaemon daemon([&](const ReceivedCall&) { return Answer{answer, true}; });
    SessionProxy proxy(std::make_shared<ThriftClient>());
    TestStatus st;
    std::string info = "before";
    proxy.getTimescaleInfo(info, st);
    EXPECT_EQ(st.code(), -52024) << st.json();
    EXPECT_EQ(info, "before");
  }
}

}  // namespace
}  // namespace vesksapi
