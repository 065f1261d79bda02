// WireCheckingProtocol: Thrift's binary protocol (strict writing, lenient
// reading) for bytes from a peer that is not trusted. It reads the message,
// field and container headers and the strings itself, so that no type byte
// off the wire is stored in a Thrift enum before it is known to be one of its
// values, and a string's claimed length is bounded (a method name's to 256
// bytes), may be made to wait for room (StringAdmission), and is allocated
// only as its bytes arrive. A header or length that fails the check throws
// TProtocolException; primitive values and all writing are the binary
// protocol's own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include <thrift/protocol/TProtocolDecorator.h>

namespace rpc {

struct WireLimits {
  int32_t stringBytes;        // longest string or binary
  int32_t containerElements;  // most elements of a list, set or map
};

// Asked with a string's length (within the limit) and the time its message
// began, before the string's bytes are read: it may wait for room, or throw
// to end the connection.
using StringAdmission =
    std::function<void(uint32_t bytes, std::chrono::steady_clock::time_point messageBegan)>;

class WireCheckingProtocol final : public apache::thrift::protocol::TProtocolDecorator {
 public:
  WireCheckingProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport, WireLimits limits,
                       StringAdmission admit = nullptr);

  uint32_t readMessageBegin_virt(std::string& name, apache::thrift::protocol::TMessageType& type,
                                 int32_t& sequenceId) override;
  uint32_t readFieldBegin_virt(std::string& name, apache::thrift::protocol::TType& fieldType,
                               int16_t& fieldId) override;
  uint32_t readMapBegin_virt(apache::thrift::protocol::TType& keyType, apache::thrift::protocol::TType& valueType,
                             uint32_t& size) override;
  uint32_t readListBegin_virt(apache::thrift::protocol::TType& elementType, uint32_t& size) override;
  uint32_t readSetBegin_virt(apache::thrift::protocol::TType& elementType, uint32_t& size) override;
  uint32_t readString_virt(std::string& text) override;
  uint32_t readBinary_virt(std::string& bytes) override;

 private:
  uint32_t readValueType(apache::thrift::protocol::TType& type);
  uint32_t readContainerSize(uint32_t& size);
  uint32_t readBody(std::string& text, int32_t size);

  WireLimits limits_;
  StringAdmission admit_;
  std::chrono::steady_clock::time_point messageBegan_;
};

// Makes a WireCheckingProtocol over each transport, for a server's input
// side; every one shares `admit`.
class WireCheckingProtocolFactory final : public apache::thrift::protocol::TProtocolFactory {
 public:
  explicit WireCheckingProtocolFactory(WireLimits limits, StringAdmission admit = nullptr)
      : limits_(limits), admit_(std::move(admit)) {}

  std::shared_ptr<apache::thrift::protocol::TProtocol> getProtocol(
      std::shared_ptr<apache::thrift::transport::TTransport> transport) override;

 private:
  WireLimits limits_;
  StringAdmission admit_;
};

}  // namespace rpc
