#include "jsonz/jsonString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JsonString, QuotesAndEscapesLikeTheWriter) {
  // Every byte an escape of the longest kind: the room computed must suffice.
  const std::string longestInput(100, '\x1f');
  std::string longestOutput = "\"";
  for (size_t i = 0; i < longestInput.size(); ++i) longestOutput += "\\u001f";
  longestOutput += "\"";

  struct Case {
    std::string text;
    std::string expected;
  } const cases[] = {
      {"/localhost/vesks/timescales/system", R"("/localhost/vesks/timescales/system")"},
      {"", R"("")"},
      {R"(/a"b\c)", R"("/a\"b\\c")"},
      {"\t\n\x01\x7f\xc3\xa9", "\"\\t\\n\\u0001\\u007f\xc3\xa9\""},
      {longestInput, longestOutput},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(jsonz::jsonString(c.text), c.expected);
  }
  EXPECT_STREQ(jsonz::jsonBool(true), "true");
  EXPECT_STREQ(jsonz::jsonBool(false), "false");
}

}  // namespace
