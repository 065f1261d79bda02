#include "wireCheckingProtocol.h"

#include <algorithm>
#include <utility>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocolException.h>

namespace rpc {

namespace {

using apache::thrift::protocol::TBinaryProtocolT;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::protocol::TType;
using apache::thrift::transport::TTransport;

// The strict header's version word, and the mask that leaves its type byte out.
constexpr uint32_t kVersion1 = 0x80010000;
constexpr uint32_t kVersionMask = 0xffff0000;
// A string grows by at most this much before its bytes are there.
constexpr int32_t kReadChunkBytes = 64 * 1024;
// Longest method name: the interface's are a few dozen bytes, and Thrift
// echoes an unknown one whole in its answer.
constexpr int32_t kMethodNameBytes = 256;

// The types that the binary protocol writes for a value.
bool isValueType(int8_t type) {
  using namespace apache::thrift::protocol;
  static constexpr int8_t kValueTypes[] = {T_BOOL, T_BYTE, T_DOUBLE, T_I16, T_I32, T_I64,
                                           T_STRING, T_STRUCT, T_MAP, T_SET, T_LIST};
  return std::find(std::begin(kValueTypes), std::end(kValueTypes), type) != std::end(kValueTypes);
}

bool isMessageType(int8_t type) {
  return type >= apache::thrift::protocol::T_CALL && type <= apache::thrift::protocol::T_ONEWAY;
}

[[noreturn]] void refuse(TProtocolException::TProtocolExceptionType kind, const std::string& what) {
  throw TProtocolException(kind, what);
}

// Without a text, as the binary protocol reports them.
void checkSize(int32_t size, int32_t limit) {
  if (size < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
  if (size > limit) throw TProtocolException(TProtocolException::SIZE_LIMIT);
}

}  // namespace

WireCheckingProtocol::WireCheckingProtocol(std::shared_ptr<TTransport> transport, WireLimits limits,
                                           StringAdmission admit)
    : TProtocolDecorator(std::make_shared<TBinaryProtocolT<TTransport>>(std::move(transport))),
      limits_(limits),
      admit_(std::move(admit)) {}

uint32_t WireCheckingProtocol::readMessageBegin_virt(std::string& name, TMessageType& type, int32_t& sequenceId) {
  int32_t head = 0;
  uint32_t bytes = readI32(head);
  messageBegan_ = std::chrono::steady_clock::now();
  kept_.clear();
  keptBytes_ = 0;
  const bool strict = head < 0;
  int32_t nameSize = head;  // an unversioned header begins with it
  int8_t typeByte = 0;
  if (strict) {
    if ((static_cast<uint32_t>(head) & kVersionMask) != kVersion1) {
      refuse(TProtocolException::BAD_VERSION, "Bad version identifier");
    }
    typeByte = static_cast<int8_t>(head & 0xff);
    bytes += readI32(nameSize);
  }
  checkSize(nameSize, kMethodNameBytes);
  bytes += readBody(name, nameSize);
  if (!strict) bytes += readByte(typeByte);
  if (!isMessageType(typeByte)) refuse(TProtocolException::INVALID_DATA, "unknown message type");
  type = static_cast<TMessageType>(typeByte);
  return bytes + readI32(sequenceId);
}

uint32_t WireCheckingProtocol::readFieldBegin_virt(std::string& name, TType& fieldType, int16_t& fieldId) {
  name.clear();
  int8_t typeByte = 0;
  uint32_t bytes = readByte(typeByte);
  if (typeByte == apache::thrift::protocol::T_STOP) {
    fieldType = apache::thrift::protocol::T_STOP;
    fieldId = 0;
    return bytes;
  }
  if (!isValueType(typeByte)) refuse(TProtocolException::INVALID_DATA, "unknown field type");
  fieldType = static_cast<TType>(typeByte);
  return bytes + readI16(fieldId);
}

uint32_t WireCheckingProtocol::readMapBegin_virt(TType& keyType, TType& valueType, uint32_t& size) {
  uint32_t bytes = readValueType(keyType);
  bytes += readValueType(valueType);
  return bytes + readContainerSize(size);
}

uint32_t WireCheckingProtocol::readListBegin_virt(TType& elementType, uint32_t& size) {
  const uint32_t bytes = readValueType(elementType);
  return bytes + readContainerSize(size);
}

uint32_t WireCheckingProtocol::readSetBegin_virt(TType& elementType, uint32_t& size) {
  const uint32_t bytes = readValueType(elementType);
  return bytes + readContainerSize(size);
}

uint32_t WireCheckingProtocol::readString_virt(std::string& text) {
  int32_t size = 0;
  const uint32_t bytes = readI32(size);
  checkSize(size, limits_.stringBytes);
  if (skipping_) return bytes + discardBody(size);
  admit(text, static_cast<uint32_t>(size));
  return bytes + readBody(text, size);
}

uint32_t WireCheckingProtocol::readBinary_virt(std::string& bytes) { return readString_virt(bytes); }

// Thrift's own skip reads through this protocol, its strings included, and
// recurses into a skipped value without coming back here; while it runs,
// every string is discarded.
uint32_t WireCheckingProtocol::skip_virt(TType type) {
  skipping_ = true;
  const struct EndSkipping {
    bool& skipping;
    ~EndSkipping() { skipping = false; }
  } endSkipping{skipping_};
  return apache::thrift::protocol::skip(*this, type);
}

void WireCheckingProtocol::admit(const std::string& place, uint32_t bytes) {
  auto keptAt = std::find_if(kept_.begin(), kept_.end(), [&](const KeptString& k) { return k.place == &place; });
  if (keptAt == kept_.end()) keptAt = kept_.insert(kept_.end(), KeptString{&place, 0});
  if (bytes <= keptAt->bytes) return;
  keptBytes_ += bytes - keptAt->bytes;
  keptAt->bytes = bytes;
  if (admit_) admit_(keptBytes_, messageBegan_);
}

uint32_t WireCheckingProtocol::readValueType(TType& type) {
  int8_t typeByte = 0;
  const uint32_t bytes = readByte(typeByte);
  if (!isValueType(typeByte)) refuse(TProtocolException::INVALID_DATA, "unknown element type");
  type = static_cast<TType>(typeByte);
  return bytes;
}

uint32_t WireCheckingProtocol::readContainerSize(uint32_t& size) {
  int32_t claimed = 0;
  const uint32_t bytes = readI32(claimed);
  checkSize(claimed, limits_.containerElements);
  size = static_cast<uint32_t>(claimed);
  return bytes;
}

// Grows the text as its bytes come: a length alone costs no memory. The
// caller has checked the size.
uint32_t WireCheckingProtocol::readBody(std::string& text, int32_t size) {
  text.clear();
  while (text.size() < static_cast<size_t>(size)) {
    const size_t done = text.size();
    const size_t chunk = std::min<size_t>(kReadChunkBytes, static_cast<size_t>(size) - done);
    text.resize(done + chunk);
    getTransport()->readAll(reinterpret_cast<uint8_t*>(&text[done]), static_cast<uint32_t>(chunk));
  }
  return static_cast<uint32_t>(size);
}

uint32_t WireCheckingProtocol::discardBody(int32_t size) {
  uint8_t chunk[4096];
  for (int32_t left = size; left > 0;) {
    const uint32_t part = static_cast<uint32_t>(std::min<int32_t>(left, sizeof chunk));
    getTransport()->readAll(chunk, part);
    left -= static_cast<int32_t>(part);
  }
  return static_cast<uint32_t>(size);
}

std::shared_ptr<TProtocol> WireCheckingProtocolFactory::getProtocol(std::shared_ptr<TTransport> transport) {
  return std::make_shared<WireCheckingProtocol>(std::move(transport), limits_, admit_);
}

}  // namespace rpc
