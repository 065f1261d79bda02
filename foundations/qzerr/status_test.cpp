#include "qzerr/status.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "qzerr/errorDetail.h"
#include "testing/testStatus.h"

namespace {

using vesk::testing::TestStatus;

// The jsonz shape: text, NUL, zeros, 'J' in the last byte.
bool shapeKept(const TestStatus& st) {
  if (!st->json) return true;
  for (size_t i = strlen(st->json); i + 1 < static_cast<size_t>(st->capacity); ++i)
    if (st->json[i] != '\0') return false;
  return st->json[st->capacity - 1] == 'J';
}

qzerr_ErrorSite site(const char* constant) { return qzerr_ErrorSite{"dir/file.cpp", 7, "vesklib", constant}; }

TEST(StatusPrecedence, AnErrorIsNeverReplacedAndAWarningOnlyByAnError) {
  struct Case {
    int32_t current, next;
    bool taken;
    int32_t result;
  } cases[] = {
      {0, 0, false, 0},    {0, 5, true, 5},     {0, -1, true, -1},  {5, 0, false, 5},   {5, 6, false, 5},
      {5, -2, true, -2},   {-2, -3, false, -2}, {-2, 5, false, -2}, {-2, 0, false, -2},
  };
  for (const Case& c : cases) {
    TestStatus st;
    st->code = c.current;
    EXPECT_EQ(qzerr_setCode(st.get(), c.next), c.taken) << c.current << "->" << c.next;
    EXPECT_EQ(st->code, c.result) << c.current << "->" << c.next;
  }
}

TEST(StatusPrecedence, AnErrorAfterAWarningKeepsOnlyTheErrorsDetail) {
  TestStatus st;
  const qzerr_ErrorSite warning = site("warn");
  const qzerr_ErrorSite first = site("qzkormerr_invalidParameter");
  const qzerr_ErrorSite second = site("qzkormerr_resourceNotFound");
  EXPECT_TRUE(qzerr_setError(st.get(), 5, &warning));
  EXPECT_TRUE(qzerr_setError(st.get(), -52005, &first));
  const std::string afterFirst = st.json();
  EXPECT_EQ(afterFirst.find("warn"), std::string::npos);
  EXPECT_FALSE(qzerr_setError(st.get(), -52006, &second));
  EXPECT_EQ(st->code, -52005);
  EXPECT_EQ(st.json(), afterFirst);
}

TEST(StatusBuffer, StartsAt512ThenDoublesKeepingTheEndMark) {
  TestStatus st;
  EXPECT_EQ(st->json, nullptr);
  char* end = qzerr_reserveJson(st.get(), 2);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(st->capacity, 512);
  EXPECT_EQ(st.json(), "{}");
  EXPECT_EQ(*end, '}');
  EXPECT_TRUE(shapeKept(st));

  char* moved = qzerr_growJsonAt(st.get(), end);
  EXPECT_EQ(st->capacity, 1024);
  EXPECT_EQ(*moved, '}');
  EXPECT_TRUE(shapeKept(st));

  struct Case {
    int32_t request, capacity;
  } cases[] = {{513, 1024}, {1025, 2048}, {100, 512}, {1 << 30, 1 << 30}};
  for (const Case& c : cases) {
    TestStatus fresh;
    EXPECT_TRUE(qzerr_growJsonBuffer(fresh.get(), c.request)) << c.request;
    EXPECT_EQ(fresh->capacity, c.capacity) << c.request;
    EXPECT_EQ(fresh.json(), "{}");
    EXPECT_TRUE(shapeKept(fresh));
  }
}

TEST(StatusBuffer, RefusesSizesItCannotHoldInsteadOfWrapping) {
  for (int32_t request : {-1, (1 << 30) + 1, INT32_MAX}) {
    TestStatus st;
    EXPECT_FALSE(qzerr_growJsonBuffer(st.get(), request)) << request;
    EXPECT_EQ(st->capacity, 0);
    EXPECT_EQ(st->json, nullptr);
  }
  TestStatus st;
  EXPECT_EQ(qzerr_reserveJson(st.get(), 2147483646u), nullptr);
  EXPECT_EQ(qzerr_growJsonAt(st.get(), nullptr), nullptr);
  EXPECT_TRUE(qzerr_growJsonBuffer(st.get(), 0));
}

TEST(StatusBuffer, DetailWritersGrowTheBufferAsNeeded) {
  TestStatus st;
  jsonz_GrowHandler grow = qzerr_growHandler(st.get());
  const std::string big(3000, 'x');
  char* p = qzerr_addJsonStdString(qzerr_reserveJson(st.get(), 2), "big", big, &grow);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(st->capacity, 4096);
  EXPECT_EQ(st.json(), "{\"big\":\"" + big + "\"}");
  EXPECT_TRUE(shapeKept(st));
}

TEST(StatusDetail, MembersComeInTheirOrder) {
  TestStatus st;
  const int line = __LINE__ + 1;
  QZERR_STATUS_ERROR(st.get(), qzerr::kInvalidParameter)
      .channel("qzsyncdomain_debug", "Encountered missing parameter needed for task completion.")
      .add("handle", "nullptr")
      .add("n", 3u)
      .add("neg", -4)
      .add("big", static_cast<uint64_t>(UINT64_MAX))
      .add("flag", true)
      .addRaw("raw", "[1]");
  EXPECT_EQ(st->code, -52005);
  EXPECT_EQ(st.json(), "{\"error_constant\":\"qzkormerr_invalidParameter\",\"file\":\"status_test\",\"line\":" +
                           std::to_string(line) +
                           ",\"component\":\"vesklib\",\"qzsyncdomain_debug\":{\"message\":\"Encountered "
                           "missing parameter needed for task completion.\",\"handle\":\"nullptr\",\"n\":3,"
                           "\"neg\":-4,\"big\":18446744073709551615,\"flag\":true,\"raw\":[1]}}");
}

TEST(StatusDetail, AChannelGivenNoMessageStartsWithTheFirstAddedMember) {
  TestStatus st;
  QZERR_STATUS_ERROR(st.get(), qzerr::kInvalidParameter).channel("qzjxshared_debug").add("n", 3u).addRaw("raw", "[1]");
  const std::string text = st.json();
  EXPECT_EQ(text.substr(text.find("\"qzjxshared_debug\"")), R"("qzjxshared_debug":{"n":3,"raw":[1]}})");
}

TEST(StatusDetail, ASiteWithoutComponentLeavesTheMemberOut) {
  TestStatus st;
  qzerr_ErrorSite noComponent{"a/b/c.x.cpp", 1, nullptr, "e"};
  EXPECT_TRUE(qzerr_setError(st.get(), -1, &noComponent));
  EXPECT_EQ(st.json(), R"({"error_constant":"e","file":"c.x","line":1})");
}

TEST(StatusDetail, NestedErrorsCollectInOneArrayWithTheirCodes) {
  TestStatus st;
  const qzerr_ErrorSite outer = site("outer");
  qzerr_setError(st.get(), -52024, &outer);
  TestStatus cause1, cause2;
  const qzerr_ErrorSite inner = site("inner");
  qzerr_setError(cause1.get(), -52006, &inner);
  cause2->code = -52007;  // no detail at all
  EXPECT_TRUE(qzerr_addNestedError(st.get(), cause1.get()));
  EXPECT_TRUE(qzerr_addNestedError(st.get(), cause2.get()));
  EXPECT_EQ(st->code, -52024);
  EXPECT_EQ(st.json(),
            R"({"error_constant":"outer","file":"file","line":7,"component":"vesklib","nested_error":[)"
            R"({"error_constant":"inner","file":"file","line":7,"component":"vesklib","code":-52006},)"
            R"({"code":-52007}]})");
}

bool otherGrow(qzerr_Status* status, int32_t size) { return qzerr_growJsonBuffer(status, size); }

TEST(StatusMerge, MovesTheBufferWithTheSameGrowAndCopiesOtherwise) {
  const qzerr_ErrorSite s = site("x");
  TestStatus same, source;
  qzerr_setError(source.get(), -3, &s);
  const std::string text = source.json();
  EXPECT_TRUE(qzerr_mergeStatus(same.get(), source.get()));
  EXPECT_EQ(same.json(), text);
  EXPECT_EQ(source->json, nullptr);
  EXPECT_EQ(source->capacity, 0);
  EXPECT_EQ(source->code, -3);

  TestStatus foreign(otherGrow), source2;
  qzerr_setError(source2.get(), -3, &s);
  EXPECT_TRUE(qzerr_mergeStatus(foreign.get(), source2.get()));
  EXPECT_EQ(foreign.json(), text);
  EXPECT_EQ(source2.json(), text);

  TestStatus copy;
  EXPECT_TRUE(qzerr_mergeStatusCopy(copy.get(), source2.get()));
  EXPECT_EQ(copy.json(), text);
  EXPECT_FALSE(qzerr_mergeStatusCopy(copy.get(), source2.get()));  // an error stays
}

TEST(StatusMerge, CopyIgnoresPrecedence) {
  const qzerr_ErrorSite s = site("x");
  TestStatus target, source;
  qzerr_setError(target.get(), -1, &s);
  source->code = 4;
  EXPECT_TRUE(qzerr_copyStatus(target.get(), source.get()));
  EXPECT_EQ(target->code, 4);
  EXPECT_EQ(target->json, nullptr);
}

// A grow that never gives more than 512 bytes.
bool smallGrow(qzerr_Status* status, int32_t size) {
  return size <= 512 && qzerr_growJsonBuffer(status, size);
}

TEST(StatusMerge, OutFlagTellsAnIncompleteDetail) {
  TestStatus st(smallGrow);
  const std::string long_(600, 'f');
  qzerr_ErrorSite s{"file.cpp", 1, long_.c_str(), "c"};
  bool written = true;
  EXPECT_TRUE(qzerr_setError(st.get(), -1, &s, &written));
  EXPECT_FALSE(written);
  EXPECT_EQ(st->code, -1);
  EXPECT_TRUE(shapeKept(st));
}

TEST(StatusDetail, EscapesInsertedText) {
  TestStatus st;
  QZERR_STATUS_ERROR(st.get(), qzerr::kInvalidParameter).channel("c", "m").add("uri", "/a\"b\\c");
  EXPECT_NE(st.json().find(R"("uri":"/a\"b\\c")"), std::string::npos);
}

}  // namespace
