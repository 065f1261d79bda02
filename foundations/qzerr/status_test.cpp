#include "qzerr/status.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "qzerr/errorDetail.h"

namespace {

struct Status {
  Status() : s(qzerr_freshStatus()) {}
  ~Status() { qzerr_releaseJson(&s); }
  std::string text() const { return s.json ? s.json : ""; }
  // The jsonz shape: text, NUL, zeros, 'J' in the last byte.
  bool shapeKept() const {
    if (!s.json) return true;
    for (size_t i = strlen(s.json); i + 1 < static_cast<size_t>(s.capacity); ++i)
      if (s.json[i] != '\0') return false;
    return s.json[s.capacity - 1] == 'J';
  }
  qzerr_Status s;
};

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
    Status st;
    st.s.code = c.current;
    EXPECT_EQ(qzerr_setCode(&st.s, c.next), c.taken) << c.current << "->" << c.next;
    EXPECT_EQ(st.s.code, c.result) << c.current << "->" << c.next;
  }
}

TEST(StatusPrecedence, AnErrorAfterAWarningKeepsOnlyTheErrorsDetail) {
  Status st;
  const qzerr_ErrorSite warning = site("warn");
  const qzerr_ErrorSite first = site("qzkormerr_invalidParameter");
  const qzerr_ErrorSite second = site("qzkormerr_resourceNotFound");
  EXPECT_TRUE(qzerr_setError(&st.s, 5, &warning));
  EXPECT_TRUE(qzerr_setError(&st.s, -52005, &first));
  const std::string afterFirst = st.text();
  EXPECT_EQ(afterFirst.find("warn"), std::string::npos);
  EXPECT_FALSE(qzerr_setError(&st.s, -52006, &second));
  EXPECT_EQ(st.s.code, -52005);
  EXPECT_EQ(st.text(), afterFirst);
}

TEST(StatusBuffer, StartsAt512ThenDoublesKeepingTheEndMark) {
  Status st;
  EXPECT_EQ(st.s.json, nullptr);
  char* end = qzerr_reserveJson(&st.s, 2);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(st.s.capacity, 512);
  EXPECT_EQ(st.text(), "{}");
  EXPECT_EQ(*end, '}');
  EXPECT_TRUE(st.shapeKept());

  char* moved = qzerr_growJsonAt(&st.s, end);
  EXPECT_EQ(st.s.capacity, 1024);
  EXPECT_EQ(*moved, '}');
  EXPECT_TRUE(st.shapeKept());

  struct Case {
    int32_t request, capacity;
  } cases[] = {{513, 1024}, {1025, 2048}, {100, 512}, {1 << 30, 1 << 30}};
  for (const Case& c : cases) {
    Status fresh;
    EXPECT_TRUE(qzerr_growJsonBuffer(&fresh.s, c.request)) << c.request;
    EXPECT_EQ(fresh.s.capacity, c.capacity) << c.request;
    EXPECT_EQ(fresh.text(), "{}");
    EXPECT_TRUE(fresh.shapeKept());
  }
}

TEST(StatusBuffer, RefusesSizesItCannotHoldInsteadOfWrapping) {
  for (int32_t request : {-1, (1 << 30) + 1, INT32_MAX}) {
    Status st;
    EXPECT_FALSE(qzerr_growJsonBuffer(&st.s, request)) << request;
    EXPECT_EQ(st.s.capacity, 0);
    EXPECT_EQ(st.s.json, nullptr);
  }
  Status st;
  EXPECT_EQ(qzerr_reserveJson(&st.s, 2147483646u), nullptr);
  EXPECT_EQ(qzerr_growJsonAt(&st.s, nullptr), nullptr);
  EXPECT_TRUE(qzerr_growJsonBuffer(&st.s, 0));
}

TEST(StatusBuffer, DetailWritersGrowTheBufferAsNeeded) {
  Status st;
  jsonz_GrowHandler grow = qzerr_growHandler(&st.s);
  const std::string big(3000, 'x');
  char* p = qzerr_addJsonStdString(qzerr_reserveJson(&st.s, 2), "big", big, &grow);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(st.s.capacity, 4096);
  EXPECT_EQ(st.text(), "{\"big\":\"" + big + "\"}");
  EXPECT_TRUE(st.shapeKept());
}

