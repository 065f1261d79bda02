#include "commandTables.h"

#include <algorithm>

namespace veskapp {

const char kTimeFlag[] = "-t";
const char kQuietFlag[] = "-q";

const std::vector<std::string> commands = {
    "help", "loadResources", "unloadResources", "timestampCorrelator", "syncDomain",
    "timescale", "getCurrentTimescale", "list", "getApiVersion",
};

const std::vector<std::string> validArguments = {
    "loadResources", "unloadResources", "timestampCorrelator", "syncDomain", "timescale",
    "getCurrentTimescale", "list", "getApiVersion", "create", "createAndAddDevices",
    "delete", "start", "startV2", "stop", "correlate",
    "addSyncableDevice", "isCoherent", "isCoherentSinceLastChecked", "getTime", "timescales",
    "syncableDevices", "syncDomains", "correlators",
};

const std::vector<std::string> globalFlags = {kTimeFlag, kQuietFlag};

namespace {

// The help tables keep each key's words in the order they were first listed;
// help prints every group newest first, that is reversed.
struct WordGroup {
  std::string key;
  std::vector<std::string> words;
};

struct ActionOptions {
  std::string command;
  std::string action;
  std::vector<std::string> options;
};

struct OptionNote {
  std::string command;
  std::string action;
  std::string option;
  std::string note;
};

const std::vector<WordGroup> commandActions = {
    {"help",
     {"loadResources", "unloadResources", "timestampCorrelator", "syncDomain", "timescale", "getCurrentTimescale",
      "list", "getApiVersion"}},
    {"timestampCorrelator", {"create", "delete", "correlate"}},
    {"syncDomain",
     {"create", "createAndAddDevices", "delete", "start", "startV2", "stop", "addSyncableDevice", "isCoherent",
      "isCoherentSinceLastChecked"}},
    {"timescale", {"getTime"}},
    {"list", {"syncDomains", "syncableDevices", "timescales", "correlators"}},
};

const std::vector<WordGroup> commandOptions = {
    {"loadResources", {"remoteHost"}},
    {"unloadResources", {"remoteHost"}},
    {"getCurrentTimescale", {"remoteHost"}},
};

const std::vector<ActionOptions> actionOptions = {
    {"timestampCorrelator", "create", {"timescaleUri1", "timescaleUri2", "samplingInterval", "historyLength"}},
    {"timestampCorrelator", "delete", {"timescaleUri1", "timescaleUri2"}},
    {"timestampCorrelator", "correlate", {"srcTimescaleUri", "dstTimescaleUri", "s", "ns", "fns"}},
    {"syncDomain", "create", {"uri", "timescaleUri", "maxOffset_ns", "minSyncDuration_ms"}},
    {"syncDomain", "createAndAddDevices",
     {"uri", "timescaleUri", "remoteHosts", "maxOffset_ns", "minSyncDuration_ms"}},
    {"syncDomain", "delete", {"uri"}},
    {"syncDomain", "start", {"uri", "timeout_s"}},
    {"syncDomain", "startV2", {"uri", "saveInitialCoherency", "waitToBecomeCoherent", "timeout_s"}},
    {"syncDomain", "stop", {"uri"}},
    {"syncDomain", "addSyncableDevice", {"uri", "syncableDeviceUri"}},
    {"syncDomain", "isCoherent", {"uri"}},
    {"syncDomain", "isCoherentSinceLastChecked", {"uri"}},
    {"timescale", "getTime", {"timescaleUri"}},
};

const std::vector<OptionNote> optionNotes = {
    {"syncDomain", "createAndAddDevices", "timescaleUri",
     "  (For automatic timescaleUri selection, supply \"null\") "},
    {"syncDomain", "createAndAddDevices", "remoteHosts", "  (e.g. [\\\"192.0.2.10\\\",\\\"192.0.2.20\\\"])"},
};

const std::vector<std::string> kNone;

bool contains(const std::vector<std::string>& words, const std::string& word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

const std::vector<std::string>& wordsOf(const std::vector<WordGroup>& groups, const std::string& key) {
  for (const WordGroup& group : groups) {
    if (group.key == key) return group.words;
  }
  return kNone;
}

const std::vector<std::string>& optionsOf(const std::string& command, const std::string& action) {
  for (const ActionOptions& entry : actionOptions) {
    if (entry.command == command && entry.action == action) return entry.options;
  }
  return kNone;
}

std::string noteOf(const std::string& command, const std::string& action, const std::string& option) {
  for (const OptionNote& entry : optionNotes) {
    if (entry.command == command && entry.action == action && entry.option == option) return entry.note;
  }
  return "";
}

bool anyActionHasOptions(const std::string& command, const std::vector<std::string>& actions) {
  return std::any_of(actions.begin(), actions.end(),
                     [&](const std::string& action) { return !optionsOf(command, action).empty(); });
}

void printCommandOptions(std::ostream& out, const std::string& command) {
  const std::vector<std::string>& options = wordsOf(commandOptions, command);
  if (options.empty()) {
    out << std::endl;
    return;
  }
  out << " --[optionN] [valN]" << std::endl;
  for (auto option = options.rbegin(); option != options.rend(); ++option) {
    out << "      --" << *option << std::endl;
  }
}

void printActions(std::ostream& out, const std::string& command, const std::vector<std::string>& actions) {
  out << (anyActionHasOptions(command, actions) ? " [arg] --[optionN] [valN]" : " [arg]") << std::endl;
  for (auto action = actions.rbegin(); action != actions.rend(); ++action) {
    out << "      " << *action << std::endl;
    const std::vector<std::string>& options = optionsOf(command, *action);
    for (auto option = options.rbegin(); option != options.rend(); ++option) {
      out << "         --" << *option << noteOf(command, *action, *option) << std::endl;
    }
  }
}

}  // namespace

bool isCommand(const std::string& word) { return contains(commands, word); }

bool isValidArgument(const std::string& word) { return contains(validArguments, word); }

bool isGlobalFlag(const std::string& word) { return contains(globalFlags, word); }

void printCommandHelp(std::ostream& out, const std::string& word) {
  out << "\n   " << word;
  const std::vector<std::string>& actions = wordsOf(commandActions, word);
  if (actions.empty()) {
    printCommandOptions(out, word);
  } else {
    printActions(out, word, actions);
  }
}

}  // namespace veskapp
