#include "printTimestamp.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace veskapp {
namespace {

TEST(PrintTimestampTest, PrintsSignSecondsNineNanoDigitsAndTheFraction) {
  struct Case {
    vesklib_Timestamp timestamp;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{5, 123, 0, false}, "5.0000001230\n"},
      {{0, 500000000, 25, true}, "-0.50000000025\n"},
      {{1, 7, 3, false}, "1.0000000073\n"},
      {{0, 0, 0, false}, "0.0000000000\n"},
      // Nanoseconds are not checked: a larger value keeps all its digits.
      {{2, 1234567890, 1, false}, "2.12345678901\n"},
      {{-1, 999999999, 999, false}, "18446744073709551615.999999999999\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    printTimestamp(out, c.timestamp);
    EXPECT_EQ(out.str(), c.text);
  }
}

TEST(PrintTimestampTest, LeavesTheStreamsFormatAsItWas) {
  std::ostringstream out;
  printTimestamp(out, {1, 2, 3, false});
  out << 7;
  EXPECT_EQ(out.str(), "1.0000000023\n7");
}

}  // namespace
}  // namespace veskapp
