// For tests: a status detail with the number of its first "line" member
// replaced by '#', so a whole detail can be compared with a literal text.
#pragma once

#include <string>

namespace vesksapi::testing {

inline std::string maskedLine(std::string detail) {
  const std::string key = "\"line\":";
  const size_t at = detail.find(key);
  if (at == std::string::npos) return detail;
  const size_t start = at + key.size();
  const size_t end = detail.find_first_not_of("-0123456789", start);
  return detail.replace(start, end - start, "#");
}

}  // namespace vesksapi::testing
