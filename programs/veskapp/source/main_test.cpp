#include "main.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/consoleRun.h"
#include "testing/raised.h"

namespace veskapp {
namespace {

using testing::ConsoleRun;
using testing::withTimingFigureMasked;

const std::string kNoCmd = "No command specified; type \"veskapp help\" to list available commands.";
const std::string kInvalidCmd = "Invalid command specified; type \"veskapp help\" to list available commands.";
const std::string kMissingArg =
    "Missing argument to specified command; type \"veskapp help [command]\" for list of valid arguments and "
    "options.";
const std::string kInvalidArg =
    "Invalid argument to specified command; type \"veskapp help [command]\" for list of valid arguments and "
    "options.";
const std::string kMissingOption =
    "Missing option to specified command; type \"veskapp help [command]\" for list of valid arguments and "
    "options.";
const std::string kTooManyOptions =
    "Too many options provided for specified command; type \"veskapp help [command]\" for list of valid "
    "arguments and options.";
const std::string kBadValue = "bad lexical cast: source type value could not be interpreted as target";

class CommandLineTest : public testing::ConsoleTest {};

TEST_F(CommandLineTest, UsageErrorsPrintOneErrorLineAndExitWithOne) {
  struct Case {
    std::vector<std::string> words;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, kNoCmd},
      {{"-t"}, kInvalidCmd},
      {{"Help"}, kInvalidCmd},
      {{"bogus", "list"}, kInvalidCmd},
      {{"help", "help"}, kInvalidArg},
      {{"syncDomain", "bogus", "--uri"}, kInvalidArg},
      // Positional words are checked before any option word is read.
      {{"syncDomain", "bogus", "---x"}, kInvalidArg},
      {{"loadResources", ""}, kInvalidArg},
      {{"syncDomain"}, kMissingArg},
      {{"timestampCorrelator", "--uri", "u"}, kMissingArg},
      {{"timescale"}, kMissingArg},
      {{"list", "-t"}, kMissingArg},
      // The flag ends the positional words; create is then a stray word.
      {{"syncDomain", "-q", "create", "--uri", "u"}, kMissingArg},
      // A name with no value left is dropped.
      {{"loadResources", "--remoteHost"}, kMissingOption},
      {{"loadResources", "--remoteHost", "a", "--remoteHost", "b"}, kTooManyOptions},
      {{"loadResources", "--remoteHost", "a", "--remoteHost", "a"}, kTooManyOptions},
      {{"syncDomain", "create", "--timescaleUri", "t", "--maxOffset_ns", "x"}, kMissingOption},
      {{"syncDomain", "create", "--uri", "u", "--timescaleUri", "t", "--maxOffset_ns", "x"}, kBadValue},
  };
  for (const auto& c : cases) {
    const ConsoleRun result = run(c.words);
    const std::string line = c.words.empty() ? "(nothing)" : c.words[0];
    EXPECT_EQ(result.err, "ERROR: " + c.message + "\n") << line;
    EXPECT_EQ(result.out, "") << line;
    EXPECT_EQ(result.exitStatus, 1) << line;
  }
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(CommandLineTest, MalformedOptionsFailWithTheInvalidParameterCode) {
  struct Case {
    std::vector<std::string> words;
    std::string channel;
  };
  const std::vector<Case> cases = {
      {{"loadResources", "--remoteHost", "--x"},
       R"({"message":"Command options are each expected to have a value, but two options found )"
       R"(consecutively.","firstOption":"remoteHost","secondOption":"x"})"},
      {{"loadResources", "--"}, R"({"message":"Encountered invalid command option.","option":"--"})"},
      {{"loadResources", "---remoteHost", "h"},
       R"({"message":"Encountered invalid command option.","option":"---remoteHost"})"},
      // The invalid word is reported before the name that waits.
      {{"syncDomain", "create", "--uri", "---x"},
       R"({"message":"Encountered invalid command option.","option":"---x"})"},
      {{"getApiVersion", "-t", "--a", "--b\"c"},
       R"({"message":"Command options are each expected to have a value, but two options found )"
       R"(consecutively.","firstOption":"a","secondOption":"b\"c"})"},
  };
  for (const auto& c : cases) {
    const ConsoleRun result = run(c.words);
    const std::string prefix = "ERROR: -52005: ";
    ASSERT_EQ(result.err.compare(0, prefix.size(), prefix), 0) << result.err;
    const std::string detail = result.err.substr(prefix.size(), result.err.size() - prefix.size() - 1);
    EXPECT_EQ(vesk::testing::errorConstant(detail), "qzkormerr_invalidParameter");
    EXPECT_NE(detail.find(R"("file":"main","line":)"), std::string::npos) << detail;
    EXPECT_NE(detail.find(R"("component":"veskapp","veskconsoleapp_debug":)"), std::string::npos) << detail;
    EXPECT_EQ(vesk::testing::lastChannel(detail, "veskconsoleapp_debug"), c.channel);
    EXPECT_EQ(result.err.back(), '\n');
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.result, -52005);
    EXPECT_EQ(result.exitStatus, 219);
  }
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(CommandLineTest, ExitStatusIsTheLowByteButNeverZeroForAFailure) {
  struct Case {
    int result;
    int exitStatus;
  };
  const std::vector<Case> cases = {
      {0, 0}, {1, 1}, {-52005, 219}, {-52024, 200}, {-52006, 218}, {-256, 1}, {-65536, 1}, {-1074100996, 252},
  };
  for (const Case& c : cases) EXPECT_EQ(exitStatus(c.result), c.exitStatus) << c.result;
}

