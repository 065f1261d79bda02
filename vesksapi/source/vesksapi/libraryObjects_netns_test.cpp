// The tear-down order of the library's process-wide objects, shown by a
// process that returns from main with a call in progress.
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

extern char** environ;

namespace {

TEST(LibraryObjectsTest, AtExitTheServerIsStoppedAndJoinedBeforeTheSessionIsDeleted) {
  char* arguments[] = {const_cast<char*>(LIBRARY_OBJECTS_EXIT_HELPER_PATH), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, arguments[0], nullptr, nullptr, arguments, environ), 0);
  int waited = 0;
  ASSERT_EQ(waitpid(child, &waited, 0), child);
  ASSERT_TRUE(WIFEXITED(waited));
  EXPECT_EQ(WEXITSTATUS(waited), 0);
}

}  // namespace
