#include "qzsdbg/debugLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "component.h"

namespace {

std::vector<std::string> captured;
void captureOutput(const char* text) { captured.emplace_back(text); }

struct AssertCall {
  const qzsdbg_Site* site;
  std::string file;
  int32_t line;
  std::string suffix;
  std::string text;
};
std::vector<AssertCall> assertCalls;
void recordAssert(const qzsdbg_Site* site, const char* text) {
  assertCalls.push_back({site, site->file, site->line, site->suffix, text});
}

int formatAsHook(char* buffer, size_t size, const char*, va_list) { return snprintf(buffer, size, "HOOK"); }

// Routes output into `captured` and puts every hook, writer and width back
// afterwards, so each test sees the defaults.
class DebugLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    captured.clear();
    assertCalls.clear();
    qzsdbg_outputHook = captureOutput;
  }
  void TearDown() override {
    qzsdbg_formatHook = savedFormat_;
    qzsdbg_outputHook = savedOutput_;
    qzsdbg_assertHook = savedAssert_;
    std::copy(std::begin(savedWriters_), std::end(savedWriters_), std::begin(qzsdbg_prefixWriters));
    qzsdbg_componentWidth = savedWidths_[0];
    qzsdbg_fileWidth = savedWidths_[1];
    qzsdbg_lineWidth = savedWidths_[2];
  }

  std::string onlyLine() const {
    EXPECT_EQ(captured.size(), 1u);
    return captured.empty() ? std::string() : captured.front();
  }

 private:
  qzsdbg_FormatHook savedFormat_ = qzsdbg_formatHook;
  qzsdbg_OutputHook savedOutput_ = qzsdbg_outputHook;
  qzsdbg_AssertHook savedAssert_ = qzsdbg_assertHook;
  qzsdbg_PrefixWriter savedWriters_[8] = {qzsdbg_prefixWriters[0], qzsdbg_prefixWriters[1],
                                          qzsdbg_prefixWriters[2], qzsdbg_prefixWriters[3],
                                          qzsdbg_prefixWriters[4], qzsdbg_prefixWriters[5],
                                          qzsdbg_prefixWriters[6], qzsdbg_prefixWriters[7]};
  size_t savedWidths_[3] = {qzsdbg_componentWidth, qzsdbg_fileWidth, qzsdbg_lineWidth};
};

TEST_F(DebugLinesTest, DefaultsAreInPlaceAtLoad) {
  // The expected lines below are those of a program named like the core library.
  EXPECT_STREQ(vesk_componentName, "vesklib");
  EXPECT_EQ(qzsdbg_formatHook, static_cast<qzsdbg_FormatHook>(vsnprintf));
  EXPECT_EQ(qzsdbg_assertHook, qzsdbg_defaultAssertHook);
  EXPECT_EQ(qzsdbg_componentWidth, 10u);
  EXPECT_EQ(qzsdbg_fileWidth, 32u);
  EXPECT_EQ(qzsdbg_lineWidth, 4u);
}

struct PrefixCase {
  const char* file;
  int32_t line;
  const char* expected;
};

TEST_F(DebugLinesTest, PrefixFieldsAreRightAlignedAndCutFromTheLeft) {
  const PrefixCase cases[] = {
      {"a.cpp", 65, "[   vesklib|                           a.cpp|0065] m\n"},
      {"exactly/thirty-two/chars/long.cc", 9999, "[   vesklib|exactly/thirty-two/chars/long.cc|9999] m\n"},
      {"vesklib/source/vesklib/timescaleProxyIpc/session.cpp", 1,
       "[   vesklib|ib/timescaleProxyIpc/session.cpp|0001] m\n"},
      {"", 0, "[   vesklib|                                |0000] m\n"},
      {"f", 12345, "[   vesklib|                               f|2345] m\n"},
      {"f", 2147483647, "[   vesklib|                               f|3647] m\n"},
  };
  for (const PrefixCase& c : cases) {
    captured.clear();
    const qzsdbg_Site site = {c.file, c.line, "\n"};
    qzsdbg_printLine(&site, "m");
    EXPECT_EQ(onlyLine(), c.expected) << c.file << ":" << c.line;
  }
}

struct WidthCase {
  size_t component, file, line;
  const char* expected;
};

TEST_F(DebugLinesTest, FieldWidthsCanBeChanged) {
  const WidthCase cases[] = {
      {4, 3, 2, "[klib|cpp|12] m\n"},
      {12, 8, 6, "[     vesklib|   x.cpp|000112] m\n"},
      {0, 0, 0, "[||] m\n"},
  };
  const qzsdbg_Site site = {"x.cpp", 112, "\n"};
  for (const WidthCase& c : cases) {
    captured.clear();
    qzsdbg_componentWidth = c.component;
    qzsdbg_fileWidth = c.file;
    qzsdbg_lineWidth = c.line;
    qzsdbg_printLine(&site, "m");
    EXPECT_EQ(onlyLine(), c.expected);
  }
}

TEST_F(DebugLinesTest, ExampleLineOfTheCoreLibrary) {
  const qzsdbg_Site site = {"vesklib/source/vesklib/timescaleProxyIpc/session.cpp", 112, "\n"};
  qzsdbg_printLine(&site, "%s=%d", "version", -1);
  EXPECT_EQ(onlyLine(), "[   vesklib|ib/timescaleProxyIpc/session.cpp|0112] version=-1\n");
}

