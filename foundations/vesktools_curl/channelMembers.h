// The members of one debug-channel object, written as JSON text for the
// errors of the HTTP road, whose channel objects carry no leading "message":
//
//   QZERR_ERROR(qzerr::kX).addRaw("qzjxshared_debug",
//       ChannelMembers().add("function", name).add("CURLcode", code).json()).raise();
//
// Texts are escaped by the jsonz writer; raw members are inserted as given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesktools {

class ChannelMembers {
 public:
  ChannelMembers();

  ChannelMembers& add(const char* key, const std::string& text);
  ChannelMembers& add(const char* key, int32_t value);
  ChannelMembers& add(const char* key, int64_t value);
  // `json` must be one JSON value.
  ChannelMembers& addRaw(const char* key, const std::string& json);

  // The object's text, "{...}".
  std::string json() const { return buffer_.data(); }

 private:
  template <typename Write>
  ChannelMembers& append(Write write);

  std::vector<char> buffer_;
};

}  // namespace vesktools
