#include "qzerr/errorDetail.h"

#include <string>

#include <gtest/gtest.h>

#include "jsonz/jsonString.h"
#include "jsonz/jsonz.h"
#include "testing/testStatus.h"

namespace {

using jsonz::jsonString;
using vesk::testing::TestStatus;

constexpr size_t kLimit = 4096;

std::string marker(size_t length) { return "...[cut from " + std::to_string(length) + " bytes]"; }

// The detail's channel object after one text member was added to it.
std::string channelWith(const std::string& text) {
  TestStatus st;
  QZERR_STATUS_ERROR(st.get(), qzerr::kInvalidParameter).channel("c", "m").add("text", text).add("after", 1u);
  const std::string detail = st.json();
  return detail.substr(detail.find("\"c\":"));
}

TEST(ErrorDetailText, EchoesAtMostALimitCutWhereACharacterStarts) {
  const std::string euro = "\xE2\x82\xAC";     // 3 bytes
  const std::string smile = "\xF0\x9F\x98\x80";  // 4 bytes
  const struct {
    const char* name;
    std::string text;
    std::string echoed;
  } cases[] = {
      {"short", "/a\"b", "/a\"b"},
      {"exactly the limit", std::string(kLimit, 'a'), std::string(kLimit, 'a')},
      {"one byte more", std::string(kLimit + 1, 'a'), std::string(kLimit, 'a') + marker(kLimit + 1)},
      {"a character across the limit", std::string(kLimit - 1, 'a') + euro,
       std::string(kLimit - 1, 'a') + marker(kLimit + 2)},
      {"a character ending at the limit", std::string(kLimit - 3, 'a') + euro + "b",
       std::string(kLimit - 3, 'a') + euro + marker(kLimit + 1)},
      {"four bytes starting one before the limit", std::string(kLimit - 1, 'a') + smile,
       std::string(kLimit - 1, 'a') + marker(kLimit + 3)},
      {"four bytes starting three before the limit", std::string(kLimit - 3, 'a') + smile,
       std::string(kLimit - 3, 'a') + marker(kLimit + 1)},
      {"16 MiB of control characters", std::string(16 << 20, '\x01'),
       std::string(kLimit, '\x01') + marker(16 << 20)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(channelWith(c.text), R"("c":{"message":"m","text":)" + jsonString(c.echoed) + R"(,"after":1}})");
  }
}

// Only texts are cut: raw JSON stays whole and so stays JSON.
TEST(ErrorDetailText, RawJsonAndTopLevelTexts) {
  std::string array = "[";
  for (int i = 0; i < 5000; ++i) array += (i ? ",\"" : "\"") + std::to_string(i) + "\"";
  array += "]";
  TestStatus st;
  QZERR_STATUS_ERROR(st.get(), qzerr::kInvalidParameter)
      .channel("c")
      .addRaw("raw", array)
      .addTopLevel("std_exception_what", std::string(kLimit + 7, 'w').c_str());
  const std::string detail = st.json();
  EXPECT_TRUE(jsonz_validate(detail.c_str(), nullptr, nullptr));
  EXPECT_NE(detail.find(R"("c":{"raw":)" + array + "}"), std::string::npos);
  EXPECT_NE(detail.find(R"("std_exception_what":")" + std::string(kLimit, 'w') + marker(kLimit + 7) + "\"}"),
            std::string::npos);
}

}  // namespace
