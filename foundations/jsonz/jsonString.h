// Pieces of JSON built as plain strings rather than in jsonz buffers: a text
// as one JSON string value (quotes included, escaped exactly as the jsonz
// writer escapes), and a flag as true or false. Text without '"', '\' or
// control characters comes back unchanged between its quotes.
#pragma once

#include <string>

namespace jsonz {

std::string jsonString(const std::string& text);

inline const char* jsonBool(bool flag) { return flag ? "true" : "false"; }

}  // namespace jsonz
