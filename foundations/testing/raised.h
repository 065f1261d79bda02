// For tests: what a call raised as a qzerr::Exception (code and detail
// text), and the pieces of a detail text that tests compare.
#pragma once

#include <cstdint>
#include <string>

#include "qzerr/exception.h"

namespace vesk::testing {

struct Raised {
  int32_t code;        // 0 when the call returned
  std::string detail;  // empty when the call returned
  bool thrown;         // whether the call raised at all
};

template <typename Call>
Raised raised(Call&& call) {
  try {
    call();
  } catch (const qzerr::Exception& e) {
    return {e.status().code, e.what(), true};
  }
  return {0, "", false};
}

// The detail's "error_constant" text; empty when it has none.
inline std::string errorConstant(const std::string& detail) {
  const std::string marker = "\"error_constant\":\"";
  const size_t at = detail.find(marker);
  if (at == std::string::npos) return "";
  const size_t start = at + marker.size();
  return detail.substr(start, detail.find('"', start) - start);
}

// The text from `marker` on, or a note naming what is missing from where.
inline std::string after(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  return at == std::string::npos ? "(missing " + marker + " in " + text + ")" : text.substr(at);
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

}  // namespace vesk::testing
