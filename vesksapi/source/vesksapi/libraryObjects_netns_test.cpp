// The tear-down order of the library's process-wide objects, shown by a
// process that returns from main with a call in progress.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "vesksapi/server/testing/childProgram.h"

namespace {

TEST(LibraryObjectsTest, AtExitTheServerIsStoppedAndJoinedBeforeTheSessionIsDeleted) {
  const int waited = vesksapi::testing::runToEnd(LIBRARY_OBJECTS_EXIT_HELPER_PATH);
  ASSERT_TRUE(WIFEXITED(waited)) << "wait status " << waited;
  EXPECT_EQ(WEXITSTATUS(waited), 0);
}

}  // namespace
