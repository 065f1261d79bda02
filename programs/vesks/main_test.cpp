// The daemon's command line, and its start and stop as a process: each test
// runs vesks (and a simulated target where it needs one) inside the test
// program's private network namespace.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "targetSim.h"
#include "testing/testStatus.h"
#include "openFileLimit.h"
#include "vesksDaemon.h"
#include "vesksapi/vesksapi.h"

namespace {

using vesk::testing::TestStatus;
using vesktest::describeWaitStatus;
using vesktest::runProgram;
using vesktest::vesksPath;

constexpr char kUsage[] =
    "Usage: vesks [OPTIONS]\n"
    "  -d, --daemon   use daemon(3) to run in the background\n"
    "  -h, --help     display this help and exit\n";
constexpr char kDeviceParams[] = R"({"remoteHost":"127.0.0.2"})";

bool endedBy(int waitStatus, int signal) { return WIFSIGNALED(waitStatus) && WTERMSIG(waitStatus) == signal; }
bool exitedWith(int waitStatus, int code) { return WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == code; }

std::string binDirectory() {
  const std::string path = vesksPath();
  return path.substr(0, path.rfind('/'));
}

// The registered timescales, or the failure.
std::string timescaleInfo() {
  TestStatus status;
  char info[4096];
  vesksapi_getTimescaleInfo(info, sizeof(info), status);
  return status.code() == 0 ? std::string(info) : "failed: " + status.json();
}

TEST(VesksCommandLineTest, HelpAndUnknownOptionsEndWithoutStarting) {
  const std::string tryLine = "Try `" + std::string(vesksPath()) + " --help' for more information.\n";
  struct Case {
    std::vector<std::string> options;
    int exitCode;
    std::string out;
    std::string errEnd;
  };
  const Case cases[] = {
      {{"--help"}, 0, kUsage, ""},
      {{"-h"}, 0, kUsage, ""},
      {{"-d", "-h"}, 0, kUsage, ""},
      {{"-h", "-x"}, 0, kUsage, ""},
      {{"-x"}, 1, "", tryLine},
      {{"-x", "-h"}, 1, "", tryLine},
      {{"--nonsense"}, 1, "", tryLine},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {vesksPath()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const vesktest::ProgramRun run = runProgram(args);
    const std::string label = c.options.front() + (c.options.size() > 1 ? " " + c.options[1] : "");
    EXPECT_TRUE(exitedWith(run.waitStatus, c.exitCode)) << label << ": " << describeWaitStatus(run.waitStatus);
    EXPECT_EQ(c.out, run.out) << label;
    if (c.errEnd.empty()) {
      EXPECT_EQ("", run.err) << label;
    } else {
      ASSERT_GE(run.err.size(), c.errEnd.size()) << label << ": " << run.err;
      EXPECT_EQ(c.errEnd, run.err.substr(run.err.size() - c.errEnd.size())) << label;
      EXPECT_NE(std::string::npos, run.err.find("vesks: ")) << label << ": getopt's own line: " << run.err;
    }
  }
  EXPECT_FALSE(vesktest::serviceAcceptsConnections());
}

// The stop waits for the call being served: the caller gets its answer, then
// the daemon ends by the signal it caught.
TEST(VesksStopTest, SigtermEndsTheDaemonByThatSignalAfterTheCallInFlight) {
  vesktest::TargetSim target(vesktest::oneDeviceTarget(R"(,"resourceList":{"delayMs":1000})"));
  vesktest::VesksDaemon daemon;
  auto load = std::async(std::launch::async, [] {
    TestStatus status;
    vesksapi_loadResources("networkDeviceParams", kDeviceParams, status);
    return status.code() == 0 ? std::string("ok") : status.json();
  });
  for (int attempt = 0; attempt < 2000 && target.requests().empty(); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_FALSE(target.requests().empty()) << "the load never reached the target";

  const int waitStatus = daemon.stop(SIGTERM);
  EXPECT_EQ("ok", load.get());
  EXPECT_TRUE(endedBy(waitStatus, SIGTERM)) << describeWaitStatus(waitStatus);
  EXPECT_FALSE(vesktest::serviceAcceptsConnections());
}

TEST(VesksStopTest, SigintEndsTheDaemonByThatSignal) {
  vesktest::VesksDaemon daemon;
  const int waitStatus = daemon.stop(SIGINT);
  EXPECT_TRUE(endedBy(waitStatus, SIGINT)) << describeWaitStatus(waitStatus);
}

// A second daemon cannot have the local socket: it says why and ends with 1,
// and the first one serves on.
TEST(VesksStartTest, ASecondDaemonFailsWithStatusOneAndTheFirstKeepsServing) {
  vesktest::VesksDaemon first;
  const vesktest::ProgramRun second = runProgram({vesksPath()});
  EXPECT_TRUE(exitedWith(second.waitStatus, 1)) << describeWaitStatus(second.waitStatus);
  EXPECT_EQ("ERROR: ", second.err.substr(0, 7)) << second.err;
  EXPECT_NE(std::string::npos, second.err.find("\"error_constant\":")) << second.err;
  EXPECT_EQ("", second.out);
  EXPECT_EQ(R"(["/localhost/vesks/timescales/system"])", timescaleInfo());
}

// Started with a low soft limit of open files, the daemon takes the whole
// hard limit, so that many clients can be connected at once.
TEST(VesksStartTest, TheDaemonRaisesItsOpenFileLimitToTheHardLimit) {
  rlimit own{};
  ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &own));
  constexpr rlim_t kLowered = 64;
  if (own.rlim_max <= kLowered) GTEST_SKIP() << "the hard limit is already low: " << own.rlim_max;
  std::optional<vesktest::VesksDaemon> daemon;
  {
    const vesktest::OpenFileSoftLimit lowered(kLowered);  // inherited by the daemon only
    daemon.emplace();
  }
  rlimit daemonLimit{};
  ASSERT_EQ(0, prlimit(daemon->pid(), RLIMIT_NOFILE, nullptr, &daemonLimit));
  EXPECT_EQ(own.rlim_max, daemonLimit.rlim_cur);
  EXPECT_EQ(own.rlim_max, daemonLimit.rlim_max);
}

// Processes orphaned below this one are handed to it, so the detached daemon
// can be found, stopped and waited for.
class DetachedVesksTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, prctl(PR_SET_CHILD_SUBREAPER, 1)); }
  void TearDown() override { prctl(PR_SET_CHILD_SUBREAPER, 0); }

  // The child of this process that runs the daemon's program, or -1.
  static pid_t adoptedDaemon() {
    const std::string self = std::to_string(getpid());
    for (int attempt = 0; attempt < 1000; ++attempt) {
      const pid_t pid = findChildRunning(self);
      if (pid > 0) return pid;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

  // Whether the service accepts connections within 10 s.
  static bool waitUntilServing() {
    for (int attempt = 0; attempt < 1000 && !vesktest::serviceAcceptsConnections(); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return vesktest::serviceAcceptsConnections();
  }

  // Sends SIGTERM to the detached daemon and returns its wait status.
  static int stopDetached(pid_t pid) {
    kill(pid, SIGTERM);
    int waitStatus = 0;
    return waitpid(pid, &waitStatus, 0) == pid ? waitStatus : -1;
  }

  // Where the process's standard input, output and error lead.
  static std::array<std::string, 3> standardStreamsOf(pid_t pid) {
    std::array<std::string, 3> targets;
    for (size_t fd = 0; fd < targets.size(); ++fd) {
      std::error_code error;
      const auto link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
      targets[fd] = std::filesystem::read_symlink(link, error).string();
      if (error) targets[fd] = "(none: " + error.message() + ")";
    }
    return targets;
  }

  static std::vector<std::string> commandLineOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline");
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<std::string> words;
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find('\0', start);
      words.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return words;
  }

 private:
  static pid_t findChildRunning(const std::string& parent) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::ifstream stat(entry.path() / "stat");
      std::string pid, name, state, ppid;
      if (stat >> pid >> name >> state >> ppid && ppid == parent && name == "(vesks)") return std::stoi(pid);
    }
    return -1;
  }
};

