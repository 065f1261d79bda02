#include "listCommand.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/consoleRun.h"

namespace veskapp {
namespace {

class ListCommandTest : public testing::ConsoleTest {};

TEST_F(ListCommandTest, EachTargetPrintsTheServicesTextAlsoWhenQuiet) {
  api.infoText = [] { return std::string(R"(["/localhost/vesks/timescales/system"])"); };
  const std::string out = "[\"/localhost/vesks/timescales/system\"]\n";
  expectEachCase({
      {{"list", "timescales"}, "getTimescaleInfo(32768)", out},
      {{"list", "syncableDevices"}, "getSyncableDeviceInfo(32768)", out},
      {{"list", "syncDomains", "-q"}, "getSyncDomainInfo(32768)", out},
      {{"list", "correlators", "--x", "y"}, "getTimestampCorrelatorInfo(32768)", out},
  });
}

TEST_F(ListCommandTest, ATextLargerThanTheFirstBufferIsAskedForAgainWithTheNamedSize) {
  const std::string text = "[\"" + std::string(40000, 'd') + "\"]";
  api.infoText = [&] { return text; };
  const testing::ConsoleRun result = run({"list", "syncDomains"});
  EXPECT_EQ(api.calls, (std::vector<std::string>{"getSyncDomainInfo(32768)", "getSyncDomainInfo(40005)"}));
  EXPECT_EQ(result.out, text + "\n");
  EXPECT_EQ(result.exitStatus, 0);
}

TEST_F(ListCommandTest, ATextThatKeepsGrowingEndsWithTheBufferError) {
  size_t length = 32768;
  api.infoText = [&] { return std::string(length += 1000, 'x'); };
  const testing::ConsoleRun result = run({"list", "timescales"});
  EXPECT_EQ(api.calls, (std::vector<std::string>{"getTimescaleInfo(32768)", "getTimescaleInfo(33769)",
                                                 "getTimescaleInfo(34769)", "getTimescaleInfo(35769)"}));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.compare(0, 22, "ERROR: -52019: {\"error"), 0) << result.err.substr(0, 200);
  EXPECT_EQ(result.exitStatus, 205);
}

TEST_F(ListCommandTest, OtherErrorsAreNotRetried) {
  struct Case {
    int32_t code;
    std::string detail;
  };
  const std::vector<Case> cases = {
      {-52024, R"({"error_constant":"qzkormerr_communicationsFault"})"},
      {-52019, R"({"error_constant":"qzkormerr_bufferTooSmall"})"},
      {-52019, R"({"qzsyncdomain_debug":{"syncableDeviceInfoSize":-5}})"},
      {-52019, R"({"qzsyncdomain_debug":{"syncableDeviceInfoSize":1e300}})"},
      {-52019, "not json"},
  };
  for (const Case& c : cases) {
    api.calls.clear();
    api.failCode = c.code;
    api.failDetail = c.detail;
    const testing::ConsoleRun result = run({"list", "syncableDevices"});
    EXPECT_EQ(api.calls, std::vector<std::string>{"getSyncableDeviceInfo(32768)"});
    EXPECT_EQ(result.err, "ERROR: " + std::to_string(c.code) + ": " + c.detail + "\n");
  }
}

}  // namespace
}  // namespace veskapp
