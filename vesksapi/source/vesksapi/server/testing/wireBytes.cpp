#include "wireBytes.h"

namespace vesksapi::testing {

namespace {
constexpr uint32_t kVersion1 = 0x80010000;
}

WireBytes& WireBytes::bigEndian(uint64_t value, int size) {
  for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) bytes_.push_back(static_cast<char>(value >> shift));
  return *this;
}

WireBytes& WireBytes::message(MessageType type, const std::string& name, int32_t sequenceId) {
  return i32(static_cast<int32_t>(kVersion1 | static_cast<uint8_t>(type))).string(name).i32(sequenceId);
}

WireBytes& WireBytes::field(FieldType type, int16_t id) { return i8(type).i16(id); }
WireBytes& WireBytes::i8(int8_t value) { return bigEndian(static_cast<uint8_t>(value), 1); }
WireBytes& WireBytes::i16(int16_t value) { return bigEndian(static_cast<uint16_t>(value), 2); }
WireBytes& WireBytes::i32(int32_t value) { return bigEndian(static_cast<uint32_t>(value), 4); }
WireBytes& WireBytes::i64(int64_t value) { return bigEndian(static_cast<uint64_t>(value), 8); }

WireBytes& WireBytes::string(const std::string& text) {
  i32(static_cast<int32_t>(text.size()));
  bytes_ += text;
  return *this;
}

std::string callFrame(const std::string& method, int32_t sequenceId, const std::string& arguments,
                      MessageType type) {
  return WireBytes().message(type, method, sequenceId).bytes() + arguments;
}

std::string stringReply(const std::string& method, int32_t sequenceId, const std::string& success) {
  return WireBytes().message(kReply, method, sequenceId).field(kString, 0).string(success).stop();
}

std::string applicationException(const std::string& method, int32_t sequenceId, const std::string& message,
                                 int32_t type) {
  return WireBytes()
      .message(kException, method, sequenceId)
      .field(kString, 1).string(message)
      .field(kI32, 2).i32(type)
      .stop();
}

}  // namespace vesksapi::testing