// Started through a path relative to its directory, the detached daemon
// still finds its program after daemon(3) moved it to "/"; the words behind
// "--" are handed on, so "-x" is not taken for an option.
TEST_F(DetachedVesksTest, DashDReturnsZeroAndTheDetachedDaemonServes) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> detachedArgs;
  };
  const Case cases[] = {
      {{"./vesks", "-d"}, {"./vesks"}},
      {{"./vesks", "-d", "--", "-x"}, {"./vesks", "--", "-x"}},
  };
  for (const Case& c : cases) {
    const std::string label = c.args.back();
    const vesktest::ProgramRun run = runProgram(c.args, binDirectory());
    EXPECT_TRUE(exitedWith(run.waitStatus, 0)) << label << ": " << describeWaitStatus(run.waitStatus);
    EXPECT_EQ("", run.out + run.err) << label;

    const pid_t detached = adoptedDaemon();
    ASSERT_GT(detached, 0) << label << ": no detached daemon";
    waitUntilServing();
    EXPECT_EQ(c.detachedArgs, commandLineOf(detached)) << label;
    EXPECT_EQ(R"(["/localhost/vesks/timescales/system"])", timescaleInfo()) << label;

    const int waitStatus = stopDetached(detached);
    EXPECT_TRUE(endedBy(waitStatus, SIGTERM)) << label << ": " << describeWaitStatus(waitStatus);
  }
}

// The detached daemon holds none of the caller's streams (their pipes reach
// their end as soon as vesks -d returned): it reads and writes /dev/null.
TEST_F(DetachedVesksTest, TheDetachedDaemonLeavesTheCallersStreams) {
  const vesktest::ProgramRun run = runProgram({vesksPath(), "-d"});
  EXPECT_TRUE(exitedWith(run.waitStatus, 0)) << describeWaitStatus(run.waitStatus);
  const pid_t detached = adoptedDaemon();
  ASSERT_GT(detached, 0) << "no detached daemon";
  EXPECT_TRUE(waitUntilServing());
  EXPECT_EQ((std::array<std::string, 3>{"/dev/null", "/dev/null", "/dev/null"}), standardStreamsOf(detached));

  const int waitStatus = stopDetached(detached);
  EXPECT_TRUE(endedBy(waitStatus, SIGTERM)) << describeWaitStatus(waitStatus);
}

}  // namespace
