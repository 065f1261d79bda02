// WireCheckingProtocol: Thrift's binary protocol (strict writing, lenient
// reading) for bytes from a peer that is not trusted. It reads the message,
// field and container headers and the strings itself, so that no type byte
// off the wire is stored in a Thrift enum before it is known to be one of its
// values, and a string's claimed length is bounded (a method name's to 256
// bytes), may be made to wait for room (StringAdmission), and is allocated
// only as its bytes arrive. A string that is only skipped (a field the method
// does not have) is discarded as it arrives and asks for no room. A header or
// length that fails the check throws TProtocolException; primitive values and
// all writing are the binary protocol's own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <thrift/protocol/TProtocolDecorator.h>

namespace rpc {

struct WireLimits {
  int32_t stringBytes;        // longest string or binary
  int32_t containerElements;  // most elements of a list, set or map
};

// Asked before a kept string's bytes are read, with what the message's kept
// strings then total (a field sent twice is read into one place: it counts
// once, at its larger size) and the time the message began: it may wait for
// room, or throw to end the connection.
using StringAdmission =
    std::function<void(uint64_t messageStringBytes, std::chrono::steady_clock::time_point messageBegan)>;

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
  uint32_t skip_virt(apache::thrift::protocol::TType type) override;

 private:
  // A kept string's place and the most it was asked to hold.
  struct KeptString {
    const std::string* place;
    uint32_t bytes;
  };

  uint32_t readValueType(apache::thrift::protocol::TType& type);
  uint32_t readContainerSize(uint32_t& size);
  uint32_t readBody(std::string& text, int32_t size);
  uint32_t discardBody(int32_t size);
  void admit(const std::string& place, uint32_t bytes);

  WireLimits limits_;
  StringAdmission admit_;
  std::chrono::steady_clock::time_point messageBegan_;
  std::vector<KeptString> kept_;  // of the message being read
  uint64_t keptBytes_ = 0;
  bool skipping_ = false;
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
