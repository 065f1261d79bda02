#include "qz/qbx/osdep/osException.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qz::qbx::osdep {
namespace {

TEST(QbxOsException, CodesFollowTheErrorNumber) {
  struct Case {
    int32_t errorNumber;
    int32_t osCode;
    int32_t posixCode;
  };
  const Case cases[] = {{0, 42, 0}, {ENOENT, 42, 7}, {EACCES, 42, 42}, {-5, 42, 42}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.errorNumber);
    const OSException os("os message", c.errorNumber);
    const PosixError posix("posix message", c.errorNumber);
    EXPECT_EQ(os.code(), c.osCode);
    EXPECT_EQ(posix.code(), c.posixCode);
    EXPECT_EQ(posix.getErrorNumber(), c.errorNumber);
    EXPECT_STREQ(static_cast<const std::exception&>(os).what(), "os message");
    EXPECT_STREQ(static_cast<const std::exception&>(posix).what(), "posix message");
    EXPECT_EQ(os.line(), 0);
    EXPECT_EQ(os.file(), nullptr);
  }
}

TEST(QbxOsException, CopyKeepsSiteMessageAndNumber) {
  const OSException original("cannot open", ENOENT, "qz/qbx/osdep/SharedLibrary", 303);
  const OSException copy(original);
  EXPECT_STREQ(copy.what(), "cannot open");
  EXPECT_EQ(copy.getErrorNumber(), ENOENT);
  EXPECT_STREQ(copy.file(), "qz/qbx/osdep/SharedLibrary");
  EXPECT_EQ(copy.line(), 303);
}

}  // namespace
}  // namespace qz::qbx::osdep
