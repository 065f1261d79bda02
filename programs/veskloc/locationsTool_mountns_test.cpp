// veskloc end to end, as an installer runs it: the real program against the
// real "/etc/corvant/share/share.dir" and the real syslog socket, both set by
// the test inside the private mount namespace of testing/runInMountNs.sh.
// The relocation library is our stand-in, on the loader's path only when a
// test asks for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testing/privateMounts.h"
#include "testing/programRun.h"
#include "testing/syslogCapture.h"

namespace {

namespace fs = std::filesystem;
using veskloctest::ProgramResult;
using veskloctest::SyslogCapture;

constexpr char kShareDirFile[] = "/etc/corvant/share/share.dir";
constexpr char kRelocationsFile[] = "/tmp/veskloc-relocations";
constexpr int kUserWarning = 12;  // LOG_USER | LOG_WARNING

const std::string kSharedPrograms = "/usr/local/corvant/share/SyncDomain/";

// The lines a run prints for programs in `programs` and the pid file in
// `runstatedir` (both ending in '/').
std::string linesFor(const std::string& programs, const std::string& runstatedir = "/var/run/") {
  return "vesks=" + programs + "vesks\nqztimestampd=" + programs + "qztimestampd\nqztimestampdPidFile=" +
         runstatedir + "qztimestampd.pid\nveskapp=" + programs + "veskapp\n";
}

const std::string kDefaultLines = linesFor(kSharedPrograms);
const std::string kDefaultJson = "{\n\"vesks\":\"" + kSharedPrograms + "vesks\",\n" +
                                 "\"qztimestampd\":\"" + kSharedPrograms + "qztimestampd\",\n" +
                                 "\"qztimestampdPidFile\":\"/var/run/qztimestampd.pid\",\n" +
                                 "\"veskapp\":\"" + kSharedPrograms + "veskapp\"\n}\n";

class VesklocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Nothing below may touch the machine's own /etc, /dev or /usr.
    ASSERT_TRUE(veskloctest::inPrivateMountNamespace()) << "run this through testing/runInMountNs.sh";
    fs::remove(kShareDirFile);
    syslog_ = std::make_unique<SyslogCapture>();
  }

  void TearDown() override {
    syslog_.reset();
    fs::remove(kShareDirFile);
    fs::remove(kRelocationsFile);
    fs::remove_all(scratch_);
  }

  // Runs veskloc; with `relocations` (the stand-in's answer file), the
  // stand-in relocation library is on the loader's path.
  ProgramResult veskloc(const std::vector<std::string>& args,
                        const std::optional<std::string>& relocations = std::nullopt) {
    veskloctest::Environment environment{{"LD_LIBRARY_PATH", std::nullopt}, {"QZRELOCATIONS_FILE", std::nullopt}};
    if (relocations) {
      veskloctest::writeFile(kRelocationsFile, *relocations);
      environment = {{"LD_LIBRARY_PATH", QZRELOCATIONS_DIR}, {"QZRELOCATIONS_FILE", kRelocationsFile}};
    }
    return veskloctest::runProgram(VESKLOC_PATH, args, environment);
  }

  // The texts logged since the last call; each must be a LOG_WARNING of the
  // default facility under the program's name.
  std::vector<std::string> warnings() {
    std::vector<std::string> texts;
    for (const auto& message : syslog_->take()) {
      EXPECT_EQ(message.priority, kUserWarning) << message.text;
      EXPECT_EQ(message.ident, "veskloc") << message.text;
      texts.push_back(message.text);
    }
    return texts;
  }

  // A folder of this test holding `files` (empty files), ending in '/'.
  std::string folderWith(const std::string& folder, const std::vector<std::string>& files) {
    const std::string path = scratch_ + "/" + folder;
    for (const std::string& file : files) veskloctest::writeFile(path + "/" + file, "");
    fs::create_directories(path);
    return path + "/";
  }

  const std::string scratch_ = "/tmp/veskloc-test";
  std::unique_ptr<SyslogCapture> syslog_;
};

