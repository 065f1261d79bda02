#include "jsonz/jsonz.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

// A writer buffer of `size` bytes holding `text`.
struct Buffer {
  explicit Buffer(const char* text, size_t size = 128) : bytes(size, '\0') {
    last = jsonz_initBuffer(bytes.data(), size, text);
  }
  std::string text() const { return std::string(bytes.data()); }
  bool shapeKept() const {
    size_t nul = strlen(bytes.data());
    for (size_t i = nul; i + 1 < bytes.size(); ++i)
      if (bytes[i] != '\0') return false;
    return bytes.back() == 'J';
  }
  char* at(size_t offset) { return bytes.data() + offset; }
  std::string bytes;
  char* last;
};

TEST(JsonzWriter, AppendsAtClosingBracketWithCommaAfterTheFirst) {
  Buffer b("{}");
  char* p = jsonz_addInt(b.last, "a", 1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(b.text(), R"({"a":1})");
  ASSERT_NE(jsonz_addBool(p, "b", true), nullptr);
  EXPECT_EQ(b.text(), R"({"a":1,"b":true})");
  EXPECT_TRUE(b.shapeKept());
}

TEST(JsonzWriter, PlacesItemsByTheCharacterAtThePosition) {
  struct Case {
    const char* text;
    size_t offset;
    const char* expected;
  } cases[] = {
      {"[]", 1, "[5]"},         // closing bracket of an empty container
      {"[1]", 0, "[5,1]"},      // opening bracket: comma after the item
      {"[ ]", 0, "[5 ]"},       // opening bracket of an empty container
      {"[1,2]", 2, "[1,5,2]"},  // any other character (a comma): comma before
      {"", 0, "5"},             // the terminating NUL: no comma
  };
  for (const Case& c : cases) {
    Buffer b(c.text);
    EXPECT_NE(jsonz_addInt(b.at(c.offset), nullptr, 5), nullptr) << c.text;
    EXPECT_EQ(b.text(), c.expected) << c.text;
    EXPECT_TRUE(b.shapeKept()) << c.text;
  }
}

TEST(JsonzWriter, EscapesKeysAndValues) {
  Buffer b("{}");
  jsonz_addString(b.last, "k\t\"", "\t\"\x01\\/\x7f\xc3\xa9");
  EXPECT_EQ(b.text(), "{\"k\\t\\\"\":\"\\t\\\"\\u0001\\\\/\\u007f\xc3\xa9\"}");
}

TEST(JsonzWriter, FormatsEveryKindOfValue) {
  Buffer b("{}");
  char* p = b.last;
  p = jsonz_addInt(p, "i", -7);
  p = jsonz_addUInt(p, "u", 4294967295u);
  p = jsonz_addLong(p, "l", INT64_MIN);
  p = jsonz_addULong(p, "ul", UINT64_MAX);
  p = jsonz_addBool(p, "f", false);
  p = jsonz_addRaw(p, "r", "[1,{}]");
  char* inside = jsonz_addObject(p, "o") - 1;
  jsonz_addArray(inside, "a");
  EXPECT_EQ(b.text(),
            R"({"i":-7,"u":4294967295,"l":-9223372036854775808,"ul":18446744073709551615,)"
            R"("f":false,"r":[1,{}],"o":{"a":[]}})");
}

TEST(JsonzWriter, RefusesAnItemLargerThanTheFreeRoom) {
  // 16 bytes hold {}, its NUL and the end mark: 12 bytes are free.
  Buffer exact("{}", 16);
  EXPECT_NE(jsonz_addString(exact.last, "k", "123456"), nullptr);  // 12 bytes
  EXPECT_EQ(exact.text(), R"({"k":"123456"})");
  EXPECT_TRUE(exact.shapeKept());
  Buffer full("{}", 16);
  EXPECT_EQ(jsonz_addString(full.last, "k", "1234567"), nullptr);  // 13 bytes
  EXPECT_EQ(full.text(), "{}");
  EXPECT_TRUE(full.shapeKept());
}

TEST(JsonzWriter, InitBufferNeedsRoomForTheNulAndTheEndMark) {
  std::string bytes(4, 'x');
  EXPECT_EQ(jsonz_initBuffer(bytes.data(), 4, "{}"), bytes.data() + 1);
  EXPECT_EQ(bytes, std::string("{}\0J", 4));
  EXPECT_EQ(jsonz_initBuffer(bytes.data(), 4, "{ }"), nullptr);
}

TEST(JsonzReader, ValidatorReportsCodeAndPosition) {
  struct Case {
    const char* text;
    int32_t code;
    size_t position;
  } cases[] = {
      {R"({"a":1,})", jsonz_errorTrailingComma, 7},
      {R"({"a" 1})", jsonz_errorColonExpected, 5},
      {"[1 2]", jsonz_errorCommaExpected, 3},
      {"{} x", jsonz_errorTrailingChar, 3},
      {"x", jsonz_errorDoubleQuoteExpected, 0},
      {"\"a\\qb\"", jsonz_errorInvalidStringSequence, 2},
      {"\"a\\u12g4\"", jsonz_errorInvalidStringSequence, 2},
      {"\"a\x01\"", jsonz_errorDoubleQuoteExpected, 2},
      {"\"abc", jsonz_errorDoubleQuoteExpected, 4},
      {R"({"a":1)", jsonz_errorCurlyBracketExpected, 6},
      {"[1,", jsonz_errorDoubleQuoteExpected, 3},
      {"[1", jsonz_errorSquareBracketExpected, 2},
      {"[1,]", jsonz_errorTrailingComma, 3},
      {"{1:2}", jsonz_errorDoubleQuoteExpected, 1},
  };
  for (const Case& c : cases) {
    const char* at = nullptr;
    int32_t code = 0;
    EXPECT_FALSE(jsonz_validate(c.text, &at, &code)) << c.text;
    EXPECT_EQ(code, c.code) << c.text;
    EXPECT_EQ(at - c.text, static_cast<ptrdiff_t>(c.position)) << c.text;
  }
}

TEST(JsonzReader, ValidatorAcceptsLooseNumbersAndSurroundingSpace) {
  for (const char* text : {"-", "1.", "1e+", "007", " \t\r\n{ \"a\" : [ true , false , null ] }\n",
                           "\"\\u00e9\\/\"", "[]", "{}"}) {
    EXPECT_TRUE(jsonz_validate(text, nullptr, nullptr)) << text;
  }
}

// `levels` arrays, one inside the other, or objects; unclosed: the opening
// brackets alone.
std::string nested(size_t levels, bool objects = false, bool closed = true) {
  std::string text;
  for (size_t i = 0; i < levels; ++i) text += objects ? "{\"a\":" : "[";
  if (!closed) return text;
  text += objects ? "1" : "";
  return text + std::string(levels, objects ? '}' : ']');
}

// Every entry point that scans a value, on deep texts: those past the limit
// are refused (the million levels too, without running the stack out).
TEST(JsonzReader, EveryEntryPointStopsAtTheNestingLimit) {
  // Whether the entry point's scan got through a text of that nesting.
  using Scans = bool (*)(size_t levels, bool objects, bool closed);
  const struct {
    const char* name;
    Scans scans;
  } entryPoints[] = {
      {"validate",
       [](size_t levels, bool objects, bool closed) {
         return jsonz_validate(nested(levels, objects, closed).c_str(), nullptr, nullptr);
       }},
      {"parseValue",
       [](size_t levels, bool objects, bool closed) {
         jsonz_Token token;
         return jsonz_parseValue(nested(levels, objects, closed).c_str(), &token) != nullptr;
       }},
      {"findKey",  // skips the member "a" (its object is the outermost level) to reach "b"
       [](size_t levels, bool objects, bool closed) {
         const std::string text = "{\"a\":" + nested(levels - 1, objects, closed) + ",\"b\":1}";
         return jsonz_findKey(text.c_str(), "b") != nullptr;
       }},
      {"findEnd",
       [](size_t levels, bool objects, bool closed) {
         return jsonz_findEnd(nested(levels, objects, closed).c_str()) != nullptr;
       }},
  };
  const struct {
    size_t levels;
    bool objects;
    bool closed;
    bool scanned;
  } texts[] = {
      {500, false, true, true},
      {jsonz_maxNestingDepth, false, true, true},
      {jsonz_maxNestingDepth, true, true, true},
      {jsonz_maxNestingDepth + 1, false, true, false},
      {jsonz_maxNestingDepth + 1, true, true, false},
      {1000000, false, false, false},
      {1000000, false, true, false},
      {1000000, true, true, false},
  };
  for (const auto& t : texts) {
    const std::string row = std::to_string(t.levels) + (t.objects ? " objects" : " arrays") +
                            (t.closed ? "" : " unclosed");
    for (const auto& entry : entryPoints) {
      EXPECT_EQ(entry.scans(t.levels, t.objects, t.closed), t.scanned) << entry.name << " on " << row;
    }
    // The readers of one kind of value answer their default for a container.
    const std::string text = nested(t.levels, t.objects, t.closed);
    EXPECT_STREQ(jsonz_getString(text.c_str(), "d", nullptr, nullptr), "d") << row;
    EXPECT_EQ(jsonz_getInt(text.c_str(), 7, nullptr), 7) << row;
    EXPECT_TRUE(jsonz_getBool(text.c_str(), true, nullptr)) << row;
  }
}

TEST(JsonzReader, TooDeepANestingIsAValueExpectedAtTheBracketPastTheLimit) {
  const std::string text = "{\"x\":" + nested(jsonz_maxNestingDepth);
  const char* at = nullptr;
  int32_t code = 0;
  EXPECT_FALSE(jsonz_validate(text.c_str(), &at, &code));
  EXPECT_EQ(code, jsonz_errorValueExpected);
  EXPECT_EQ(at - text.c_str(), static_cast<ptrdiff_t>(5 + jsonz_maxNestingDepth - 1));
}

// A received text is judged by all its bytes, not only those before a NUL.
TEST(JsonzReader, ValidateLengthRefusesANulInsideTheText) {
  struct Case {
    std::string text;
    bool valid;
    int32_t code;
    size_t position;
  } cases[] = {
      {std::string("{\"version\":1}"), true, 0, 0},
      {std::string("{\"version\":1}\0garbage", 21), false, jsonz_errorTrailingChar, 13},
      {std::string("{\"version\":1} \0", 15), false, jsonz_errorTrailingChar, 14},
      {std::string("[1,\0 2]", 7), false, jsonz_errorDoubleQuoteExpected, 3},
      {std::string("\"a\0b\"", 5), false, jsonz_errorDoubleQuoteExpected, 2},
  };
  for (const Case& c : cases) {
    const char* at = nullptr;
    int32_t code = 0;
    EXPECT_EQ(jsonz_validateLength(c.text.c_str(), c.text.size(), &at, &code), c.valid) << c.text;
    if (c.valid) continue;
    EXPECT_EQ(code, c.code) << c.text;
    EXPECT_EQ(at - c.text.c_str(), static_cast<ptrdiff_t>(c.position)) << c.text;
  }
}

TEST(JsonzReader, ErrorNames) {
  EXPECT_STREQ(jsonz_errorName(1), "jsonz_errorValueExpected");
  EXPECT_STREQ(jsonz_errorName(9), "jsonz_errorTrailingChar");
  EXPECT_STREQ(jsonz_errorName(0), "unknown");
  EXPECT_STREQ(jsonz_errorName(10), "unknown");
}

TEST(JsonzReader, ParseValueFillsTheToken) {
  jsonz_Token t;
  const char* text = "  \"a\\nb\" rest";
  EXPECT_EQ(jsonz_parseValue(text, &t), text + 8);
  EXPECT_EQ(t.type, jsonz_typeString);
  EXPECT_EQ(std::string(t.start, t.length), "a\\nb");

  EXPECT_NE(jsonz_parseValue("-1.5e3", &t), nullptr);
  EXPECT_EQ(t.type, jsonz_typeNumber);
  EXPECT_EQ(t.length, 6u);
  EXPECT_TRUE(t.extra);

  EXPECT_NE(jsonz_parseValue("false", &t), nullptr);
  EXPECT_EQ(t.type, jsonz_typeBool);
  EXPECT_FALSE(t.extra);

  EXPECT_EQ(jsonz_parseValue(nullptr, &t), nullptr);
  EXPECT_EQ(t.type, jsonz_typeError);
  EXPECT_EQ(t.extra, jsonz_errorValueExpected);
}

TEST(JsonzReader, FindKeyDecodesKeysAndStaysAtTheTopLevel) {
  const char* text = R"({"x":{"ab":1},"a\u0062":2,"\u00e9\ud83d\ude00":3,"AB":4})";
  EXPECT_EQ(jsonz_getInt(jsonz_findKey(text, "ab"), -1, nullptr), 2);
  EXPECT_EQ(jsonz_getInt(jsonz_findKey(text, "\xc3\xa9\xf0\x9f\x98\x80"), -1, nullptr), 3);
  EXPECT_EQ(jsonz_findKey(text, "a"), nullptr);
  EXPECT_EQ(jsonz_findKey("[1]", "a"), nullptr);
  EXPECT_EQ(jsonz_findKey(R"({"a":1})", "ab"), nullptr);
}

TEST(JsonzReader, FindEndMatchesBrackets) {
  const char* text = R"({"a":[1,"]"],"b":{}} tail)";
  EXPECT_EQ(jsonz_findEnd(text), text + 19);
  EXPECT_EQ(jsonz_findEnd(text + 5), text + 11);
  EXPECT_EQ(jsonz_findEnd(text + 1), nullptr);
  EXPECT_EQ(jsonz_findEnd("{\"a\":}"), nullptr);
}

