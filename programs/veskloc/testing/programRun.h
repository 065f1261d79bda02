// Test support: runs a program to its end with its standard output and error
// captured, in this process' environment with some variables set or removed.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace veskloctest {

struct ProgramResult {
  int status;  // the exit status; 128 + the signal when a signal ended it
  std::string out;
  std::string err;
};

// A variable with a value is set, one without is removed.
using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Throws std::runtime_error when the program cannot be started.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const Environment& environment = {});

}  // namespace veskloctest
