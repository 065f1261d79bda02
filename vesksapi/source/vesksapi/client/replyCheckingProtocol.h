// ReplyCheckingProtocol: the client's protocol, passed through to the one it
// wraps, that refuses a reply the generated stub would misread. The stub skips
// a reply of another message type or another method's name and then waits for
// a result that never comes; here such a reply is skipped and the call fails
// at once with TApplicationException INVALID_MESSAGE_TYPE or WRONG_METHOD_NAME.
// It remembers the method of the last call written, so it serves one client
// as both its input and its output protocol.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolDecorator.h>

namespace vesksapi {

class ReplyCheckingProtocol final : public apache::thrift::protocol::TProtocolDecorator {
 public:
  explicit ReplyCheckingProtocol(std::shared_ptr<apache::thrift::protocol::TProtocol> protocol);

  uint32_t writeMessageBegin_virt(const std::string& name, const apache::thrift::protocol::TMessageType type,
                                  const int32_t sequenceId) override;
  uint32_t readMessageBegin_virt(std::string& name, apache::thrift::protocol::TMessageType& type,
                                 int32_t& sequenceId) override;

 private:
  [[noreturn]] void refuse(apache::thrift::TApplicationException::TApplicationExceptionType refusal,
                           const std::string& message);

  std::string calledMethod_;
};

}  // namespace vesksapi
