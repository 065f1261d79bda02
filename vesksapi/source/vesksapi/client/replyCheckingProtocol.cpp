#include "vesksapi/client/replyCheckingProtocol.h"

#include <utility>

namespace vesksapi {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TMessageType;

ReplyCheckingProtocol::ReplyCheckingProtocol(std::shared_ptr<apache::thrift::protocol::TProtocol> protocol)
    : TProtocolDecorator(std::move(protocol)) {}

uint32_t ReplyCheckingProtocol::writeMessageBegin_virt(const std::string& name, const TMessageType type,
                                                       const int32_t sequenceId) {
  calledMethod_ = name;
  return TProtocolDecorator::writeMessageBegin_virt(name, type, sequenceId);
}

// An application exception is read by the stub itself whatever it names.
uint32_t ReplyCheckingProtocol::readMessageBegin_virt(std::string& name, TMessageType& type,
                                                      int32_t& sequenceId) {
  const uint32_t size = TProtocolDecorator::readMessageBegin_virt(name, type, sequenceId);
  if (type == apache::thrift::protocol::T_EXCEPTION) return size;
  if (type != apache::thrift::protocol::T_REPLY) {
    refuse(TApplicationException::INVALID_MESSAGE_TYPE,
           calledMethod_ + ": the reply has message type " + std::to_string(type));
  }
  if (name != calledMethod_) {
    refuse(TApplicationException::WRONG_METHOD_NAME, calledMethod_ + ": the reply names another method");
  }
  return size;
}

// The message is read to its end, as the stub does with a message it drops.
void ReplyCheckingProtocol::refuse(TApplicationException::TApplicationExceptionType refusal,
                                   const std::string& message) {
  skip(apache::thrift::protocol::T_STRUCT);
  readMessageEnd();
  getTransport()->readEnd();
  throw TApplicationException(refusal, message);
}

}  // namespace vesksapi