void expectSuccess(const ProgramResult& result, const std::string& out, const std::string& what) {
  EXPECT_EQ(result.status, 0) << what << ": " << result.err;
  EXPECT_EQ(result.out, out) << what;
  EXPECT_EQ(result.err, "") << what;
}

std::string joined(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += arg + " ";
  return text;
}

TEST_F(VesklocTest, PrintsTheDefaultLocationsInEachForm) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{}, kDefaultLines},
      {{"--json"}, kDefaultJson},
      {{"--location", "veskapp"}, kSharedPrograms + "veskapp\n"},
      {{"--json", "--location", "veskapp"}, kSharedPrograms + "veskapp\n"},
      {{"--location", "vesks"}, kSharedPrograms + "vesks\n"},
      {{"vesks"}, kSharedPrograms + "vesks\n"},
      {{"qztimestampdPidFile"}, "/var/run/qztimestampd.pid\n"},
  };
  for (const Case& c : cases) expectSuccess(veskloc(c.args), c.out, joined(c.args));
  // No share.dir is no failure of a lookup.
  EXPECT_EQ(warnings(), std::vector<std::string>{});
}

TEST_F(VesklocTest, RefusesWhatItCannotAnswerWithStatus1) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"bogus"}, "invalid location bogus\n"},
      {{"--location", "Vesks"}, "invalid location Vesks\n"},
      {{"--json", "--location", "bogus"}, "invalid location bogus\n"},
      {{"--nope"}, "unrecognised option '--nope'\n"},
      {{"vesks", "veskapp"}, "option '--location' cannot be specified more than once\n"},
      {{"--location"}, "the required argument for option '--location' is missing\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = veskloc(c.args);
    EXPECT_EQ(result.status, 1) << joined(c.args);
    EXPECT_EQ(result.out, "") << joined(c.args);
    EXPECT_EQ(result.err, c.err) << joined(c.args);
  }
}

TEST_F(VesklocTest, HelpIsBoostsOptionsTextAndNothingElse) {
  const std::string help =
      "Print out various QZ Sync Domain file and directory locations:\n"
      "  --help                produce help message\n"
      "  --json                output in JSON format\n"
      "  --location arg        install location directory or file path\n"
      "\n";
  expectSuccess(veskloc({"--help"}), help, "--help");
  expectSuccess(veskloc({"--json", "--help", "bogus"}), help, "--help among others");
  // Nothing is looked up, so even a failing relocation logs nothing.
  expectSuccess(veskloc({"--help"}, "bindir!\n"), help, "--help with a failing relocation");
  EXPECT_EQ(warnings(), std::vector<std::string>{});
}

TEST_F(VesklocTest, SharedDirectoryComesTrimmedFromShareDir) {
  struct Case {
    std::string content;
    std::string vesks;
  };
  const Case cases[] = {
      {"  /opt/qz/share/ \n", "/opt/qz/share/SyncDomain/vesks\n"},
      {"/opt/qz/share", "/opt/qz/share/SyncDomain/vesks\n"},
      {"\t/opt/q z/share//\n\n", "/opt/q z/share/SyncDomain/vesks\n"},
      // The root stays the root, not "" (which made relative paths).
      {"/", "/SyncDomain/vesks\n"},
      {" / \n", "/SyncDomain/vesks\n"},
      // Naming nothing is no directory at all.
      {"", kSharedPrograms + "vesks\n"},
      {" \n\t\n", kSharedPrograms + "vesks\n"},
  };
  for (const Case& c : cases) {
    veskloctest::writeFile(kShareDirFile, c.content);
    expectSuccess(veskloc({"vesks"}), c.vesks, '"' + c.content + '"');
  }
  EXPECT_EQ(warnings(), std::vector<std::string>{});
}

TEST_F(VesklocTest, JsonEscapesWhatShareDirHolds) {
  veskloctest::writeFile(kShareDirFile, "/opt/q\"z\\share\n");
  const std::string programs = "/opt/q\\\"z\\\\share/SyncDomain/";
  expectSuccess(veskloc({"--json"}),
                "{\n\"vesks\":\"" + programs + "vesks\",\n\"qztimestampd\":\"" + programs +
                    "qztimestampd\",\n\"qztimestampdPidFile\":\"/var/run/qztimestampd.pid\",\n\"veskapp\":\"" +
                    programs + "veskapp\"\n}\n",
                "--json");
  // The other forms print the path as it is.
  expectSuccess(veskloc({"vesks"}), "/opt/q\"z\\share/SyncDomain/vesks\n", "vesks");
}

