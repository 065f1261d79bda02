// The console's vocabulary: the command words, the words accepted as
// positional arguments (one list for every command), the two global flags,
// and what the help prints of each command's actions and options. The tables
// are constant for the whole run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace veskapp {

extern const char kTimeFlag[];   // "-t": print the command's duration
extern const char kQuietFlag[];  // "-q": no "SUCCESS: " lines

extern const std::vector<std::string> commands;        // in help order, "help" first
extern const std::vector<std::string> validArguments;  // "help" is not one
extern const std::vector<std::string> globalFlags;     // kTimeFlag, kQuietFlag

bool isCommand(const std::string& word);
bool isValidArgument(const std::string& word);
bool isGlobalFlag(const std::string& word);

// Writes the help block of `word` (a command or any other word) to `out`:
// the word, then its actions with their options, or its own options; every
// line is flushed.
void printCommandHelp(std::ostream& out, const std::string& word);

}  // namespace veskapp
