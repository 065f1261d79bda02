#include "vesksapi/client/replyCheckingProtocol.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "vesklib/testing/rawThriftResponder.h"
#include "vesksRpc.h"
#include "vesksapi/client/testing/fakeDaemon.h"

namespace vesksapi {
namespace {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocol;
using apache::thrift::transport::TMemoryBuffer;
using testing::encodeReply;

void writeSuccess(TProtocol& protocol, bool value) {
  protocol.writeFieldBegin("success", apache::thrift::protocol::T_BOOL, 0);
  protocol.writeBool(value);
  protocol.writeFieldEnd();
}

// The generated client over the checking protocol, its calls going into and
// its replies coming out of one memory buffer that holds `reply` and, behind
// it, a second reply (true) that a misread would take for the first's result.
struct Connection {
  explicit Connection(const std::string& reply)
      : buffer(std::make_shared<TMemoryBuffer>()),
        client(std::make_shared<ReplyCheckingProtocol>(
            std::make_shared<apache::thrift::protocol::TBinaryProtocol>(buffer))) {
    const std::string next = encodeReply("syncDomain_isCoherent", [](TProtocol& p) { writeSuccess(p, true); });
    buffer->write(reinterpret_cast<const uint8_t*>(reply.data()), static_cast<uint32_t>(reply.size()));
    buffer->write(reinterpret_cast<const uint8_t*>(next.data()), static_cast<uint32_t>(next.size()));
  }

  std::shared_ptr<TMemoryBuffer> buffer;
  vesksrpc::vesksRpcClient client;
};

TEST(ReplyCheckingProtocol, ARightReplyIsReadAsTheStubReadsIt) {
  Connection connection(encodeReply("syncDomain_isCoherent", [](TProtocol& p) { writeSuccess(p, false); }));
  EXPECT_FALSE(connection.client.syncDomain_isCoherent("/d"));
  EXPECT_TRUE(connection.client.syncDomain_isCoherent("/d"));
}

TEST(ReplyCheckingProtocol, AnApplicationExceptionPassesAsSent) {
  const std::string reply = vesklib::testing::encodeThriftMessage(
      "anything", apache::thrift::protocol::T_EXCEPTION, [](TProtocol& p) {
        TApplicationException(TApplicationException::UNKNOWN_METHOD, "Invalid method name: 'x'").write(&p);
      });
  Connection connection(reply);
  try {
    connection.client.syncDomain_isCoherent("/d");
    ADD_FAILURE() << "no exception";
  } catch (const TApplicationException& e) {
    EXPECT_EQ(e.getType(), TApplicationException::UNKNOWN_METHOD);
    EXPECT_STREQ(e.what(), "Invalid method name: 'x'");
  }
}

// Without the check the stub would skip the reply and read the next one as
// its result; here the call fails, and the refused reply is read whole.
TEST(ReplyCheckingProtocol, AReplyOfAnotherKindOrMethodFailsTheCall) {
  const struct {
    TMessageType type;
    const char* method;
    TApplicationException::TApplicationExceptionType refusal;
    const char* text;
  } cases[] = {
      {apache::thrift::protocol::T_CALL, "syncDomain_isCoherent", TApplicationException::INVALID_MESSAGE_TYPE,
       "syncDomain_isCoherent: the reply has message type 1"},
      {apache::thrift::protocol::T_ONEWAY, "syncDomain_isCoherent", TApplicationException::INVALID_MESSAGE_TYPE,
       "syncDomain_isCoherent: the reply has message type 4"},
      {apache::thrift::protocol::T_REPLY, "syncDomain_start", TApplicationException::WRONG_METHOD_NAME,
       "syncDomain_isCoherent: the reply names another method"},
  };
  for (const auto& c : cases) {
    Connection connection(encodeReply(c.method, [](TProtocol& p) { writeSuccess(p, false); }, c.type));
    try {
      connection.client.syncDomain_isCoherent("/d");
      ADD_FAILURE() << "answered: " << c.text;
    } catch (const TApplicationException& e) {
      EXPECT_EQ(e.getType(), c.refusal);
      EXPECT_STREQ(e.what(), c.text);
    }
    EXPECT_TRUE(connection.client.syncDomain_isCoherent("/d")) << c.text;
  }
}

}  // namespace
}  // namespace vesksapi