// The programs lie in bindir when it holds the daemon or the time-stamp
// daemon; the pid file follows runstatedir.
TEST_F(VesklocTest, RelocatedDirectoriesPlaceTheLocations) {
  struct Case {
    std::vector<std::string> bindirFiles;
    bool inBindir;
  };
  const Case cases[] = {
      {{"vesks"}, true},
      {{"qztimestampd"}, true},
      {{"veskapp"}, false},
      {{}, false},
  };
  for (const Case& c : cases) {
    fs::remove_all(scratch_);
    const std::string bindir = folderWith("bin", c.bindirFiles);
    const std::string runstatedir = folderWith("run", {});
    const std::string relocations = "bindir=" + bindir + "\nrunstatedir=" + runstatedir + "\n";
    expectSuccess(veskloc({}, relocations), linesFor(c.inBindir ? bindir : kSharedPrograms, runstatedir),
                  joined(c.bindirFiles));
  }
  // A library that relocates nothing keeps every default.
  expectSuccess(veskloc({}, ""), kDefaultLines, "no relocation");
  EXPECT_EQ(warnings(), std::vector<std::string>{});
}

// The library may answer 255 bytes of text with its NUL, or a longer text
// cut at 255 bytes without one: either is read as those 255 bytes.
TEST_F(VesklocTest, RelocationAnswersOfTheLongestLengthAreReadWhole) {
  const size_t rest = 255 - scratch_.size() - 1 - 200 - 1;
  const std::string bindir = folderWith(std::string(200, 'a') + "/" + std::string(rest, 'b'), {"vesks"});
  const std::string text = bindir.substr(0, bindir.size() - 1);
  ASSERT_EQ(text.size(), 255u);
  for (const std::string& answer : {text, text + "/and/beyond"}) {
    expectSuccess(veskloc({"vesks"}, "bindir=" + answer + "\n"), bindir + "vesks\n", answer);
  }
}

// A failing answer makes every bindir and runstatedir lookup fail, even of
// keys relocated before it: each location falls back and logs a warning.
TEST_F(VesklocTest, FailingRelocationFallsBackWithAWarningPerLookup) {
  const std::string bindir = folderWith("bin", {"vesks"});
  const std::vector<std::string> failures = {"qzsysq::get_bindir() failed", "qzsysq::get_runstatedir() failed"};
  const std::string cases[] = {"bindir!\n", "prefixdir!\n", "bindir=" + bindir + "\ndocdir!\n"};
  for (const std::string& relocations : cases) {
    expectSuccess(veskloc({}, relocations), kDefaultLines, relocations);
    EXPECT_EQ(warnings(), failures) << relocations;
  }
}

// With the daemon in the fallback bindir, the test for it and every program
// path ask for bindir again: four warnings for it in one run.
TEST_F(VesklocTest, FailingBindirIsLoggedForEveryLocationThatAsks) {
  const std::string programs = folderWith("usr-bin", {"vesks"});
  veskloctest::ScopedOverlay usrBin(programs, "/usr/bin");
  expectSuccess(veskloc({}, "bindir!\n"), linesFor("/usr/bin/"), "daemon in /usr/bin");
  const std::string bindir = "qzsysq::get_bindir() failed";
  EXPECT_EQ(warnings(),
            (std::vector<std::string>{bindir, bindir, bindir, "qzsysq::get_runstatedir() failed", bindir}));
}

TEST_F(VesklocTest, FileSystemErrorWhileTestingAPathEndsWithStatus1) {
  const std::string bindir = folderWith("loop", {});
  fs::create_symlink(bindir + "vesks", bindir + "vesks");
  const ProgramResult result = veskloc({}, "bindir=" + bindir + "\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("Too many levels of symbolic links"), std::string::npos) << result.err;
}

}  // namespace
