// For tests: runs a helper program, without arguments and in this process's
// environment, to its end, for tests that watch how a process exits.
#pragma once

#include <string>

namespace vesksapi::testing {

// The wait status as waitpid gives it (read with WIFEXITED, WEXITSTATUS);
// -1, which is no normal exit, when the program could not be started.
int runToEnd(const std::string& program);

}  // namespace vesksapi::testing
