// Hostile framing bytes read through the checking protocol: each is refused
// with a protocol exception before any value reaches a Thrift enum, and
// well-formed messages read as the plain binary protocol reads them.
#include "wireCheckingProtocol.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TVirtualTransport.h>

namespace rpc {
namespace {

using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::protocol::TType;
using apache::thrift::transport::TMemoryBuffer;

// Strings longer than the longest method name, so each bound shows on its own.
constexpr WireLimits kLimits{1024, 4};
const std::string kLongestName(256, 'n');

std::string be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
// A field header; a field id of 1 unless said.
std::string field(uint8_t type, int16_t id = 1) {
  return {static_cast<char>(type), static_cast<char>(id >> 8), static_cast<char>(id)};
}
std::string byte(uint8_t value) { return std::string(1, static_cast<char>(value)); }
std::string strictHead(uint8_t type, const std::string& name = "m") {
  return be32(0x80010000u | type) + be32(static_cast<uint32_t>(name.size())) + name + be32(7);
}
const std::string kCall = strictHead(1);

struct Reader {
  explicit Reader(const std::string& bytes, StringAdmission admit = nullptr)
      : buffer(std::make_shared<TMemoryBuffer>(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())),
                                               static_cast<uint32_t>(bytes.size()), TMemoryBuffer::COPY)),
        protocol(buffer, kLimits, std::move(admit)) {}

  void readHead() {
    std::string name;
    TMessageType type;
    int32_t sequenceId = 0;
    protocol.readMessageBegin(name, type, sequenceId);
  }

  // Reads a whole call: the header and its argument structure, skipped.
  void readCall() {
    readHead();
    protocol.skip(apache::thrift::protocol::T_STRUCT);
    protocol.readMessageEnd();
  }

  std::shared_ptr<TMemoryBuffer> buffer;
  WireCheckingProtocol protocol;
};

struct Hostile {
  const char* what;
  std::string bytes;
  TProtocolException::TProtocolExceptionType refusal;
};

class HostileFrame : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileFrame, IsRefused) {
  Reader reader(GetParam().bytes);
  try {
    reader.readCall();
    FAIL() << "read";
  } catch (const TProtocolException& e) {
    EXPECT_EQ(e.getType(), GetParam().refusal) << e.what();
  }
}

