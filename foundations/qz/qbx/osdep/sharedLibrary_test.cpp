#include "qz/qbx/osdep/sharedLibrary.h"

#include <gtest/gtest.h>

#include <string>

#include "qz/qbx/osdep/osException.h"

namespace qz::qbx::osdep {
namespace {

std::wstring text(const WideString& s) { return std::wstring(s.begin(), s.end()); }

// The test library's folder, wide, as the build names it.
std::wstring testLibraryDirectory() {
  const std::string narrow = QZDYNTEST_LIBRARY_DIR;
  return std::wstring(narrow.begin(), narrow.end());
}

TEST(QbxSharedLibrary, NormalizeLibraryName) {
  struct Case {
    const wchar_t* name;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"", L""},
      {L"curl", L"libcurl.so"},
      {L"/opt/x/curl", L"/opt/x/libcurl.so"},
      {L"a/b/curl", L"a/b/libcurl.so"},
      {L"/curl", L"/libcurl.so"},
      {L"a//curl", L"a/libcurl.so"},
      {L"x.so.13", L"x.so.13"},
      {L"libfoo.so.1", L"libfoo.so.1"},
      {L"a/b.c/x.so", L"a/b.c/x.so"},
      {L"a.b/curl", L"a.b/libcurl.so"},
      {L"a/", L"a/"},
      {L"dir/", L"dir/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(text(normalizeLibraryName(c.name)), c.expected);
  }
}

int32_t callTwice(SharedLibrary& library, int32_t value) {
  using Twice = int (*)(int);
  auto twice = reinterpret_cast<Twice>(library.getSymbol(NarrowString("qzdyntest_twice"), false));
  return twice(value);
}

TEST(QbxSharedLibrary, LoadsByNormalisedNameAndFindsSymbols) {
  // "<dir>/qzdyntest" becomes "<dir>/libqzdyntest.so".
  SharedLibrary library(WideString((testLibraryDirectory() + L"/qzdyntest").c_str()), true);
  ASSERT_TRUE(library.isLoaded());
  EXPECT_EQ(text(library.name()), testLibraryDirectory() + L"/libqzdyntest.so");
  EXPECT_EQ(callTwice(library, 21), 42);
  EXPECT_NE(library.getSymbol(WideString(L"qzdyntest_twice"), false), nullptr);

  library.unload();
  EXPECT_FALSE(library.isLoaded());
  library.load();
  ASSERT_TRUE(library.isLoaded());
  EXPECT_EQ(callTwice(library, 5), 10);
}

TEST(QbxSharedLibrary, FindsALibraryOnTheLoaderPath) {
  SharedLibrary libc(L"libc.so.6", true);
  ASSERT_TRUE(libc.isLoaded());
  EXPECT_NE(libc.getSymbol(NarrowString("getpid"), false), nullptr);
}

TEST(QbxSharedLibrary, MissingSymbolIsNullWhenOptionalElsePosixError) {
  SharedLibrary library(WideString((testLibraryDirectory() + L"/libqzdyntest.so").c_str()), true);
  ASSERT_TRUE(library.isLoaded());
  EXPECT_EQ(library.getSymbol(NarrowString("qzdyntest_missing"), true), nullptr);
  try {
    library.getSymbol(WideString(L"qzdyntest_missing"), false);
    FAIL() << "no exception";
  } catch (const PosixError& e) {
    EXPECT_EQ(e.code(), 0);
    EXPECT_EQ(e.getErrorNumber(), 0);
    EXPECT_NE(std::string(e.what()).find("qzdyntest_missing"), std::string::npos) << e.what();
    EXPECT_STREQ(e.file(), "qz/qbx/osdep/SharedLibrary");
    EXPECT_EQ(e.line(), 309);
  }
}

TEST(QbxSharedLibrary, MissingLibraryLeavesNoHandle) {
  SharedLibrary missing(L"/nonexistent/qzqbx/nothing", true);
  EXPECT_FALSE(missing.isLoaded());
  EXPECT_EQ(text(missing.name()), L"/nonexistent/qzqbx/libnothing.so");
  EXPECT_EQ(missing.getSymbol(NarrowString("anything"), true), nullptr);
  try {
    missing.getSymbol(NarrowString("anything"), false);
    FAIL() << "no exception";
  } catch (const OSException& e) {
    EXPECT_EQ(e.code(), 0);
    EXPECT_EQ(e.line(), 303);
    // The loader's message about the failed open, still pending.
    EXPECT_NE(std::string(e.what()).find("libnothing.so"), std::string::npos) << e.what();
  }
  SharedLibrary empty(L"", true);
  EXPECT_FALSE(empty.isLoaded());
}

}  // namespace
}  // namespace qz::qbx::osdep
