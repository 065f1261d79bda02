// For tests: frames of Thrift's binary protocol written byte by byte (big
// endian, strict message headers), so tests speak to the server without any
// generated code and compare replies byte for byte.
#pragma once

#include <cstdint>
#include <string>

namespace vesksapi::testing {

// Message types on the wire.
enum MessageType : int8_t { kCall = 1, kReply = 2, kException = 3, kOneway = 4 };
// Field type codes on the wire.
enum FieldType : int8_t { kStop = 0, kBool = 2, kI32 = 8, kI64 = 10, kString = 11, kStruct = 12 };

class WireBytes {
 public:
  // Strict header: version 1 with the type, the name, the sequence id.
  WireBytes& message(MessageType type, const std::string& name, int32_t sequenceId);
  WireBytes& field(FieldType type, int16_t id);
  WireBytes& stop() { return i8(kStop); }
  WireBytes& i8(int8_t value);
  WireBytes& i16(int16_t value);
  WireBytes& i32(int32_t value);
  WireBytes& i64(int64_t value);
  // A length and the bytes.
  WireBytes& string(const std::string& text);

  const std::string& bytes() const { return bytes_; }
  operator const std::string&() const { return bytes_; }

 private:
  WireBytes& bigEndian(uint64_t value, int size);

  std::string bytes_;
};

// A whole call of `method` whose arguments are `arguments` (fields and stop).
std::string callFrame(const std::string& method, int32_t sequenceId, const std::string& arguments,
                      MessageType type = kCall);
// A reply whose result holds `success` as a string (field 0).
std::string stringReply(const std::string& method, int32_t sequenceId, const std::string& success);
// A Thrift application exception answering `method`.
std::string applicationException(const std::string& method, int32_t sequenceId, const std::string& message,
                                 int32_t type);

}  // namespace vesksapi::testing
