#include "commandTables.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/consoleRun.h"
#include "testing/helpListing.h"

namespace veskapp {
namespace {

using testing::kFullHelp;

// The block of `command` within the full help: from its "\n   command" line
// to the next block.
std::string blockOf(const std::string& command) {
  size_t start = kFullHelp.find("\n   " + command + " ");
  if (start == std::string::npos) start = kFullHelp.find("\n   " + command + "\n");
  const size_t end = kFullHelp.find("\n\n", start + 1);
  return kFullHelp.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

class HelpTest : public testing::ConsoleTest {};

TEST_F(HelpTest, EveryHelpCommandLinePrintsExactlyItsListing) {
  struct Case {
    std::vector<std::string> words;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"help"}, kFullHelp},
      {{"help", "loadResources"}, blockOf("loadResources")},
      {{"help", "unloadResources"}, blockOf("unloadResources")},
      {{"help", "timestampCorrelator"}, blockOf("timestampCorrelator")},
      {{"help", "syncDomain"}, blockOf("syncDomain")},
      {{"help", "timescale"}, blockOf("timescale")},
      {{"help", "getCurrentTimescale"}, blockOf("getCurrentTimescale")},
      {{"help", "list"}, blockOf("list")},
      {{"help", "getApiVersion"}, "\n   getApiVersion\n"},
      // Words that are no command print their name alone.
      {{"help", "create"}, "\n   create\n"},
      {{"help", "createAndAddDevices"}, "\n   createAndAddDevices\n"},
      {{"help", "correlators"}, "\n   correlators\n"},
      // Only the first positional word counts; -q changes nothing.
      {{"help", "syncDomain", "list"}, blockOf("syncDomain")},
      {{"help", "-q"}, kFullHelp},
  };
  for (const Case& c : cases) {
    const testing::ConsoleRun result = run(c.words);
    EXPECT_EQ(result.out, c.out) << c.words.back();
    EXPECT_EQ(result.err, "") << c.words.back();
    EXPECT_EQ(result.exitStatus, 0) << c.words.back();
  }
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(HelpTest, BlocksSplitTheListingAsExpected) {
  // Guards blockOf itself: the nine blocks make up the whole listing.
  std::string joined;
  for (const std::string& command : commands) joined += blockOf(command);
  EXPECT_EQ(joined, kFullHelp);
}

TEST_F(HelpTest, HelpTakesTheTimingFlagLikeAnyCommand) {
  const testing::ConsoleRun result = run({"help", "getApiVersion", "-t"});
  EXPECT_EQ(testing::withTimingFigureMasked(result.out), "\n   getApiVersion\n(Command executed in N ms.)\n");
}

}  // namespace
}  // namespace veskapp
