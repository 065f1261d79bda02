#include "qz/qbx/pathHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace qz::qbx {
namespace {

std::wstring text(const WideString& s) { return std::wstring(s.begin(), s.end()); }

struct OneArgumentCase {
  const wchar_t* path;
  const wchar_t* expected;
};

TEST(QbxPathHelpers, GetFileName) {
  const OneArgumentCase cases[] = {
      {L"", L""}, {L"x", L"x"}, {L"a/b/x", L"x"}, {L"/x", L"x"}, {L"a/", L""}, {L"/", L""},
  };
  for (const OneArgumentCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(text(getFileName(c.path)), c.expected);
  }
}

TEST(QbxPathHelpers, GetParentPath) {
  const OneArgumentCase cases[] = {
      {L"", L""},        {L"/", L"/"},        {L"///", L"///"},   {L"x", L""},
      {L"/x", L"/"},     {L"//x", L"//"},     {L"a//x", L"a"},    {L"a/b/x", L"a/b"},
      {L"a/", L"a"},     {L"/a/b//", L"/a/b"}, {L"/a//b", L"/a"},
  };
  for (const OneArgumentCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(text(getParentPath(c.path)), c.expected);
  }
}

struct JoinCase {
  const wchar_t* directory;
  const wchar_t* name;
  const wchar_t* expected;
};

TEST(QbxPathHelpers, JoinPath) {
  const JoinCase cases[] = {
      {L"a", L"/b", L"/b"}, {L"a/", L"b", L"a/b"}, {L"", L"b", L"b"},
      {L"a", L"b", L"a/b"}, {L"/", L"b", L"/b"},   {L"a", L"", L"a/"},
  };
  for (const JoinCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.directory << " + " << c.name);
    EXPECT_EQ(text(joinPath(c.directory, c.name)), c.expected);
  }
}

}  // namespace
}  // namespace qz::qbx
