// The veskapp program as a shell user runs it: its standard output, standard
// error and exit status, without a daemon and against a running vesks with a
// simulated target on 127.0.0.2, all inside the test's private network
// namespace.
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "targetSim.h"
#include "testing/helpListing.h"
#include "vesksDaemon.h"

namespace {

constexpr char kHost[] = "127.0.0.2";
constexpr char kSystemTimescale[] = "/localhost/vesks/timescales/system";
constexpr char kTargetTimescale[] = "127.0.0.2/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";
constexpr char kBadValue[] = "ERROR: bad lexical cast: source type value could not be interpreted as target\n";

struct AppRun {
  int exitStatus;  // -1 when a signal ended the program
  std::string out;
  std::string err;
};

AppRun veskapp(const std::vector<std::string>& words) {
  std::vector<std::string> args = {VESKAPP_PATH};
  args.insert(args.end(), words.begin(), words.end());
  const vesktest::ProgramRun run = vesktest::runProgram(args);
  const int exitStatus = WIFEXITED(run.waitStatus) ? WEXITSTATUS(run.waitStatus) : -1;
  return AppRun{exitStatus, run.out, run.err};
}

bool allDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The whole seconds of a line "<label><seconds>.<nine or more digits>\n" as
// the console prints a timestamp; empty when the line has another form.
std::string timestampSeconds(const std::string& line, const std::string& label) {
  const size_t point = line.find('.');
  if (line.compare(0, label.size(), label) != 0 || point == std::string::npos || line.back() != '\n') return "";
  const std::string seconds = line.substr(label.size(), point - label.size());
  const std::string digits = line.substr(point + 1, line.size() - point - 2);
  return allDigits(seconds) && allDigits(digits) && digits.size() >= 10 ? seconds : "";
}

std::string describe(const AppRun& run) { return "exit " + std::to_string(run.exitStatus) + ", stderr: " + run.err; }

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(VeskappWithoutDaemonTest, HelpAndUsageErrorsNeedNoDaemon) {
  const AppRun help = veskapp({"help"});
  EXPECT_EQ(help.out, veskapp::testing::kFullHelp);
  EXPECT_EQ(help.exitStatus, 0);

  const AppRun noCommand = veskapp({});
  EXPECT_EQ(noCommand.err, "ERROR: No command specified; type \"veskapp help\" to list available commands.\n");
  EXPECT_EQ(noCommand.exitStatus, 1);

  const AppRun badOption = veskapp({"loadResources", "---remoteHost", "h"});
  EXPECT_TRUE(startsWith(badOption.err, "ERROR: -52005: {\"error_constant\":\"qzkormerr_invalidParameter\""))
      << badOption.err;
  EXPECT_EQ(badOption.exitStatus, 219);
}

TEST(VeskappWithoutDaemonTest, ACommandFailsAsACommunicationsFault) {
  const AppRun run = veskapp({"list", "timescales", "-t"});
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(startsWith(run.err, "ERROR: -52024: {\"error_constant\":\"qzkormerr_communicationsFault\"")) << run.err;
  EXPECT_NE(run.err.find(R"("qzsyncdomain_debug":{"type_code":1,"type":"TTransportException::NOT_OPEN"}})"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.exitStatus, 200);
}

TEST(VeskappWithoutDaemonTest, ABadValueFailsBeforeAnyConnection) {
  // A connection attempt would have failed with 200.
  const AppRun run = veskapp({"syncDomain", "start", "--uri", "/d", "--timeout_s", "4294967296"});
  EXPECT_EQ(run.err, kBadValue);
  EXPECT_EQ(run.exitStatus, 1);
}

class VeskappTest : public ::testing::Test {
 protected:
  VeskappTest()
      : target_(vesktest::oneDeviceTarget(R"(,"timestampDaemon":{"offsetNs":5000000000})"), kHost),
        daemon_(std::make_unique<vesktest::VesksDaemon>()) {}

  // Runs a command that must succeed and returns its standard output.
  std::string succeed(const std::vector<std::string>& words) {
    const AppRun run = veskapp(words);
    EXPECT_EQ(run.exitStatus, 0) << words[0] << " " << words[1] << ": " << describe(run);
    EXPECT_EQ(run.err, "");
    return run.out;
  }

  vesktest::TargetSim target_;
  std::unique_ptr<vesktest::VesksDaemon> daemon_;
};

TEST_F(VeskappTest, ListsTheHostTimescaleAndReadsItsTime) {
  EXPECT_EQ(succeed({"list", "timescales", "-q"}), "[\"/localhost/vesks/timescales/system\"]\n");
  const std::string time = succeed({"timescale", "getTime", "--timescaleUri", kSystemTimescale, "-q"});
  EXPECT_NE(timestampSeconds(time, "Time in seconds : "), "") << time;
}

TEST_F(VeskappTest, ANoOpDomainIsCreatedListedAndRefusedToStartWithoutMembers) {
  const std::vector<std::string> create = {"syncDomain", "create", "--uri", "/d", "--timescaleUri", kSystemTimescale,
                                           "--maxOffset_ns", "1000", "--minSyncDuration_ms", "5"};
  EXPECT_EQ(succeed(create), "SUCCESS: Created Sync Domain with uri = /d\n");
  EXPECT_EQ(succeed({"list", "syncDomains"}),
            R"([{"type":"NopSyncDomain","uri":"/d","isCoherent":false,"isRunning":false,"syncableDevices":[]}])"
            "\n");

  const AppRun start = veskapp({"syncDomain", "start", "--uri", "/d", "--timeout_s", "1", "-t"});
  EXPECT_EQ(start.out, "");
  EXPECT_TRUE(startsWith(start.err, "ERROR: -52010: {")) << start.err;
  EXPECT_EQ(start.exitStatus, 214);

  const AppRun again = veskapp(create);
  EXPECT_TRUE(startsWith(again.err, "ERROR: -52013: {\"error_constant\":\"qzkormerr_objectNameCollision\""))
      << again.err;
  EXPECT_EQ(again.exitStatus, 211);
}

TEST_F(VeskappTest, ADomainOverTheTargetIsCreatedStartedCheckedAndDeleted) {
  EXPECT_EQ(succeed({"syncDomain", "createAndAddDevices", "--uri", "/sd", "--timescaleUri", "null", "--remoteHosts",
                     "[\"127.0.0.2\"]", "--maxOffset_ns", "1000", "--minSyncDuration_ms", "0"}),
            "SUCCESS: Created and added devices to Sync Domain with uri = /sd and timescaleUri = " +
                std::string(kTargetTimescale) + "\n");
  EXPECT_EQ(succeed({"syncDomain", "start", "--uri", "/sd", "--timeout_s", "10"}),
            "SUCCESS: Started Sync Domain where uri = /sd\n");
  EXPECT_EQ(succeed({"syncDomain", "isCoherent", "--uri", "/sd", "-q"}), "true\n");
  EXPECT_EQ(succeed({"syncDomain", "stop", "--uri", "/sd", "-q"}), "");
  EXPECT_EQ(succeed({"syncDomain", "delete", "--uri", "/sd"}), "SUCCESS: Deleted Sync Domain where uri = /sd\n");
  EXPECT_EQ(succeed({"list", "syncDomains"}), "[]\n");
}

// The target's clock runs 5 s ahead of the host's.
TEST_F(VeskappTest, ACorrelationIsPrinted) {
  succeed({"loadResources", "--remoteHost", kHost, "-q"});
  EXPECT_EQ(succeed({"timestampCorrelator", "create", "--timescaleUri1", kSystemTimescale, "--timescaleUri2",
                     kTargetTimescale, "--samplingInterval", "10", "--historyLength", "20"}),
            "SUCCESS: Created Timestamp Correlator with timescaleUris = " + std::string(kSystemTimescale) + " and " +
                kTargetTimescale + "\n");
  const time_t now = time(nullptr);
  const std::string correlated =
      succeed({"timestampCorrelator", "correlate", "--srcTimescaleUri", kSystemTimescale, "--dstTimescaleUri",
               kTargetTimescale, "--s", std::to_string(now), "--ns", "0", "--fns", "0", "-q"});
  const std::string seconds = timestampSeconds(correlated, "Correlated time in seconds: ");
  ASSERT_NE(seconds, "") << correlated;
  EXPECT_NEAR(std::stod(seconds), now + 5, 1.0) << correlated;
}

TEST_F(VeskappTest, TheTimingLineFollowsOnlyASuccess) {
  const std::string listed = succeed({"list", "correlators", "-t"});
  const std::string timing = "[]\n(Command executed in ";
  ASSERT_EQ(listed.compare(0, timing.size(), timing), 0) << listed;
  EXPECT_TRUE(allDigits(listed.substr(timing.size(), listed.size() - timing.size() - 6))) << listed;
  EXPECT_EQ(listed.substr(listed.size() - 6), " ms.)\n");
  const AppRun failed = veskapp({"syncDomain", "stop", "--uri", "/missing", "-t"});
  EXPECT_EQ(failed.out, "");
  EXPECT_TRUE(startsWith(failed.err, "ERROR: -52006: {")) << failed.err;
  EXPECT_EQ(failed.exitStatus, 218);
}

TEST_F(VeskappTest, ARegistryLargerThanTheFirstBufferIsListedWhole) {
  const std::string longName(2000, 'n');
  std::string expected;
  for (int i = 0; i < 20; ++i) {
    const std::string uri = "/" + std::to_string(i) + longName;
    succeed({"syncDomain", "create", "--uri", uri, "--timescaleUri", kSystemTimescale, "--maxOffset_ns", "1",
             "--minSyncDuration_ms", "1", "-q"});
  }
  const std::string listed = succeed({"list", "syncDomains"});
  EXPECT_GT(listed.size(), 40000u);
  EXPECT_EQ(listed.front(), '[');
  EXPECT_EQ(listed.substr(listed.size() - 3), "}]\n");
  for (int i = 0; i < 20; ++i) {
    EXPECT_NE(listed.find("\"uri\":\"/" + std::to_string(i) + longName + "\""), std::string::npos) << i;
  }
}

}  // namespace
