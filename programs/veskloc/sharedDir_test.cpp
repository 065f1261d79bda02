#include "sharedDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/raised.h"
#include "testing/testStatus.h"

namespace {

using vesk::testing::after;
using vesk::testing::errorConstant;
using vesk::testing::TestStatus;

// A scratch file removed when the test ends.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& content) : path_("/tmp/sharedDir_test-XXXXXX") {
    close(mkstemp(path_.data()));
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~ScratchFile() { std::filesystem::remove(path_); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

TEST(TrimPath, DropsBlanksAndTrailingSlashesButKeepsTheRoot) {
  struct Case {
    std::string text;
    std::string trimmed;
  };
  const Case cases[] = {
      {"  /opt/qz/share/ \n", "/opt/qz/share"},
      {std::string("/opt/qz/share\n\0", 15), "/opt/qz/share"},
      {"\t/opt/q z/share//", "/opt/q z/share"},
      {"/", "/"},
      {" / \n", "/"},
      {"///", "/"},
      {"", ""},
      {std::string(" \n\0", 3), ""},
      {"relative/", "relative"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    qzsysq::trimPath(text);
    EXPECT_EQ(text, c.trimmed) << '"' << c.text << '"';
  }
}

TEST(ReadWholeFile, HoldsTheContentAndOneNul) {
  const std::string content("/opt/qz\0share\n", 14);
  ScratchFile file(content);
  std::vector<char> buffer(100, 'x');
  TestStatus status;
  qzsysq::readWholeFile(file.path(), buffer, status);
  EXPECT_EQ(status.code(), 0);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), content + std::string(1, '\0'));
}

TEST(ReadWholeFile, MissingFileIsResourceNotFoundNamingIt) {
  std::vector<char> buffer;
  TestStatus status;
  qzsysq::readWholeFile("/nonexistent/share.dir", buffer, status);
  EXPECT_EQ(status.code(), -52006);
  EXPECT_EQ(errorConstant(status.json()), "qzkormerr_resourceNotFound");
  EXPECT_NE(status.json().find(R"("file":"stdpath_util")"), std::string::npos) << status.json();
  EXPECT_NE(status.json().find(R"("component":"veskloc")"), std::string::npos) << status.json();
  EXPECT_EQ(after(status.json(), "\"internal_error\""),
            R"("internal_error":{"api":"errno","code":2,"string":"No such file or directory"},)"
            R"("qzsysq_debug":{"desc":"error opening file","filename":"/nonexistent/share.dir"}})");
}

// A pipe has no size: the position query answers -1, which must not become
// the size of the read.
TEST(ReadWholeFile, FileWithoutASizeIsAFailedRead) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "/opt/qz", 7), 7);
  close(ends[1]);
  const std::string path = "/proc/self/fd/" + std::to_string(ends[0]);
  std::vector<char> buffer;
  TestStatus status;
  qzsysq::readWholeFile(path.c_str(), buffer, status);
  close(ends[0]);
  EXPECT_EQ(status.code(), -52008);
  EXPECT_EQ(errorConstant(status.json()), "qzkormerr_osFault");
  EXPECT_EQ(after(status.json(), "\"internal_error\""),
            R"("internal_error":{"api":"errno","code":29,"string":"Illegal seek"},)"
            R"("qzsysq_debug":{"desc":"error getting file size","filename":")" + path + R"("}})");
  EXPECT_TRUE(buffer.empty());
}

// A sysfs attribute claims a page but holds a line: the read comes up short.
TEST(ReadWholeFile, ShortReadIsAnOsFaultWithTheSizes) {
  const char* path = "/sys/devices/system/cpu/online";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is missing";
  std::vector<char> buffer;
  TestStatus status;
  qzsysq::readWholeFile(path, buffer, status);
  EXPECT_EQ(status.code(), -52008);
  EXPECT_NE(status.json().find(R"("qzsysq_debug":{"desc":"didn't read full content of file","fileSize":4096,)"
                               R"("fread_return":)"),
            std::string::npos)
      << status.json();
}

TEST(ReadWholeFile, DoesNothingAfterAnEarlierError) {
  ScratchFile file("/opt/qz");
  std::vector<char> buffer;
  TestStatus status;
  status->code = -52005;
  qzsysq::readWholeFile(file.path(), buffer, status);
  EXPECT_EQ(status.code(), -52005);
  EXPECT_TRUE(buffer.empty());
}

}  // namespace