TEST_F(CommandLineTest, AFailingCallPrintsItsStatusAndNothingElse) {
  api.failCode = -52006;
  api.failDetail = R"({"error_constant":"qzkormerr_resourceNotFound","timescaleUri":"u"})";
  const ConsoleRun result = run({"timescale", "getTime", "--timescaleUri", "u", "-t"});
  EXPECT_EQ(result.err, "ERROR: -52006: " + api.failDetail + "\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exitStatus, 218);
}

TEST_F(CommandLineTest, AFailureWhoseLowByteIsZeroStillFails) {
  api.failCode = -256;
  api.failDetail = "{}";
  const ConsoleRun result = run({"syncDomain", "stop", "--uri", "u"});
  EXPECT_EQ(result.err, "ERROR: -256: {}\n");
  EXPECT_EQ(result.exitStatus, 1);
}

TEST_F(CommandLineTest, ResourceCommandsSendTheHostAsAnEscapedJsonString) {
  struct Case {
    std::vector<std::string> words;
    std::string call;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"loadResources", "--remoteHost", "h"}, R"(loadResources(networkDeviceParams, {"remoteHost":"h"}))",
       "SUCCESS: Loaded resources from remoteHost = h\n"},
      {{"unloadResources", "--remoteHost", "h"}, R"(unloadResources(networkDeviceParams, {"remoteHost":"h"}))",
       "SUCCESS: Unloaded resources from remoteHost = h\n"},
      {{"loadResources", "--remoteHost", R"(a"b\c)"}, R"(loadResources(networkDeviceParams, {"remoteHost":"a\"b\\c"}))",
       "SUCCESS: Loaded resources from remoteHost = a\"b\\c\n"},
      {{"loadResources", "--remoteHost", ""}, R"(loadResources(networkDeviceParams, {"remoteHost":""}))",
       "SUCCESS: Loaded resources from remoteHost = \n"},
      // Stray words and options no command reads are ignored.
      {{"loadResources", "list", "--remoteHost", "h", "extra", "--bogus", "v"},
       R"(loadResources(networkDeviceParams, {"remoteHost":"h"}))", "SUCCESS: Loaded resources from remoteHost = h\n"},
      {{"loadResources", "--remoteHost", "h", "-q"}, R"(loadResources(networkDeviceParams, {"remoteHost":"h"}))", ""},
  };
  for (const Case& c : cases) {
    api.calls.clear();
    const ConsoleRun result = run(c.words);
    EXPECT_EQ(api.calls, std::vector<std::string>{c.call});
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitStatus, 0);
  }
}

