#include "commandLine.h"

#include "targetSim.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace vesktools::targetsim {
namespace {

TEST(CommandLine, ReadsEveryOptionInBothForms) {
  const CommandLine c = parseCommandLine({"--address=127.0.0.9", "--port", "8080", "--device", "/d1", "--device=/d2",
                                          "--timescale", "/t", "--threads", "2", "--log-limit=5", "--quiet",
                                          "--config", "x.json"});
  EXPECT_EQ(c.address, "127.0.0.9");
  EXPECT_EQ(c.httpPort, 8080);
  EXPECT_EQ(c.devices, (std::vector<std::string>{"/d1", "/d2"}));
  EXPECT_EQ(c.timescales, std::vector<std::string>{"/t"});
  EXPECT_EQ(c.threads, 2u);
  EXPECT_EQ(c.logLimit, 5u);
  EXPECT_TRUE(c.quiet);
  EXPECT_EQ(c.configPath, "x.json");
  EXPECT_FALSE(c.help);
}

TEST(CommandLine, RefusesWhatItDoesNotKnow) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"config.json"}, "unexpected argument 'config.json'"},
      {{"--port"}, "--port needs a value"},
      {{"--port", "0"}, "--port takes a number from 1 to 65535, not '0'"},
      {{"--port=70000"}, "--port takes a number from 1 to 65535, not '70000'"},
      {{"--threads", "-1"}, "--threads takes a number from 1 to 256, not '-1'"},
      {{"--quiet=yes"}, "--quiet takes no value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    try {
      parseCommandLine(c.args);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

class ConfigFile : public ::testing::Test {
 protected:
  void write(const std::string& json) { std::ofstream(path_) << json; }
  ~ConfigFile() override { std::remove(path_.c_str()); }
  const std::string path_ = "/tmp/targetsim_test." + std::to_string(getpid()) + ".json";
};

TEST_F(ConfigFile, OptionsOverrideTheFileAndAddToItsLists) {
  write(R"({"address": "127.0.0.5", "httpPort": 81, "devices": [{"uri": "/d1", "isCoherent": false}]})");
  const TargetConfig config = buildTargetConfig(
      parseCommandLine({"--config", path_, "--address", "127.0.0.6", "--device", "/d2", "--timescale", "/t"}));
  EXPECT_EQ(config.address, "127.0.0.6");
  EXPECT_EQ(config.httpPort, 81);
  ASSERT_EQ(config.devices.size(), 2u);
  EXPECT_FALSE(config.devices[0].isCoherent);
  EXPECT_EQ(config.devices[1].uri, "/d2");
  ASSERT_EQ(config.timescales.size(), 1u);

  EXPECT_THROW(buildTargetConfig(parseCommandLine({"--config", path_, "--device", "/d1"})), ConfigError);
}

TEST_F(ConfigFile, ErrorsNameTheFile) {
  write(R"({"devices": [{"uri": 1}]})");
  try {
    buildTargetConfig(parseCommandLine({"--config", path_}));
    ADD_FAILURE() << "accepted";
  } catch (const ConfigError& error) {
    EXPECT_EQ(error.what(), path_ + ": devices[0].uri: expected a string");
  }
}

TEST(CommandLine, WithNothingNamedServesOneDeviceAndOneTimescale) {
  const TargetConfig config = buildTargetConfig(parseCommandLine({}));
  EXPECT_EQ(config.address, "127.0.0.2");
  EXPECT_EQ(config.httpPort, 80);
  ASSERT_EQ(config.devices.size(), 1u);
  EXPECT_EQ(config.devices[0].uri, "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk");
  ASSERT_EQ(config.timescales.size(), 1u);
}

// Runs the program to its end; its output is dropped.
int exitCodeOf(const std::string& args) {
  const int status = std::system((std::string(vesktest::targetSimPath()) + " " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, ExitCodeTellsWhyItEnded) {
  const vesktest::TargetSim running("{}", "127.0.0.2");
  const struct {
    const char* args;
    int exitCode;
  } cases[] = {
      {"--help", 0},
      {"--bogus", 2},
      {"--config /nonexistent.json", 2},
      {"--address 127.0.0.300", 2},
      {"--address 127.0.0.2 --port 80", 1},  // taken by the one running
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exitCodeOf(c.args), c.exitCode) << c.args;
  }
}

}  // namespace
}  // namespace vesktools::targetsim
