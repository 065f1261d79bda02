// What a command works with: the client API, standard output and the -q flag,
// plus the lookup of an action word in a command's table. Output lines end
// with a flush. A command prints nothing before its call returned without
// error, so a failing command leaves standard output empty.
#pragma once

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "apiWrapper.h"
#include "optionValues.h"

namespace veskapp {

struct CommandContext {
  vesksapi::ApiWrapperInterface& api;
  std::ostream& out;
  bool quiet;

  // "SUCCESS: " and the text, unless -q.
  void printSuccess(const std::string& text) const;
  // A result: printed with or without -q.
  void printResult(const std::string& text) const;
};

// The buffer for a timescale URI the service returns, its NUL included.
constexpr size_t kTimescaleUriBufferSize = 512;

// The text a client call wrote into a zero-filled buffer, up to its first
// zero byte (or the buffer's end).
inline std::string bufferText(const std::vector<char>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

// One action of a command: its word and what it does.
struct Action {
  const char* word;
  void (*run)(const OptionValues& commandOptionValues, const CommandContext& context);
};

// Runs the first action of `actions` named `word`; a word the command does not
// have is reported by reportUnimplementedAction.
template <size_t N>
void runAction(const Action (&actions)[N], const std::string& word, const OptionValues& commandOptionValues,
               const CommandContext& context);

// For an action word that passed the argument check but names no action of
// its command: writes the assertion lines on standard error (debug-line
// hooks), then throws std::logic_error, so the run fails with status 1 and
// prints nothing on standard output.
[[noreturn]] void reportUnimplementedAction();

template <size_t N>
void runAction(const Action (&actions)[N], const std::string& word, const OptionValues& commandOptionValues,
               const CommandContext& context) {
  for (const Action& action : actions) {
    if (word == action.word) return action.run(commandOptionValues, context);
  }
  reportUnimplementedAction();
}

}  // namespace veskapp
