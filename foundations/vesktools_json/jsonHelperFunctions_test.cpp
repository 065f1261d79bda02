#include "vesktools_json/jsonHelperFunctions.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "jsonz/jsonString.h"
#include "testing/raised.h"

namespace {

using vesk::testing::after;
using vesk::testing::raised;
using vesk::testing::Raised;

TEST(ValidateJsonString, AcceptsOneValueAndReportsWhereItStopped) {
  EXPECT_EQ(raised([] { vesktools::validateJsonString(R"({"a":[1]})", "m", "s"); }).code, 0);
  const Raised error = raised([] { vesktools::validateJsonString(R"({"a":1}x)", "Bad answer.", "/dev/1"); });
  EXPECT_EQ(error.code, -52005);
  EXPECT_EQ(after(error.detail, "\"qzsyncdomain_debug\""),
            R"("qzsyncdomain_debug":{"message":"Bad answer.","jsonzError":"jsonz_errorTrailingChar",)"
            R"("position":"x","jsonString":"{\"a\":1}x","source":"/dev/1"}})");
}

// Deep nesting is refused before the tree layer would be asked to parse it,
// and all of a text's bytes count.
TEST(ValidateJsonString, RefusesNestingPastTheLimitAndANulInside) {
  const struct {
    std::string text;
    const char* jsonzError;  // null: valid
  } cases[] = {
      {std::string(500, '[') + std::string(500, ']'), nullptr},
      {std::string(1000000, '['), "jsonz_errorValueExpected"},
      {std::string(1001, '[') + std::string(1001, ']'), "jsonz_errorValueExpected"},
      {std::string("{\"a\":1}\0{}", 10), "jsonz_errorTrailingChar"},
  };
  for (const auto& c : cases) {
    const Raised error = raised([&] { vesktools::validateJsonString(c.text, "m", "s"); });
    const std::string head = c.text.substr(0, 10);
    if (c.jsonzError == nullptr) {
      EXPECT_EQ(error.code, 0) << head;
      continue;
    }
    EXPECT_EQ(error.code, -52005) << head;
    EXPECT_NE(error.detail.find(std::string(R"("jsonzError":")") + c.jsonzError + "\""), std::string::npos) << head;
  }
}

// cJSON would end a string at an escaped NUL; a backslash escaped before a
// "u0000" is no such escape.
TEST(ValidateJsonString, RefusesAnEscapedNulInAnyString) {
  const struct {
    const char* text;
    const char* position;  // null: valid
  } cases[] = {
      {R"({"uri":"/a\u0000/b"})", R"(\u0000/b"})"},
      {R"({"u\u0000":1})", R"(\u0000":1})"},
      {R"(["x\"\u0000"])", R"(\u0000"])"},
      {R"({"uri":"/a\\u0000"})", nullptr},
      {R"({"uri":"\u0001\u00000"})", R"(\u00000"})"},
      {R"({"uri":"\u0001"})", nullptr},
  };
  for (const auto& c : cases) {
    const Raised error = raised([&] { vesktools::validateJsonString(c.text, "Bad.", "s"); });
    if (c.position == nullptr) {
      EXPECT_EQ(error.code, 0) << c.text;
      continue;
    }
    EXPECT_EQ(error.code, -52005) << c.text;
    EXPECT_EQ(after(error.detail, "\"qzsyncdomain_debug\""),
              R"("qzsyncdomain_debug":{"message":"Bad.","jsonzError":"jsonz_errorInvalidStringSequence",)"
              R"("position":)" + jsonz::jsonString(c.position) + R"(,"jsonString":)" + jsonz::jsonString(c.text) +
                  R"(,"source":"s"}})")
        << c.text;
  }
}

// Both echoes of a huge text are cut; the members and their order stay.
TEST(ValidateJsonString, EchoesAHugeTextOnlyInPart) {
  const std::string huge(16 << 20, '\x01');
  const std::string head = jsonz::jsonString(huge.substr(0, 4096) + "...[cut from 16777216 bytes]");
  const Raised error = raised([&] { vesktools::validateJsonString(huge, "Bad.", "s"); });
  EXPECT_EQ(error.code, -52005);
  EXPECT_EQ(after(error.detail, "\"qzsyncdomain_debug\""),
            R"("qzsyncdomain_debug":{"message":"Bad.","jsonzError":"jsonz_errorDoubleQuoteExpected",)"
            R"("position":)" + head + R"(,"jsonString":)" + head + R"(,"source":"s"}})");
  EXPECT_LT(error.detail.size(), 2 * 6 * 4096 + 512u);
}

TEST(CheckRemoteApiVersion, AcceptsSupportedNullAndTruncatedVersions) {
  for (const char* json : {R"({"version":1})", R"({"VERSION":1})", R"({"version":1.9})", R"({"version":null})",
                           R"({"version":0}), R"({"version":-0.5})"}) {
    EXPECT_EQ(raised([&] { vesktools::checkRemoteApiVersion("/u", json, 1, "missing", "newer"); }).code, 0)
        << json;
  }
}

TEST(CheckRemoteApiVersion, RejectsWithTheMembersOfEachCase) {
  struct Case {
    const char* json;
    int32_t code;
    const char* tail;
  } cases[] = {
      {R"({"version":2})", -52002,
       R"("qzsyncdomain_debug":{"message":"newer","remoteVersion":2,"maxSupportedVersion":1,"uri":"/u"}})"},
      {R"({"other":1})", -52005, R"("qzsyncdomain_debug":{"message":"missing","JsonKey":"version","uri":"/u"}})"},
      {R"({"version":"1"})", -52004,
       R"("qzsync_debug":{"message":"Error parsing: expected data type does not match the parsed value.",)"
       R"("JSON":"{\"version\":\"1\"}","key":"version"}})"},
      {"{", -52005, R"("error_constant":"jsonErrorsInvalidJSON")"},
  };
  for (const Case& c : cases) {
    const Raised error = raised([&] { vesktools::checkRemoteApiVersion("/u", c.json, 1, "missing", "newer"); });
    EXPECT_EQ(error.code, c.code) << c.json;
    const std::string tail = c.tail;
    EXPECT_EQ(after(error.detail, tail.substr(0, tail.find(':'))).substr(0, tail.size()), tail) << c.json;
  }
  const Raised errCode = raised([] { vesktools::checkRemoteApiVersion("/u", R"({"version":"1"})", 1, "m", "n"); });
  EXPECT_EQ(errCode.detail.find(R"({"error_constant":"errCode","file":"jsonHelperFunctions")"), 0u);
}

TEST(CheckRemoteApiVersion, OutOfRangeNumbersGiveTheNumericConversionError) {
  struct Case {
    const char* json;
    const char* what;
  } cases[] = {{R"({"version":-1})", "bad numeric conversion: negative overflow"},
               {R"({"version":4294967296})", "bad numeric conversion: positive overflow"},
               {R"({"version":1e400})", "bad numeric conversion: positive overflow"},
               {R"({"version":-1e400})", "bad numeric conversion: negative overflow"}};
  for (const Case& c : cases) {
    try {
      vesktools::checkRemoteApiVersion("/u", c.json, 1, "m", "n");
      ADD_FAILURE() << c.json;
    } catch (const std::bad_cast& e) {
      EXPECT_STREQ(e.what(), c.what);
    }
  }
}

}  // namespace