TEST(StatusDetail, MembersComeInTheirOrder) {
  Status st;
  const int line = __LINE__ + 1;
  QZERR_STATUS_ERROR(&st.s, qzerr::kInvalidParameter)
      .channel("qzsyncdomain_debug", "Encountered missing parameter needed for task completion.")
      .add("handle", "nullptr")
      .add("n", 3u)
      .add("neg", -4)
      .add("big", static_cast<uint64_t>(UINT64_MAX))
      .add("flag", true)
      .addRaw("raw", "[1]");
  EXPECT_EQ(st.s.code, -52005);
  EXPECT_EQ(st.text(), "{\"error_constant\":\"qzkormerr_invalidParameter\",\"file\":\"status_test\",\"line\":" +
                           std::to_string(line) +
                           ",\"component\":\"vesklib\",\"qzsyncdomain_debug\":{\"message\":\"Encountered "
                           "missing parameter needed for task completion.\",\"handle\":\"nullptr\",\"n\":3,"
                           "\"neg\":-4,\"big\":18446744073709551615,\"flag\":true,\"raw\":[1]}}");
}

TEST(StatusDetail, ASiteWithoutComponentLeavesTheMemberOut) {
  Status st;
  qzerr_ErrorSite noComponent{"a/b/c.x.cpp", 1, nullptr, "e"};
  EXPECT_TRUE(qzerr_setError(&st.s, -1, &noComponent));
  EXPECT_EQ(st.text(), R"({"error_constant":"e","file":"c.x","line":1})");
}

TEST(StatusDetail, NestedErrorsCollectInOneArrayWithTheirCodes) {
  Status st;
  const qzerr_ErrorSite outer = site("outer");
  qzerr_setError(&st.s, -52024, &outer);
  Status cause1, cause2;
  const qzerr_ErrorSite inner = site("inner");
  qzerr_setError(&cause1.s, -52006, &inner);
  cause2.s.code = -52007;  // no detail at all
  EXPECT_TRUE(qzerr_addNestedError(&st.s, &cause1.s));
  EXPECT_TRUE(qzerr_addNestedError(&st.s, &cause2.s));
  EXPECT_EQ(st.s.code, -52024);
  EXPECT_EQ(st.text(),
            R"({"error_constant":"outer","file":"file","line":7,"component":"vesklib","nested_error":[)"
            R"({"error_constant":"inner","file":"file","line":7,"component":"vesklib","code":-52006},)"
            R"({"code":-52007}]})");
}

bool otherGrow(qzerr_Status* status, int32_t size) { return qzerr_growJsonBuffer(status, size); }

TEST(StatusMerge, MovesTheBufferWithTheSameGrowAndCopiesOtherwise) {
  const qzerr_ErrorSite s = site("x");
  Status same, source;
  qzerr_setError(&source.s, -3, &s);
  const std::string text = source.text();
  EXPECT_TRUE(qzerr_mergeStatus(&same.s, &source.s));
  EXPECT_EQ(same.text(), text);
  EXPECT_EQ(source.s.json, nullptr);
  EXPECT_EQ(source.s.capacity, 0);
  EXPECT_EQ(source.s.code, -3);

  Status foreign, source2;
  foreign.s.grow = otherGrow;
  qzerr_setError(&source2.s, -3, &s);
  EXPECT_TRUE(qzerr_mergeStatus(&foreign.s, &source2.s));
  EXPECT_EQ(foreign.text(), text);
  EXPECT_EQ(source2.text(), text);

  Status copy;
  EXPECT_TRUE(qzerr_mergeStatusCopy(&copy.s, &source2.s));
  EXPECT_EQ(copy.text(), text);
  EXPECT_FALSE(qzerr_mergeStatusCopy(&copy.s, &source2.s));  // an error stays
}

TEST(StatusMerge, CopyIgnoresPrecedence) {
  const qzerr_ErrorSite s = site("x");
  Status target, source;
  qzerr_setError(&target.s, -1, &s);
  source.s.code = 4;
  EXPECT_TRUE(qzerr_copyStatus(&target.s, &source.s));
  EXPECT_EQ(target.s.code, 4);
  EXPECT_EQ(target.s.json, nullptr);
}

// A grow that never gives more than 512 bytes.
bool smallGrow(qzerr_Status* status, int32_t size) {
  return size <= 512 && qzerr_growJsonBuffer(status, size);
}

TEST(StatusMerge, OutFlagTellsAnIncompleteDetail) {
  Status st;
  st.s.grow = smallGrow;
  const std::string long_(600, 'f');
  qzerr_ErrorSite s{"file.cpp", 1, long_.c_str(), "c"};
  bool written = true;
  EXPECT_TRUE(qzerr_setError(&st.s, -1, &s, &written));
  EXPECT_FALSE(written);
  EXPECT_EQ(st.s.code, -1);
  EXPECT_TRUE(st.shapeKept());
}

TEST(StatusMerge, EscapesInsertedText) {
  Status st;
  QZERR_STATUS_ERROR(&st.s, qzerr::kInvalidParameter).channel("c", "m").add("uri", "/a\"b\\c");
  EXPECT_NE(st.text().find(R"("uri":"/a\"b\\c")"), std::string::npos);
}

}  // namespace
