#include "main.h"

#include <cstring>
#include <optional>
#include <unordered_map>

#include "commandContext.h"
#include "commandTables.h"
#include "consoleExceptions.h"
#include "jsonz/jsonString.h"
#include "listCommand.h"
#include "optionValues.h"
#include "printTimestamp.h"
#include "qzerr/errorDetail.h"
#include "syncDomainCommand.h"
#include "timestampCorrelatorCommand.h"
#include "vesktools/monotonicTimer.h"

namespace veskapp {
namespace {

using GlobalFlagValues = std::unordered_map<std::string, bool>;

struct CommandLine {
  std::string command;
  std::vector<std::string> positionalArguments;  // only the first is used
  OptionValues commandOptionValues;
  GlobalFlagValues globalFlagValues;
};

const char kOptionPrefix[] = "--";
const char kDebugChannel[] = "veskconsoleapp_debug";

bool isOptionWord(const std::string& word) { return word.compare(0, strlen(kOptionPrefix), kOptionPrefix) == 0; }

// Positional words end at the first word that begins with '-'.
bool isPositionalWord(const std::string& word) { return word.empty() || word[0] != '-'; }

[[noreturn]] void raiseInvalidOption(const std::string& word) {
  QZERR_ERROR(qzerr::kInvalidParameter)
      .channel(kDebugChannel, "Encountered invalid command option.")
      .add("option", word)
      .raise();
}

[[noreturn]] void raiseConsecutiveOptions(const std::string& firstOption, const std::string& secondOption) {
  QZERR_ERROR(qzerr::kInvalidParameter)
      .channel(kDebugChannel,
               "Command options are each expected to have a value, but two options found consecutively.")
      .add("firstOption", firstOption)
      .add("secondOption", secondOption)
      .raise();
}

// A flag counts wherever it stands after the command word, even as an
// option's value.
GlobalFlagValues readGlobalFlags(const std::vector<std::string>& words) {
  GlobalFlagValues flags;
  for (const std::string& flag : globalFlags) flags[flag] = false;
  for (auto word = words.begin() + 1; word != words.end(); ++word) {
    if (isGlobalFlag(*word)) flags[*word] = true;
  }
  return flags;
}

// Returns the index of the first word after the positional ones.
size_t readPositionalArguments(const std::vector<std::string>& words, std::vector<std::string>& arguments) {
  size_t index = 1;
  for (; index < words.size() && isPositionalWord(words[index]); ++index) {
    if (!isValidArgument(words[index])) throw InvalidArgException();
    arguments.push_back(words[index]);
  }
  return index;
}

// "--name" waits for the next word as its value; other words without a
// waiting name are ignored, and a name still waiting at the end is dropped.
OptionValues readOptions(const std::vector<std::string>& words, size_t first) {
  OptionValues values;
  std::string pendingName;
  for (size_t index = first; index < words.size(); ++index) {
    const std::string& word = words[index];
    if (!isOptionWord(word)) {
      if (!pendingName.empty()) values.emplace(pendingName, word);
      pendingName.clear();
      continue;
    }
    const std::string name = word.substr(strlen(kOptionPrefix));
    if (name.empty() || name[0] == '-') raiseInvalidOption(word);
    if (!pendingName.empty()) raiseConsecutiveOptions(pendingName, name);
    pendingName = name;
  }
  return values;
}

CommandLine parseCommandLine(const std::vector<std::string>& words) {
  if (words.empty()) throw NoCmdException();
  if (!isCommand(words[0])) throw InvalidCmdException();
  CommandLine commandLine;
  commandLine.command = words[0];
  commandLine.globalFlagValues = readGlobalFlags(words);
  const size_t firstOption = readPositionalArguments(words, commandLine.positionalArguments);
  commandLine.commandOptionValues = readOptions(words, firstOption);
  return commandLine;
}

std::string remoteHostParams(const std::string& remoteHost) {
  return "{\"remoteHost\":" + jsonz::jsonString(remoteHost) + "}";
}

void help(const CommandLine& commandLine, const CommandContext& context) {
  const std::vector<std::string>& words = commandLine.positionalArguments;
  if (!words.empty()) return printCommandHelp(context.out, words[0]);
  for (const std::string& command : commands) printCommandHelp(context.out, command);
}

void loadResources(const CommandLine& commandLine, const CommandContext& context) {
  const std::string remoteHost = getStringOption("remoteHost", commandLine.commandOptionValues);
  context.api.loadResources("networkDeviceParams", remoteHostParams(remoteHost), qzerr::ScopedStatus());
  context.printSuccess("Loaded resources from remoteHost = " + remoteHost);
}

void unloadResources(const CommandLine& commandLine, const CommandContext& context) {
  const std::string remoteHost = getStringOption("remoteHost", commandLine.commandOptionValues);
  context.api.unloadResources("networkDeviceParams", remoteHostParams(remoteHost), qzerr::ScopedStatus());
  context.printSuccess("Unloaded resources from remoteHost = " + remoteHost);
}

void getTime(const OptionValues& options, const CommandContext& context) {
  vesklib_Timestamp timestamp = {0, 0, 0, false};
  const std::string timescaleUri = getStringOption("timescaleUri", options);
  context.api.timescale_getTime(timescaleUri, &timestamp, qzerr::ScopedStatus());
  context.printSuccess("Retrieved timestamp from timescale " + timescaleUri);
  context.out << "Time in seconds : ";
  printTimestamp(context.out, timestamp);
}

const Action kTimescaleActions[] = {
    {"getTime", getTime},
};

void timescale(const CommandLine& commandLine, const CommandContext& context) {
  runAction(kTimescaleActions, commandLine.positionalArguments[0], commandLine.commandOptionValues, context);
}

void getCurrentTimescale(const CommandLine& commandLine, const CommandContext& context) {
  const std::string remoteHost = getStringOption("remoteHost", commandLine.commandOptionValues);
  std::vector<char> timescaleUri(kTimescaleUriBufferSize, '\0');
  context.api.getCurrentTimescale(remoteHost, timescaleUri.data(), timescaleUri.size(), qzerr::ScopedStatus());
  context.printResult(bufferText(timescaleUri));
}

void getApiVersion(const CommandLine&, const CommandContext& context) {
  context.printResult(std::to_string(context.api.getApiVersion()));
}

void timestampCorrelator(const CommandLine& commandLine, const CommandContext& context) {
  runTimestampCorrelatorCommand(commandLine.positionalArguments[0], commandLine.commandOptionValues, context);
}

void syncDomain(const CommandLine& commandLine, const CommandContext& context) {
  runSyncDomainCommand(commandLine.positionalArguments[0], commandLine.commandOptionValues, context);
}

void list(const CommandLine& commandLine, const CommandContext& context) {
  runListCommand(commandLine.positionalArguments[0], context);
}

struct Command {
  const char* word;
  bool needsArgument;
  void (*run)(const CommandLine& commandLine, const CommandContext& context);
};

const Command kCommands[] = {
    {"help", false, help},
    {"loadResources", false, loadResources},
    {"unloadResources", false, unloadResources},
    {"timestampCorrelator", true, timestampCorrelator},
    {"syncDomain", true, syncDomain},
    {"timescale", true, timescale},
    {"getCurrentTimescale", false, getCurrentTimescale},
    {"list", true, list},
    {"getApiVersion", false, getApiVersion},
};

const Command& commandNamed(const std::string& word) {
  for (const Command& command : kCommands) {
    if (word == command.word) return command;
  }
  throw InvalidCmdException();
}

// The timing line covers the command's calls and output, not the parsing,
// and follows only a command that succeeded.
void runCommand(const CommandLine& commandLine, const CommandContext& context) {
  const Command& command = commandNamed(commandLine.command);
  std::optional<vesktools::MonotonicStopWatch> stopwatch;
  if (commandLine.globalFlagValues.at(kTimeFlag)) stopwatch.emplace();
  if (command.needsArgument && commandLine.positionalArguments.empty()) throw MissingArgException();
  command.run(commandLine, context);
  if (stopwatch) context.out << "(Command executed in " << stopwatch->elapsedMilliseconds() << " ms.)" << std::endl;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& words, vesksapi::ApiWrapperInterface& api, std::ostream& out,
                   std::ostream& err) {
  try {
    const CommandLine commandLine = parseCommandLine(words);
    runCommand(commandLine, CommandContext{api, out, commandLine.globalFlagValues.at(kQuietFlag)});
    return 0;
  } catch (const qzerr::ExceptionBase& error) {
    err << "ERROR: " << error.status().code << ": " << error.what() << std::endl;
    return error.status().code;
  } catch (const std::exception& error) {
    err << "ERROR: " << error.what() << std::endl;
    return 1;
  } catch (...) {
    err << "ERROR: Unknown exception." << std::endl;
    return 1;
  }
}

int exitStatus(int result) {
  const int lowByte = result & 0xff;
  return result != 0 && lowByte == 0 ? 1 : lowByte;
}

}  // namespace veskapp
