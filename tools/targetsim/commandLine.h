// The command line of vesktargetsim: its options, the help text that
// explains them and the config file's form, and the making of the target's
// configuration from the file and the options (the options win).
#pragma once

#include "targetConfig.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesktools::targetsim {

struct CommandLine {
  bool help = false;
  bool quiet = false;
  std::optional<std::string> configPath;
  std::optional<std::string> address;
  std::optional<std::uint16_t> httpPort;
  std::vector<std::string> devices;
  std::vector<std::string> timescales;
  unsigned threads = 4;
  std::size_t logLimit = 10000;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Takes "--name value" and "--name=value"; throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Throws ConfigError, its text naming the file.
TargetConfig buildTargetConfig(const CommandLine& commandLine);

const char* helpText();

}  // namespace vesktools::targetsim
