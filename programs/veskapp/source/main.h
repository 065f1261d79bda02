// The console's command line:
//   veskapp <command> [<argument>]... [--<option> <value>]... [-t] [-q]
// runCommandLine checks the words, runs the one command they name and turns
// any failure into one "ERROR: " line on `err`; nothing of a failed command
// reaches `out`. Its result is 0 on success, 1 for a usage or option-value
// error, or the failing status code of a client call or a malformed option.
// exitStatus maps that result onto the process's exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "apiWrapper.h"

namespace veskapp {

// `words` are the command line's words after the program's name.
int runCommandLine(const std::vector<std::string>& words, vesksapi::ApiWrapperInterface& api, std::ostream& out,
                   std::ostream& err);

// The low byte of `result`; a failure whose low byte is 0 exits with 1, so it
// never reads as success.
int exitStatus(int result);

}  // namespace veskapp
