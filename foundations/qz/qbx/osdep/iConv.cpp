#include "qz/qbx/osdep/iConv.h"

#include <iconv.h>

#include "qz/qbx/exception.h"

namespace qz::qbx::osdep {
namespace {

constexpr char kSourceCharset[] = "wchar_t";
constexpr char kReplacement = '?';

}  // namespace

void iconvFromWide(const wchar_t* inputBegin, const wchar_t* inputEnd, const char* targetCharset,
                   char* outputBegin, char** outputEnd) {
  iconv_t converter = iconv_open(targetCharset, kSourceCharset);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    // The site keeps its report name whatever the build calls this file.
    throw exception::InvalidLocale("qz/qbx/osdep/IConv", 60);
  }
  char* input = reinterpret_cast<char*>(const_cast<wchar_t*>(inputBegin));
  size_t inputLeft = static_cast<size_t>(inputEnd - inputBegin) * sizeof(wchar_t);
  char* output = outputBegin;
  size_t outputLeft = static_cast<size_t>(*outputEnd - outputBegin);
  while (inputLeft > 0 && outputLeft > 0) {
    if (iconv(converter, &input, &inputLeft, &output, &outputLeft) != static_cast<size_t>(-1)) break;
    if (inputLeft == 0 || outputLeft == 0) break;
    // Stand in for the one character the conversion stopped at, and go on.
    *output++ = kReplacement;
    --outputLeft;
    input += sizeof(wchar_t);
    inputLeft -= sizeof(wchar_t);
  }
  iconv_close(converter);
  *outputEnd = output;
}

}  // namespace qz::qbx::osdep