const std::string kStop = byte(0);
INSTANTIATE_TEST_SUITE_P(
    Bytes, HostileFrame,
    ::testing::Values(
        Hostile{"message type 8", strictHead(8) + kStop, TProtocolException::INVALID_DATA},
        Hostile{"message type 255", strictHead(255) + kStop, TProtocolException::INVALID_DATA},
        Hostile{"message type 0", strictHead(0) + kStop, TProtocolException::INVALID_DATA},
        Hostile{"bad version", be32(0x80020001u) + be32(0) + be32(0) + kStop, TProtocolException::BAD_VERSION},
        Hostile{"unversioned type 9", be32(1) + "m" + byte(9) + be32(0) + kStop, TProtocolException::INVALID_DATA},
        Hostile{"strict name of 257", be32(0x80010001u) + be32(257), TProtocolException::SIZE_LIMIT},
        Hostile{"unversioned name of 257", be32(257), TProtocolException::SIZE_LIMIT},
        Hostile{"field type 5", kCall + field(5), TProtocolException::INVALID_DATA},
        Hostile{"field type 200", kCall + field(200), TProtocolException::INVALID_DATA},
        Hostile{"field type void", kCall + field(1), TProtocolException::INVALID_DATA},
        Hostile{"list of 99", kCall + field(15) + byte(99) + be32(1), TProtocolException::INVALID_DATA},
        Hostile{"list of stops", kCall + field(15) + byte(0) + be32(1),
                TProtocolException::INVALID_DATA},
        Hostile{"set of 16", kCall + field(14) + byte(16) + be32(1), TProtocolException::INVALID_DATA},
        Hostile{"map key 7", kCall + field(13) + byte(7) + byte(8) + be32(1), TProtocolException::INVALID_DATA},
        Hostile{"map value 250", kCall + field(13) + byte(8) + byte(250) + be32(1), TProtocolException::INVALID_DATA},
        Hostile{"nested struct field 31", kCall + field(12) + field(31), TProtocolException::INVALID_DATA},
        Hostile{"list too long", kCall + field(15) + byte(8) + be32(5), TProtocolException::SIZE_LIMIT},
        Hostile{"negative list", kCall + field(15) + byte(8) + be32(0xffffffffu), TProtocolException::NEGATIVE_SIZE},
        Hostile{"string too long", kCall + field(11) + be32(kLimits.stringBytes + 1),
                TProtocolException::SIZE_LIMIT},
        Hostile{"negative string", kCall + field(11) + be32(0x80000000u), TProtocolException::NEGATIVE_SIZE}),
    [](const ::testing::TestParamInfo<Hostile>& info) {
      std::string name;
      for (const char c : std::string(info.param.what)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(WireCheckingProtocol, ReadsWellFormedHeadersAndValues) {
  const std::string bytes = strictHead(1, kLongestName) + field(11) + be32(3) + "abc" + field(15, 2) + byte(8) +
                            be32(2) + be32(5) + be32(6) + field(13, 3) + byte(11) + byte(2) + be32(1) + be32(1) +
                            "k" + byte(1) + kStop;
  Reader reader(bytes);
  std::string name;
  TMessageType type;
  int32_t sequenceId = 0;
  reader.protocol.readMessageBegin(name, type, sequenceId);
  EXPECT_EQ(name, kLongestName);
  EXPECT_EQ(type, apache::thrift::protocol::T_CALL);
  EXPECT_EQ(sequenceId, 7);
  TType fieldType;
  int16_t fieldId = 0;
  std::string text;
  reader.protocol.readFieldBegin(name, fieldType, fieldId);
  EXPECT_EQ(fieldType, apache::thrift::protocol::T_STRING);
  EXPECT_EQ(fieldId, 1);
  reader.protocol.readString(text);
  EXPECT_EQ(text, "abc");
  reader.protocol.readFieldBegin(name, fieldType, fieldId);
  TType elementType;
  uint32_t size = 0;
  reader.protocol.readListBegin(elementType, size);
  EXPECT_EQ(elementType, apache::thrift::protocol::T_I32);
  EXPECT_EQ(size, 2u);
  int32_t value = 0;
  reader.protocol.readI32(value);
  reader.protocol.readI32(value);
  EXPECT_EQ(value, 6);
  reader.protocol.readFieldBegin(name, fieldType, fieldId);
  TType keyType;
  reader.protocol.readMapBegin(keyType, elementType, size);
  EXPECT_EQ(keyType, apache::thrift::protocol::T_STRING);
  EXPECT_EQ(elementType, apache::thrift::protocol::T_BOOL);
  reader.protocol.readString(text);
  bool flag = false;
  reader.protocol.readBool(flag);
  EXPECT_TRUE(flag);
  reader.protocol.readFieldBegin(name, fieldType, fieldId);
  EXPECT_EQ(fieldType, apache::thrift::protocol::T_STOP);
}

TEST(WireCheckingProtocol, ReadsAnUnversionedHeaderAndAStringAtTheLimit) {
  const std::string body(kLimits.stringBytes, 'x');
  Reader reader(be32(256) + kLongestName + byte(1) + be32(3) + field(11) + be32(kLimits.stringBytes) + body + kStop);
  std::string name;
  TMessageType type;
  int32_t sequenceId = 0;
  reader.protocol.readMessageBegin(name, type, sequenceId);
  EXPECT_EQ(name, kLongestName);
  EXPECT_EQ(sequenceId, 3);
  TType fieldType;
  int16_t fieldId = 0;
  reader.protocol.readFieldBegin(name, fieldType, fieldId);
  std::string text;
  reader.protocol.readBinary(text);
  EXPECT_EQ(text, body);
}

// Hands out a few bytes a read, and notes whether the string being read into
// ever held more than what has come plus one of the protocol's 64 KiB steps
// (twice that, as std::string may double).
class TricklingTransport : public apache::thrift::transport::TVirtualTransport<TricklingTransport> {
 public:
  TricklingTransport(std::string bytes, const std::string& target) : bytes_(std::move(bytes)), target_(target) {}

  uint32_t read(uint8_t* buffer, uint32_t length) {
    overgrown_ = overgrown_ || target_.capacity() > 2 * (delivered_ + kReadStepBytes);
    const size_t piece = std::min({static_cast<size_t>(length), kPieceBytes, bytes_.size() - delivered_});
    std::memcpy(buffer, bytes_.data() + delivered_, piece);
    delivered_ += piece;
    return static_cast<uint32_t>(piece);
  }

  bool overgrown() const { return overgrown_; }

 private:
  static constexpr size_t kReadStepBytes = 64 * 1024;
  static constexpr size_t kPieceBytes = 4096;

  const std::string bytes_;
  const std::string& target_;
  size_t delivered_ = 0;
  bool overgrown_ = false;
};

TEST(WireCheckingProtocol, AStringOfTheLimitGrowsOnlyAsItsBytesArrive) {
  constexpr WireLimits kServerLimits{1024 * 1024, 4};
  const std::string body(kServerLimits.stringBytes, 'x');
  std::string text;
  const auto transport = std::make_shared<TricklingTransport>(be32(kServerLimits.stringBytes) + body, text);
  WireCheckingProtocol protocol(transport, kServerLimits);
  protocol.readString(text);
  EXPECT_TRUE(text == body);
  EXPECT_FALSE(transport->overgrown());
}

// What a message's kept strings total at each admission: a field sent again
// into the same place counts once, at its largest; skipped strings, at any
// depth, are discarded unasked; each message counts afresh.
TEST(WireCheckingProtocol, AdmissionCountsTheMessagesKeptStringsOnly) {
  const std::string skipped = field(12, 9) + field(11) + be32(5) + "sssss" + field(15, 2) + byte(11) + be32(2) +
                              be32(1) + "t" + be32(2) + "uu" + kStop;
  const std::string strings = be32(3) + "abc" + be32(2) + "de" + be32(4) + "wxyz" + be32(1) + "v";
  std::vector<uint64_t> asked;
  Reader reader(kCall + skipped + strings + kCall + be32(2) + "fg",
                [&](uint64_t bytes, std::chrono::steady_clock::time_point) { asked.push_back(bytes); });
  reader.readHead();
  TType fieldType;
  int16_t fieldId = 0;
  std::string name;
  reader.protocol.readFieldBegin(name, fieldType, fieldId);
  EXPECT_EQ(reader.protocol.skip(fieldType), skipped.size() - 3);
  EXPECT_TRUE(asked.empty());
  std::string first;
  std::string second;
  for (std::string* place : {&first, &second, &first, &first}) reader.protocol.readString(*place);
  EXPECT_EQ(first, "v");
  EXPECT_EQ(second, "de");
  reader.readHead();
  reader.protocol.readString(first);
  EXPECT_EQ(asked, (std::vector<uint64_t>{3, 5, 6, 2}));
}

// Discarded piece by piece, as a slow client's bytes come.
TEST(WireCheckingProtocol, ASkippedStringOfTheLimitIsReadToItsEndUnasked) {
  constexpr WireLimits kServerLimits{1024 * 1024, 4};
  const std::string unused;
  const auto transport = std::make_shared<TricklingTransport>(
      field(11) + be32(kServerLimits.stringBytes) + std::string(kServerLimits.stringBytes, 'x') + kStop, unused);
  WireCheckingProtocol protocol(transport, kServerLimits,
                                [](uint64_t, std::chrono::steady_clock::time_point) { FAIL() << "asked for room"; });
  EXPECT_EQ(protocol.skip(apache::thrift::protocol::T_STRUCT), 4u + 3 + kServerLimits.stringBytes + 1);
}

}  // namespace
}  // namespace rpc
