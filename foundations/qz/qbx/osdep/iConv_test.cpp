#include "qz/qbx/osdep/iConv.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "qz/qbx/exception.h"

namespace qz::qbx::osdep {
namespace {

// Converts `text` within `room` bytes and returns what was written.
std::string convert(const wchar_t* text, const char* charset, size_t room = 64) {
  char buffer[64];
  char* end = buffer + room;
  iconvFromWide(text, text + std::wcslen(text), charset, buffer, &end);
  return std::string(buffer, end);
}

TEST(QbxIconv, ConvertsAndReplacesWhatTheTargetCannotHold) {
  struct Case {
    const wchar_t* text;
    const char* charset;
    size_t room;
    std::string expected;
  };
  const Case cases[] = {
      {L"", "UTF-8", 64, ""},
      {L"a\u00e9\u20ac", "UTF-8", 64, "a\xc3\xa9\xe2\x82\xac"},
      {L"a\u00e9b", "ASCII", 64, "a?b"},
      {L"\u20ac\u20acz", "ISO-8859-1", 64, "??z"},
      {L"\u00e9", "ISO-8859-1", 64, "\xe9"},
      // The output room runs out: what fits is kept.
      {L"abcdef", "ASCII", 3, "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.charset << " '" << c.text << "'");
    EXPECT_EQ(convert(c.text, c.charset, c.room), c.expected);
  }
}

TEST(QbxIconv, UnknownCharsetRaisesInvalidLocale) {
  try {
    convert(L"abc", "NO-SUCH-CHARSET-QZ");
    FAIL() << "no exception";
  } catch (const exception::InvalidLocale& e) {
    EXPECT_STREQ(e.file(), "qz/qbx/osdep/IConv");
    EXPECT_EQ(e.line(), 60);
    EXPECT_EQ(e.code(), -1967362012);
  }
}

}  // namespace
}  // namespace qz::qbx::osdep
