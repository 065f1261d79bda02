#include "vesktools_curl/channelMembers.h"

#include <cstring>

#include "jsonz/jsonz.h"

namespace vesktools {
namespace {

constexpr size_t kInitialSize = 256;

}  // namespace

ChannelMembers::ChannelMembers() : buffer_(kInitialSize) { jsonz_initBuffer(buffer_.data(), buffer_.size(), "{}"); }

// The jsonz writers leave the buffer unchanged when the member does not fit,
// so a failed write is retried in a buffer twice the size.
template <typename Write>
ChannelMembers& ChannelMembers::append(Write write) {
  for (;;) {
    char* closingBrace = buffer_.data() + strlen(buffer_.data()) - 1;
    if (write(closingBrace) != nullptr) return *this;
    std::vector<char> larger(buffer_.size() * 2);
    jsonz_initBuffer(larger.data(), larger.size(), buffer_.data());
    buffer_.swap(larger);
  }
}

ChannelMembers& ChannelMembers::add(const char* key, const std::string& text) {
  return append([&](char* at) { return jsonz_addString(at, key, text.c_str()); });
}

ChannelMembers& ChannelMembers::add(const char* key, int32_t value) {
  return append([&](char* at) { return jsonz_addInt(at, key, value); });
}

ChannelMembers& ChannelMembers::add(const char* key, int64_t value) {
  return append([&](char* at) { return jsonz_addLong(at, key, value); });
}

ChannelMembers& ChannelMembers::addRaw(const char* key, const std::string& json) {
  return append([&](char* at) { return jsonz_addRaw(at, key, json.c_str()); });
}

}  // namespace vesktools
