// For tests: runs one command line through the console against a fake client
// API and keeps what a shell user would see: the result, the exit status,
// standard output, standard error (the debug lines included, which go through
// the debug-line hooks) and the client calls made.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "main.h"
#include "qzsdbg/debugLines.h"
#include "testing/fakeApiWrapper.h"

namespace veskapp::testing {

struct ConsoleRun {
  int result;
  int exitStatus;
  std::string out;
  std::string err;
};

// A command line that succeeds with exactly one call and prints `out`.
struct CommandCase {
  std::vector<std::string> words;
  std::string call;
  std::string out;
};

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() : savedOutputHook_(qzsdbg_outputHook) {
    debugLines_ = &debugText_;
    qzsdbg_outputHook = [](const char* text) { *debugLines_ += text; };
  }
  ~ConsoleTest() override {
    qzsdbg_outputHook = savedOutputHook_;
    debugLines_ = nullptr;
  }

  ConsoleRun run(const std::vector<std::string>& words) {
    std::ostringstream out;
    std::ostringstream err;
    debugText_.clear();
    const int result = runCommandLine(words, api, out, err);
    return ConsoleRun{result, exitStatus(result), out.str(), debugText_ + err.str()};
  }

  void expectEachCase(const std::vector<CommandCase>& cases) {
    for (const CommandCase& c : cases) {
      api.calls.clear();
      const ConsoleRun result = run(c.words);
      EXPECT_EQ(api.calls, std::vector<std::string>{c.call}) << c.call;
      EXPECT_EQ(result.out, c.out) << c.call;
      EXPECT_EQ(result.err, "") << c.call;
      EXPECT_EQ(result.exitStatus, 0) << c.call;
    }
  }

  FakeApiWrapper api;

 private:
  static inline std::string* debugLines_ = nullptr;
  std::string debugText_;
  qzsdbg_OutputHook savedOutputHook_;
};

// The timing line's text with its figure replaced by N.
inline std::string withTimingFigureMasked(const std::string& out) {
  const std::string marker = "(Command executed in ";
  const size_t at = out.rfind(marker);
  if (at == std::string::npos) return out;
  const size_t figure = at + marker.size();
  const size_t end = out.find(' ', figure);
  return out.substr(0, figure) + "N" + out.substr(end);
}

}  // namespace veskapp::testing
