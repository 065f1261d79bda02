#include "qz/qbx/basicString.h"

#include <gtest/gtest.h>

#include <string>

#include "qz/qbx/exception.h"
#include "qz/qbx/narrowString.h"
#include "qz/qbx/wideString.h"

namespace qz::qbx {
namespace {

std::wstring text(const WideString& s) { return std::wstring(s.begin(), s.end()); }

TEST(QbxString, ConstructsFromEachSource) {
  EXPECT_EQ(text(WideString(static_cast<const wchar_t*>(nullptr))), L"");
  EXPECT_EQ(text(WideString(L"abc")), L"abc");
  const wchar_t range[] = L"abcdef";
  EXPECT_EQ(text(WideString(range + 1, range + 4)), L"bcd");
  EXPECT_EQ(text(WideString(size_t{3}, L'x')), L"xxx");
  EXPECT_EQ(text(WideString(WideString(L"ab"), WideString(L"cd"))), L"abcd");
  const WideString original(L"copy");
  WideString assigned;
  assigned = original;
  EXPECT_EQ(text(WideString(original)), L"copy");
  EXPECT_EQ(text(assigned), L"copy");
  EXPECT_STREQ(NarrowString(static_cast<const char*>(nullptr)).c_str(), "");
  EXPECT_STREQ(NarrowString(NarrowString("narrow")).c_str(), "narrow");
  // Always terminated, the empty string included.
  EXPECT_EQ(*WideString().c_str(), L'\0');
  EXPECT_TRUE(WideString().empty());
  EXPECT_EQ(WideString(L"abc").size(), 3u);
}

struct RfindCase {
  const wchar_t* haystack;
  const wchar_t* needle;
  uint32_t pos;
  uint32_t expected;
};

TEST(QbxString, RfindFindsTheLastStartNotAfterPos) {
  const RfindCase cases[] = {
      {L"abc", L".", kNoPosition, kNoPosition},
      {L"a.b.c", L".", kNoPosition, 3},
      {L"a.b.c", L".", 3, 3},
      {L"a.b.c", L".", 2, 1},
      {L"a.b.c", L".", 0, kNoPosition},
      {L"abcabc", L"abc", kNoPosition, 3},
      {L"abcabc", L"abc", 2, 0},
      {L"abc", L"abc", 0, 0},
      {L"ab", L"abc", kNoPosition, kNoPosition},
      {L"abc", L"", 1, 1},
      {L"abc", L"", kNoPosition, 3},
      {L"", L"", kNoPosition, 0},
      {L"", L"a", kNoPosition, kNoPosition},
  };
  for (const RfindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << c.needle << "' in '" << c.haystack << "' from " << c.pos);
    const WideString haystack(c.haystack);
    EXPECT_EQ(haystack.rfind(c.needle, c.pos), c.expected);
    EXPECT_EQ(haystack.rfind(WideString(c.needle), c.pos), c.expected);
  }
  EXPECT_EQ(NarrowString("a.b.c").rfind("."), 3u);
}

TEST(QbxString, AppendGrowsAndKeepsTheText) {
  WideString s(L"ab");
  s.append(nullptr);
  s.append(nullptr, 5);
  s.append(L"cdef", 2);
  s.append(L"");
  EXPECT_EQ(text(s), L"abcd");
  std::wstring expected = L"abcd";
  for (int i = 0; i < 100; ++i) {
    s.append(L"xyz");
    expected += L"xyz";
  }
  EXPECT_EQ(text(s), expected);
  EXPECT_EQ(s.c_str()[s.size()], L'\0');
}

// The string's buffer is exactly full after construction, so each first
// append below must move it; the source must be read from the new place.
TEST(QbxString, AppendOfItsOwnTextStaysCorrect) {
  WideString whole(L"abc");
  whole.append(whole.c_str());
  EXPECT_EQ(text(whole), L"abcabc");

  WideString middle(L"0123456789");
  middle.append(middle.begin() + 3, 4);
  EXPECT_EQ(text(middle), L"01234567893456");

  WideString tail(L"head-tail");
  tail.append(tail.begin() + 5);
  EXPECT_EQ(text(tail), L"head-tailtail");
  // Now with room to spare: no move, still the same text.
  tail.append(tail.begin(), 4);
  EXPECT_EQ(text(tail), L"head-tailtailhead");

  NarrowString narrow("xy");
  narrow.append(narrow.begin() + 1, 1);
  EXPECT_STREQ(narrow.c_str(), "xyy");
}

struct LimitCase {
  size_t count;
  const char* file;
  int32_t line;
};

// Checked before anything is allocated, so no test needs gigabytes.
TEST(QbxString, LengthsPastTheLimitsRaiseOutOfRange) {
  const LimitCase wide[] = {
      {0x100000000ull, "./qz/qbx/NumericCast", 67},
      {0xffffffffull, "./qz/qbx/SafeInteger", 125},
      {0x40000000ull, "./qz/qbx/SafeInteger", 163},
      {0x3fffffffull, "./qz/qbx/SafeInteger", 163},
  };
  for (const LimitCase& c : wide) {
    SCOPED_TRACE(c.count);
    try {
      WideString s(c.count, L'x');
      ADD_FAILURE() << "no exception";
    } catch (const exception::OutOfRange& e) {
      EXPECT_STREQ(e.file(), c.file);
      EXPECT_EQ(e.line(), c.line);
    }
  }
  EXPECT_THROW(NarrowString(size_t{0xffffffffull}, 'x'), exception::OutOfRange);
  EXPECT_THROW(NarrowString(size_t{0x100000000ull}, 'x'), exception::OutOfRange);
}

}  // namespace
}  // namespace qz::qbx