TEST(JsonzReader, GetStringReturnsRawTextOrTheDefault) {
  size_t length = 0;
  const char* end = nullptr;
  const char* text = R"("a\"b")";
  EXPECT_EQ(jsonz_getString(text, "d", &length, &end), text + 1);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(end, text + 6);
  EXPECT_STREQ(jsonz_getString("12", "def", &length, &end), "def");
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(end, nullptr);
  EXPECT_EQ(jsonz_getString("12", nullptr, &length, &end), nullptr);
  EXPECT_EQ(length, 0u);
}

TEST(JsonzReader, GetIntConvertsLikePercentIAndTruncates) {
  struct Case {
    const char* text;
    int32_t expected;
  } cases[] = {
      {"42", 42},         {"-42", -42},       {"010", 8},          {"2.7", 2},
      {"-2.7", -2},       {"1e3", 1000},      {"2147483647", INT32_MAX},
      {"1e12", -1},       {"-1e12", -1},      {"2147483648", -1},  {"\"5\"", -1},
      {"true", -1},       {"-", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(jsonz_getInt(c.text, -1, nullptr), c.expected) << c.text;
}

// Under the decimal-comma locale the build made for this test.
TEST(JsonzReader, GetIntReadsDecimalPointsUnderACommaLocale) {
  const std::string saved = setlocale(LC_NUMERIC, nullptr);
  setenv("LOCPATH", JSONZ_TEST_LOCALE_PATH, 1);
  const bool commaLocale = setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  if (commaLocale) {
    EXPECT_STREQ(localeconv()->decimal_point, ",");
    EXPECT_EQ(jsonz_getInt("2.7", -1, nullptr), 2);
    EXPECT_EQ(jsonz_getInt("-1.5e1", -1, nullptr), -15);
  }
  setlocale(LC_NUMERIC, saved.c_str());
  unsetenv("LOCPATH");
  EXPECT_TRUE(commaLocale) << "no de_DE.UTF-8 under " << JSONZ_TEST_LOCALE_PATH;
}

TEST(JsonzReader, GetBool) {
  const char* end = nullptr;
  EXPECT_TRUE(jsonz_getBool(" true", false, &end));
  EXPECT_NE(end, nullptr);
  EXPECT_FALSE(jsonz_getBool("false", true, nullptr));
  EXPECT_TRUE(jsonz_getBool("1", true, &end));
  EXPECT_EQ(end, nullptr);
}

}  // namespace
