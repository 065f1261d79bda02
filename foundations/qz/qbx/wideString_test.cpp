#include "qz/qbx/wideString.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace qz::qbx {
namespace {

// Runs the body under another C locale and restores the one before.
class LocaleScope {
 public:
  explicit LocaleScope(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleScope() { std::setlocale(LC_ALL, previous_.c_str()); }
  bool active() const { return active_; }

 private:
  std::string previous_;
  bool active_;
};

TEST(QbxToNarrow, ConvertsIntoTheLocaleCharacterSet) {
  EXPECT_STREQ(toNarrow(WideString()).c_str(), "");
  EXPECT_STREQ(toNarrow(WideString(L"libcurl.so")).c_str(), "libcurl.so");
  // The "C" locale is ASCII: what it cannot hold becomes '?', the rest stays.
  EXPECT_STREQ(toNarrow(WideString(L"a\u00e9b\u20ac")).c_str(), "a?b?");
}

TEST(QbxToNarrow, FollowsAUtf8Locale) {
  LocaleScope utf8("C.UTF-8");
  if (!utf8.active()) GTEST_SKIP() << "no C.UTF-8 locale here";
  const NarrowString narrow = toNarrow(WideString(L"a\u00e9\u20ac"));
  EXPECT_STREQ(narrow.c_str(), "a\xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(narrow.size(), 6u);
}

}  // namespace
}  // namespace qz::qbx
