// For the tests of the HTTP road: what a qzerr::Exception thrown by a call
// carried, and the pieces of its detail text that the tests compare.
#pragma once

#include <cstdint>
#include <string>

#include "qzerr/exception.h"

namespace vesktools::testing {

struct Raised {
  int32_t code;        // 0 when nothing was thrown
  std::string detail;  // empty when nothing was thrown
};

template <typename Call>
Raised raised(Call call) {
  try {
    call();
  } catch (const qzerr::Exception& e) {
    return {e.status().code, e.what()};
  }
  return {0, ""};
}

// The text from `marker` on, or a note that names what is missing.
inline std::string after(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  return at == std::string::npos ? "(missing " + marker + " in " + text + ")" : text.substr(at);
}

// The detail's "error_constant"; empty when it has none.
inline std::string errorConstant(const std::string& detail) {
  const std::string marker = "\"error_constant\":\"";
  const size_t at = detail.find(marker);
  if (at == std::string::npos) return "";
  const size_t start = at + marker.size();
  return detail.substr(start, detail.find('"', start) - start);
}

// The object of the debug channel `name`, "{...}", when it is the detail's
// last member.
inline std::string lastChannel(const std::string& detail, const std::string& name) {
  const std::string marker = "\"" + name + "\":";
  const size_t at = detail.find(marker);
  if (at == std::string::npos) return "(missing " + marker + " in " + detail + ")";
  const size_t start = at + marker.size();
  return detail.substr(start, detail.size() - 1 - start);
}

}  // namespace vesktools::testing
