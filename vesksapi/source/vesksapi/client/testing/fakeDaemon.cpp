#include "vesksapi/client/testing/fakeDaemon.h"

#include <utility>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TTransportException.h>

#include "vesklib/testing/rawThriftResponder.h"
#include "vesksapi/server/localEndpoint.h"

namespace vesksapi::testing {

namespace {

using apache::thrift::TException;
using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TType;

const std::string kSocketName("\0vesksRpc\0", 10);

std::string readValue(TProtocol& protocol, TType type);

std::map<int16_t, std::string> readFields(TProtocol& protocol) {
  std::map<int16_t, std::string> fields;
  std::string name;
  protocol.readStructBegin(name);
  for (;;) {
    TType type;
    int16_t id;
    protocol.readFieldBegin(name, type, id);
    if (type == apache::thrift::protocol::T_STOP) break;
    fields[id] = readValue(protocol, type);
    protocol.readFieldEnd();
  }
  protocol.readStructEnd();
  return fields;
}

std::string readValue(TProtocol& protocol, TType type) {
  switch (type) {
    case apache::thrift::protocol::T_BOOL: {
      bool flag;
      protocol.readBool(flag);
      return flag ? "true" : "false";
    }
    case apache::thrift::protocol::T_I32: {
      int32_t value;
      protocol.readI32(value);
      return std::to_string(value);
    }
    case apache::thrift::protocol::T_I64: {
      int64_t value;
      protocol.readI64(value);
      return std::to_string(value);
    }
    case apache::thrift::protocol::T_STRING: {
      std::string text;
      protocol.readString(text);
      return text;
    }
    case apache::thrift::protocol::T_STRUCT: {
      std::string rendered;
      for (const auto& [id, value] : readFields(protocol)) {
        rendered += (rendered.empty() ? "{" : ",") + std::to_string(id) + ":" + value;
      }
      return rendered.empty() ? "{}" : rendered + "}";
    }
    default:
      protocol.skip(type);
      return "?";
  }
}

ReceivedCall readCall(TProtocol& protocol) {
  ReceivedCall call;
  apache::thrift::protocol::TMessageType type;
  int32_t sequenceId;
  protocol.readMessageBegin(call.method, type, sequenceId);
  call.arguments = readFields(protocol);
  protocol.readMessageEnd();
  return call;
}

}  // namespace

FakeDaemon::FakeDaemon(Script script)
    : script_(std::move(script)), server_(localEndpoint::socketPath(kSocketName)) {
  server_.listen();
  thread_ = std::thread([this] { run(); });
}

FakeDaemon::~FakeDaemon() {
  server_.interrupt();
  server_.interruptChildren();
  thread_.join();
  server_.close();
}

std::vector<ReceivedCall> FakeDaemon::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void FakeDaemon::run() {
  for (;;) {
    std::shared_ptr<apache::thrift::transport::TTransport> connection;
    try {
      connection = server_.accept();
    } catch (const TException&) {
      return;  // stopped
    }
    ++connections_;
    serve(connection);
    connection->close();
  }
}

void FakeDaemon::serve(const std::shared_ptr<apache::thrift::transport::TTransport>& connection) {
  apache::thrift::protocol::TBinaryProtocol protocol(connection);
  for (;;) {
    try {
      ReceivedCall call = readCall(protocol);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
      }
      const Answer answer = script_(call);
      connection->write(reinterpret_cast<const uint8_t*>(answer.bytes.data()),
                        static_cast<uint32_t>(answer.bytes.size()));
      connection->flush();
      if (answer.close) return;
    } catch (const TException&) {
      return;  // the client closed, or the daemon stops
    }
  }
}

std::string encodeReply(const std::string& method, const std::function<void(TProtocol&)>& writeFields,
                        apache::thrift::protocol::TMessageType type) {
  return vesklib::testing::encodeThriftMessage(method, type, [&](TProtocol& protocol) {
    protocol.writeStructBegin("result");
    if (writeFields) writeFields(protocol);
    protocol.writeFieldStop();
    protocol.writeStructEnd();
  });
}

}  // namespace vesksapi::testing