TEST_F(CommandLineTest, AFlagWordIsAlsoAnOptionValue) {
  const ConsoleRun result = run({"loadResources", "--remoteHost", "-t"});
  EXPECT_EQ(api.calls, std::vector<std::string>{R"(loadResources(networkDeviceParams, {"remoteHost":"-t"}))"});
  EXPECT_EQ(withTimingFigureMasked(result.out),
            "SUCCESS: Loaded resources from remoteHost = -t\n(Command executed in N ms.)\n");
}

TEST_F(CommandLineTest, ValueCommandsPrintTheirValueAlsoWhenQuiet) {
  api.timestamp = {5, 123, 0, false};
  api.uriText = "/192.0.2.10/veskwebs/timescales/p/t/n";
  api.apiVersion = 0x80000001u;
  struct Case {
    std::vector<std::string> words;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"timescale", "getTime", "--timescaleUri", "u"},
       "SUCCESS: Retrieved timestamp from timescale u\nTime in seconds : 5.0000001230\n"},
      {{"timescale", "getTime", "--timescaleUri", "u", "-q"}, "Time in seconds : 5.0000001230\n"},
      {{"getCurrentTimescale", "--remoteHost", "h", "-q"}, api.uriText + "\n"},
      {{"getCurrentTimescale", "--remoteHost", "h"}, api.uriText + "\n"},
      {{"getApiVersion", "list", "create"}, "2147483649\n"},
  };
  for (const Case& c : cases) {
    const ConsoleRun result = run(c.words);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.exitStatus, 0);
  }
  EXPECT_EQ(api.calls, (std::vector<std::string>{
                           "timescale_getTime(u, {0,0,0,false})",
                           "timescale_getTime(u, {0,0,0,false})",
                           "getCurrentTimescale(h, 512)",
                           "getCurrentTimescale(h, 512)",
                           "getApiVersion()",
                       }));
}

TEST_F(CommandLineTest, TheTimingLineFollowsTheOutputOfASuccessfulCommand) {
  const ConsoleRun result = run({"getApiVersion", "-q", "-t"});
  EXPECT_EQ(withTimingFigureMasked(result.out), "2380\n(Command executed in N ms.)\n");
  EXPECT_NE(result.out, withTimingFigureMasked(result.out));
}

TEST_F(CommandLineTest, AnActionTheCommandLacksEndsInOrderWithoutOutput) {
  const std::vector<std::vector<std::string>> cases = {
      {"syncDomain", "getTime", "--uri", "u", "-t"},
      {"timestampCorrelator", "start"},
      {"timescale", "create", "--timescaleUri", "u"},
      {"list", "create"},
  };
  for (const auto& words : cases) {
    const ConsoleRun result = run(words);
    EXPECT_EQ(result.out, "") << words[0];
    EXPECT_EQ(result.exitStatus, 1) << words[0];
    // The lines name the console's main source: in full in the header, right
    // aligned in its field of 32 in the prefix.
    const std::string header = "[veskapp|veskapp/source/main|";
    ASSERT_EQ(result.err.compare(0, header.size(), header), 0) << result.err;
    const std::string lines = result.err.substr(result.err.find('\n') + 1);
    const std::string prefix = lines.substr(0, lines.find(']') + 1);
    EXPECT_EQ(result.err.substr(result.err.find("] !!ASSERT!!\n")), "] !!ASSERT!!\n" + lines);
    EXPECT_EQ(lines, prefix + " ASSERT(false)\n" + prefix + "  ERROR: Did not implement all actions for command.\n" +
                         "ERROR: Did not implement all actions for command.\n");
    const std::string prefixStart = "[   veskapp|" + std::string(13, ' ') + "veskapp/source/main|";
    EXPECT_EQ(prefix.compare(0, prefixStart.size(), prefixStart), 0) << prefix;
  }
  EXPECT_TRUE(api.calls.empty());
}

}  // namespace
}  // namespace veskapp
