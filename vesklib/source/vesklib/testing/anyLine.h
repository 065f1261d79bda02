// A detail text with every "line" member's number written as 0, so that tests
// can compare whole details without naming the lines of raising statements.
#pragma once

#include <string>

namespace vesklib::testing {

inline std::string anyLine(std::string detail) {
  static const std::string key = "\"line\":";
  for (size_t at = detail.find(key); at != std::string::npos; at = detail.find(key, at + key.size() + 1)) {
    const size_t digits = at + key.size();
    const size_t end = detail.find_first_not_of("-0123456789", digits);
    detail.replace(digits, (end == std::string::npos ? detail.size() : end) - digits, "0");
  }
  return detail;
}

}  // namespace vesklib::testing
