#include "jsonz/jsonString.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include "jsonz/jsonz.h"

namespace jsonz {
namespace {

// The longest escape ("\u001f") takes six bytes; the array brackets, the two
// quotes, the NUL and the end mark take six more.
constexpr size_t kMaxEscapedLength = 6;
constexpr size_t kFraming = 6;

}  // namespace

std::string jsonString(const std::string& text) {
  std::vector<char> buffer(text.size() * kMaxEscapedLength + kFraming);
  char* inside = jsonz_initBuffer(buffer.data(), buffer.size(), "[]");
  if (inside == nullptr || jsonz_addString(inside, nullptr, text.c_str()) == nullptr) {
    throw std::logic_error("JSON string writer ran out of its computed room");
  }
  // Drop the array brackets around the one element.
  return std::string(buffer.data() + 1, std::strlen(buffer.data()) - 2);
}

}  // namespace jsonz
