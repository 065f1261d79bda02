// Pieces of the JSON descriptions that are built as plain strings rather than
// in jsonz buffers: a text as one JSON string value (quotes included, escaped
// exactly as the jsonz writer escapes), and a flag as true or false.
#pragma once

#include <string>

namespace vesklib {

std::string jsonString(const std::string& text);

inline const char* jsonBool(bool flag) { return flag ? "true" : "false"; }

}  // namespace vesklib
