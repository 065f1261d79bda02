#include "optionValues.h"

#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include "consoleExceptions.h"
#include "testing/consoleRun.h"

namespace veskapp {
namespace {

enum class Kind { kBool, kUInt32, kUInt64 };

// The value read, as decimal text; "bad" when the text is rejected.
std::string read(Kind kind, const std::string& text) {
  const OptionValues values = {{"v", text}};
  try {
    switch (kind) {
      case Kind::kBool:
        return std::to_string(getBoolOption("v", values));
      case Kind::kUInt32:
        return std::to_string(getUInt32Option("v", values));
      case Kind::kUInt64:
        return std::to_string(getUInt64Option("v", values));
    }
  } catch (const boost::bad_lexical_cast& error) {
    EXPECT_STREQ(error.what(), "bad lexical cast: source type value could not be interpreted as target");
    return "bad";
  }
  return "unreached";
}

TEST(OptionValuesTest, ValueTextsConvertByTheConsoleRules) {
  struct Case {
    Kind kind;
    std::string text;
    std::string value;
  };
  const std::vector<Case> cases = {
      {Kind::kUInt32, "0", "0"},
      {Kind::kUInt32, "0010", "10"},
      {Kind::kUInt32, "+5", "5"},
      {Kind::kUInt32, "-1", "4294967295"},
      {Kind::kUInt32, "-0", "0"},
      {Kind::kUInt32, "-4294967295", "1"},
      {Kind::kUInt32, "4294967295", "4294967295"},
      {Kind::kUInt32, "000004294967295", "4294967295"},
      {Kind::kUInt32, "4294967296", "bad"},
      {Kind::kUInt32, "-4294967296", "bad"},
      {Kind::kUInt32, "", "bad"},
      {Kind::kUInt32, "+", "bad"},
      {Kind::kUInt32, "-", "bad"},
      {Kind::kUInt32, "--1", "bad"},
      {Kind::kUInt32, " 5", "bad"},
      {Kind::kUInt32, "5 ", "bad"},
      {Kind::kUInt32, "0x10", "bad"},
      {Kind::kUInt32, "1,000", "bad"},
      {Kind::kUInt32, "1e3", "bad"},
      {Kind::kUInt64, "18446744073709551615", "18446744073709551615"},
      {Kind::kUInt64, "-1", "18446744073709551615"},
      {Kind::kUInt64, "18446744073709551616", "bad"},
      {Kind::kBool, "1", "1"},
      {Kind::kBool, "0", "0"},
      {Kind::kBool, "01", "1"},
      {Kind::kBool, "000", "0"},
      {Kind::kBool, "+1", "1"},
      {Kind::kBool, "+01", "1"},
      {Kind::kBool, "-0", "0"},
      {Kind::kBool, "-00", "0"},
      {Kind::kBool, "", "bad"},
      {Kind::kBool, "true", "bad"},
      {Kind::kBool, "false", "bad"},
      {Kind::kBool, "yes", "bad"},
      {Kind::kBool, "2", "bad"},
      {Kind::kBool, "10", "bad"},
      {Kind::kBool, "-1", "bad"},
      {Kind::kBool, " 1", "bad"},
      {Kind::kBool, "1 ", "bad"},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.kind, c.text), c.value) << "'" << c.text << "'";
}

TEST(OptionValuesTest, AnOptionMustBeGivenExactlyOnce) {
  const OptionValues values = {{"uri", "a"}, {"twice", "a"}, {"twice", "a"}};
  EXPECT_EQ(getStringOption("uri", values), "a");
  EXPECT_THROW(getStringOption("absent", values), MissingOptionException);
  EXPECT_THROW(getStringOption("twice", values), TooManyOptionsException);
  EXPECT_THROW(getUInt32Option("twice", values), TooManyOptionsException);
  // Names are matched exactly.
  EXPECT_THROW(getStringOption("URI", values), MissingOptionException);
}

class OptionValueCommandTest : public testing::ConsoleTest {};

TEST_F(OptionValueCommandTest, ABadValueFailsBeforeAnyCall) {
  const std::vector<std::vector<std::string>> cases = {
      {"syncDomain", "start", "--uri", "u", "--timeout_s", "4294967296"},
      {"syncDomain", "startV2", "--uri", "u", "--saveInitialCoherency", "true", "--waitToBecomeCoherent", "0",
       "--timeout_s", "1"},
      {"timestampCorrelator", "correlate", "--srcTimescaleUri", "a", "--dstTimescaleUri", "b", "--s",
       "18446744073709551616", "--ns", "0", "--fns", "0"},
  };
  for (const auto& words : cases) {
    const testing::ConsoleRun result = run(words);
    EXPECT_EQ(result.err, "ERROR: bad lexical cast: source type value could not be interpreted as target\n");
    EXPECT_EQ(result.exitStatus, 1);
  }
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(OptionValueCommandTest, ConvertedValuesReachTheCall) {
  run({"syncDomain", "start", "--uri", "u", "--timeout_s", "-1"});
  run({"syncDomain", "start", "--uri", "u", "--timeout_s", "0010"});
  run({"syncDomain", "startV2", "--uri", "u", "--saveInitialCoherency", "01", "--waitToBecomeCoherent", "-0",
       "--timeout_s", "+7", "-q"});
  EXPECT_EQ(api.calls, (std::vector<std::string>{
                           "syncDomain_start(u, 4294967295)",
                           "syncDomain_start(u, 10)",
                           "syncDomain_startV2(u, true, false, 7)",
                       }));
}

}  // namespace
}  // namespace veskapp
