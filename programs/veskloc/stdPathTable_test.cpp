#include "stdPathTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "testing/testStatus.h"

namespace {

using vesk::testing::TestStatus;

const std::vector<std::pair<std::string, std::string>> kDefaults = {
    {"prefixdir", "/usr"},
    {"execprefixdir", "/usr"},
    {"bindir", "/usr/bin"},
    {"sbindir", "/usr/sbin"},
    {"libdir", "/usr/lib"},
    {"lib32dir", "/usr/lib"},
    {"lib64dir", "/usr/lib64"},
    {"nativelibdir", "/usr/lib64"},
    {"multiarchlibdir", "/usr/lib/x86_64-linux-gnu"},
    {"libexecdir", "/usr/libexec"},
    {"sharedstatedir", "/var/lib"},
    {"datarootdir", "/usr/share"},
    {"datadir", "/usr/share"},
    {"sysconfdir", "/etc"},
    {"localstatedir", "/var"},
    {"runstatedir", "/var/run"},
    {"includedir", "/usr/include"},
    {"docdir", "/usr/share/doc"},
    {"initddir", "/etc/init.d"},
};

std::string valueOf(const qzsysq::StdPathTable& table, const std::string& key) {
  TestStatus status;
  std::string value = "(unset)";
  table.get(key, value, status);
  EXPECT_EQ(status.code(), 0) << key;
  return value;
}

// A relocation library that a test scripts through these globals: it notes
// every key asked, answers `relocatedKey` with `answer` (the first
// `answerBytes` bytes written, however long), fails `failingKey`, and
// answers 0 to the rest.
struct FakeLibrary {
  std::vector<std::string> asked;
  std::string relocatedKey;
  std::string answer;
  size_t answerBytes = 0;
  std::string failingKey;
};
FakeLibrary fake;

int fakeGetRelocatedDir(const char* key, char* buffer, int) {
  fake.asked.push_back(key);
  if (key == fake.failingKey) return -1;
  if (key != fake.relocatedKey) return 0;
  memcpy(buffer, fake.answer.data(), fake.answerBytes);
  return 1;
}

class StdPathTableTest : public ::testing::Test {
 protected:
  void SetUp() override { fake = FakeLibrary(); }

  // Relocates `key` to `answer` with its NUL.
  static void relocateTo(const std::string& key, const std::string& answer) {
    fake.relocatedKey = key;
    fake.answer = answer;
    fake.answerBytes = answer.size() + 1;
  }

  qzsysq::StdPathTable table;
};

TEST_F(StdPathTableTest, WithoutARelocationLibraryEveryKeyHasItsDefault) {
  TestStatus status;
  table.build(nullptr, status);
  EXPECT_EQ(status.code(), 0);
  for (const auto& [key, value] : kDefaults) EXPECT_EQ(valueOf(table, key), value) << key;
}

TEST_F(StdPathTableTest, AnswerZeroKeepsEveryDefaultAfterAskingEachKeyInOrder) {
  TestStatus status;
  table.build(fakeGetRelocatedDir, status);
  EXPECT_EQ(status.code(), 0);
  std::vector<std::string> keys;
  for (const auto& [key, value] : kDefaults) {
    keys.push_back(key);
    EXPECT_EQ(valueOf(table, key), value) << key;
  }
  EXPECT_EQ(fake.asked, keys);
}

TEST_F(StdPathTableTest, RelocatedKeyAnswersTheLibrarysTextAndOthersTheirDefaults) {
  relocateTo("bindir", "/opt/qz/bin");
  TestStatus status;
  table.build(fakeGetRelocatedDir, status);
  EXPECT_EQ(status.code(), 0);
  for (const auto& [key, value] : kDefaults) {
    EXPECT_EQ(valueOf(table, key), key == "bindir" ? "/opt/qz/bin" : value) << key;
  }
}

// The library may answer 255 bytes of text and its NUL (256 bytes), or leave
// the NUL out; the answer must stay inside the buffer and end at 255 bytes.
TEST_F(StdPathTableTest, AnswersAtTheBufferLimitStayInsideIt) {
  struct Case {
    std::string answer;
    size_t bytesWritten;
    std::string value;
  };
  const std::string longest = "/" + std::string(254, 'd');
  const Case cases[] = {
      {longest, 256, longest},           // 255 bytes and the NUL
      {longest, 255, longest},           // no NUL
      {longest + "tail", 256, longest},  // no NUL in the whole buffer
  };
  for (const Case& c : cases) {
    fake = FakeLibrary();
    fake.relocatedKey = "bindir";
    fake.answer = c.answer;
    fake.answerBytes = c.bytesWritten;
    qzsysq::StdPathTable fresh;
    TestStatus status;
    fresh.build(fakeGetRelocatedDir, status);
    EXPECT_EQ(status.code(), 0);
    EXPECT_EQ(valueOf(fresh, "bindir"), c.value) << c.bytesWritten;
  }
}

// A failing answer ends the relocation: the keys after it are not asked, and
// the failure is in the status without detail.
TEST_F(StdPathTableTest, FailingAnswerStopsTheRelocation) {
  relocateTo("prefixdir", "/opt/qz");
  fake.failingKey = "libdir";
  TestStatus status;
  table.build(fakeGetRelocatedDir, status);
  EXPECT_EQ(status.code(), -52006);
  EXPECT_EQ(status.json(), "");
  EXPECT_EQ(fake.asked, (std::vector<std::string>{"prefixdir", "execprefixdir", "bindir", "sbindir", "libdir"}));
}

TEST_F(StdPathTableTest, RelocatingAnUnknownKeyAddsIt) {
  TestStatus status;
  table.build(nullptr, status);
  table.relocate("mandir", "/opt/qz/man", status);
  table.relocate("bindir", "/opt/qz/bin", status);
  EXPECT_EQ(status.code(), 0);
  EXPECT_EQ(valueOf(table, "mandir"), "/opt/qz/man");
  EXPECT_EQ(valueOf(table, "bindir"), "/opt/qz/bin");
  EXPECT_EQ(valueOf(table, "sbindir"), "/usr/sbin");
}

TEST_F(StdPathTableTest, UnknownKeyIsAnOsFaultWithoutDetail) {
  TestStatus build;
  table.build(nullptr, build);
  for (const char* key : {"mandir", "BINDIR", "bindir/", ""}) {
    TestStatus status;
    std::string value = "kept";
    table.get(key, value, status);
    EXPECT_EQ(status.code(), -52008) << key;
    EXPECT_EQ(status.json(), "") << key;
    EXPECT_EQ(value, "kept") << key;
  }
}

TEST_F(StdPathTableTest, LookupDoesNothingAfterAnEarlierError) {
  TestStatus build;
  table.build(nullptr, build);
  TestStatus status;
  status->code = -52005;
  std::string value = "kept";
  table.get("bindir", value, status);
  EXPECT_EQ(status.code(), -52005);
  EXPECT_EQ(value, "kept");
}

// This test program runs without the relocation library on the loader's
// path: the process-wide table holds the defaults and no error.
TEST(StdPathAccessors, AnswerTheDefaultsWithoutARelocationLibrary) {
  TestStatus status;
  qzsysq::StdPathTable::instance(status);
  EXPECT_EQ(status.code(), 0);
  EXPECT_EQ(qzsysq::get_bindir(), "/usr/bin");
  EXPECT_EQ(qzsysq::get_runstatedir(), "/var/run");
}

}  // namespace
