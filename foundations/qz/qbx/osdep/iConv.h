// Conversion of wide text into a named character set through iconv(3).
// Conversion never fails on a character: one the target cannot represent
// becomes '?'. Only an unknown character set raises.
#pragma once

#include <cwchar>

namespace qz::qbx::osdep {

// Converts [inputBegin, inputEnd) into `targetCharset` ("" for the current
// locale's) within [outputBegin, *outputEnd) and sets *outputEnd to the end of
// what was written (no terminator is added). Stops early when the output room
// is used up. Raises exception::InvalidLocale when the converter cannot open.
void iconvFromWide(const wchar_t* inputBegin, const wchar_t* inputEnd, const char* targetCharset,
                   char* outputBegin, char** outputEnd);

}  // namespace qz::qbx::osdep