TEST_F(DebugLinesTest, LongMessageIsCutSoThatTheSuffixFits) {
  const std::string message(600, 'x');
  const char* const prefix = "[   vesklib|                           a.cpp|0007] ";
  for (const char* suffix : {"\n", "", "<END>\n"}) {
    captured.clear();
    const qzsdbg_Site site = {"a.cpp", 7, suffix};
    qzsdbg_printLine(&site, "%s", message.c_str());
    const std::string line = onlyLine();
    const size_t kept = 511 - strlen(prefix) - strlen(suffix);
    EXPECT_EQ(line, prefix + std::string(kept, 'x') + suffix) << '"' << suffix << '"';
    EXPECT_EQ(line.size(), 511u);
  }
}

TEST_F(DebugLinesTest, SuffixLongerThanTheLineStaysInsideIt) {
  const std::string suffix(600, 's');
  const qzsdbg_Site site = {"a.cpp", 7, suffix.c_str()};
  qzsdbg_printLine(&site, "m");
  EXPECT_EQ(onlyLine(), std::string(511, 's'));
}

TEST_F(DebugLinesTest, MissingFileAndSuffixReadAsEmpty) {
  const qzsdbg_Site site = {nullptr, 3, nullptr};
  qzsdbg_printLine(&site, "m");
  EXPECT_EQ(onlyLine(), "[   vesklib|                                |0003] m");
}

TEST_F(DebugLinesTest, PrintfAddsNoPrefixAndNoNewline) {
  qzsdbg_printf("%s %d", "plain", 5);
  EXPECT_EQ(onlyLine(), "plain 5");
}

TEST_F(DebugLinesTest, PrintfCutsAt511Bytes) {
  const std::string message(600, 'y');
  qzsdbg_printf("%s\n", message.c_str());
  EXPECT_EQ(onlyLine(), std::string(511, 'y'));
}

TEST_F(DebugLinesTest, BothWritersFormatThroughTheFormatHook) {
  qzsdbg_formatHook = formatAsHook;
  const qzsdbg_Site site = {"a.cpp", 1, "\n"};
  qzsdbg_printf("%s", "ignored");
  qzsdbg_printLine(&site, "%s", "ignored");
  EXPECT_EQ(captured, (std::vector<std::string>{"HOOK", "[   vesklib|                           a.cpp|0001] HOOK\n"}));
}

TEST_F(DebugLinesTest, PrefixWritersRunInListOrder) {
  std::swap(qzsdbg_prefixWriters[1], qzsdbg_prefixWriters[5]);
  qzsdbg_prefixWriters[3] = nullptr;
  const qzsdbg_Site site = {"a.cpp", 42, "\n"};
  qzsdbg_printLine(&site, "m");
  EXPECT_EQ(onlyLine(), "[0042|m\n");
}

TEST_F(DebugLinesTest, AssertionWritesItsLinesThenCallsTheHook) {
  qzsdbg_assertHook = recordAssert;
  const qzsdbg_Site site = {"vesklib/timescaleProxyIpc/session", 112, "\n"};
  qzsdbg_assertFailed(&site, "ASSERT(serverApiVersion > 0)");
  EXPECT_EQ(captured, (std::vector<std::string>{
                          "[vesklib|vesklib/timescaleProxyIpc/session|112] !!ASSERT!!\n",
                          "[   vesklib|esklib/timescaleProxyIpc/session|0112] ASSERT(serverApiVersion > 0)\n",
                          "[   vesklib|esklib/timescaleProxyIpc/session|0112]  \n",
                      }));
  ASSERT_EQ(assertCalls.size(), 1u);
  EXPECT_EQ(assertCalls[0].site, &site);
  EXPECT_EQ(assertCalls[0].text, "ASSERT(serverApiVersion > 0)");
}

TEST_F(DebugLinesTest, AssertMacroReportsItsOwnSiteOnlyWhenTheConditionFails) {
  qzsdbg_assertHook = recordAssert;
  QZSDBG_ASSERT(1 + 1 == 2, "ASSERT(true)");
  EXPECT_TRUE(captured.empty());
  EXPECT_TRUE(assertCalls.empty());

  const int32_t line = __LINE__ + 1;
  QZSDBG_ASSERT(1 + 1 == 3, "ASSERT(1 + 1 == 3)");
  ASSERT_EQ(captured.size(), 3u);
  EXPECT_EQ(captured[0], "[vesklib|" + std::string(__FILE__) + "|" + std::to_string(line) + "] !!ASSERT!!\n");
  ASSERT_EQ(assertCalls.size(), 1u);
  EXPECT_EQ(assertCalls[0].file, __FILE__);
  EXPECT_EQ(assertCalls[0].line, line);
  EXPECT_EQ(assertCalls[0].suffix, "\n");
  EXPECT_EQ(assertCalls[0].text, "ASSERT(1 + 1 == 3)");
}

TEST_F(DebugLinesTest, DefaultAssertHookReturnsAndTheCallerGoesOn) {
  QZSDBG_ASSERT(false, "ASSERT(false)");
  // Reaching this line is the point: the default hook neither aborts nor traps.
  EXPECT_EQ(captured.size(), 3u);
}

}  // namespace
