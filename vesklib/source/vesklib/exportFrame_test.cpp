#include "vesklib/exportFrame.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "testing/testStatus.h"

namespace {

bool failStrdup = false;

}  // namespace

// Lets a test make the copy of a _toJson result fail, as it would when memory
// runs out.
extern "C" char* strdup(const char* text) {
  if (failStrdup) return nullptr;
  const size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(size));
  if (copy) memcpy(copy, text, size);
  return copy;
}

namespace {

namespace frame = vesklib::frame;

using vesk::testing::TestStatus;

TEST(ExportFrame, AnIncomingErrorMakesTheCallDoNothing) {
  TestStatus st;
  QZERR_STATUS_ERROR(st.get(), qzerr::kOsFault);
  const std::string before = st.json();
  bool ran = false;
  const int* missing = nullptr;
  EXPECT_EQ(frame::call(st.get(), VESKLIB_ARGS({"handle", missing}), [&] { ran = true; return 7; }), 0);
  EXPECT_EQ(frame::access(st.get(), VESKLIB_ARGS(), [&] { ran = true; return 7; }), 0);
  EXPECT_EQ(frame::copyJson(st.get(), VESKLIB_ARGS(), [&] { ran = true; return std::string("{}"); }), nullptr);
  EXPECT_FALSE(ran);
  EXPECT_EQ(st->code, -52008);
  EXPECT_EQ(st.json(), before);
}

TEST(ExportFrame, AWarningDoesNotStopTheCall) {
  TestStatus st;
  st->code = 3;
  EXPECT_EQ(frame::call(st.get(), VESKLIB_ARGS(), [] { return 7; }), 7);
  EXPECT_EQ(st->code, 3);
}

TEST(ExportFrame, TheFirstNullArgumentIsReportedByName) {
  TestStatus st;
  const int present = 1;
  const int* missing = nullptr;
  bool ran = false;
  const int line = __LINE__ + 1;
  frame::call(st.get(), VESKLIB_ARGS({"handle", &present}, {"timescale", missing}, {"threadPool", missing}),
              [&] { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_EQ(st->code, -52005);
  EXPECT_EQ(st.json(), "{\"error_constant\":\"qzkormerr_invalidParameter\",\"file\":\"exportFrame_test\",\"line\":" +
                           std::to_string(line) +
                           ",\"component\":\"vesklib\",\"qzsyncdomain_debug\":{\"message\":\"Encountered missing "
                           "parameter needed for task completion.\",\"timescale\":\"nullptr\"}}");
}

TEST(ExportFrame, ExceptionsOfTheBodyBecomeTheStatus) {
  struct Case {
    const char* name;
    void (*raise)();
    int32_t code;
    bool hasWhat;
  } cases[] = {
      {"qzerr", [] { QZERR_ERROR(qzerr::kResourceNotFound).raise(); }, -52006, false},
      {"bad_alloc", [] { throw std::bad_alloc(); }, -52000, true},
      {"standard", [] { throw std::out_of_range("stoull"); }, -52003, true},
      {"foreign", [] { throw 1; }, -52003, false},
  };
  for (const Case& c : cases) {
    TestStatus st;
    EXPECT_EQ(frame::call(st.get(), VESKLIB_ARGS(), [&] { c.raise(); return 5; }), 0) << c.name;
    EXPECT_EQ(st->code, c.code) << c.name;
    EXPECT_EQ(st.json().find("std_exception_what") != std::string::npos, c.hasWhat) << c.name;
  }
}

TEST(ExportFrame, ToJsonResultsAreFreshCopies) {
  TestStatus st;
  char* first = frame::copyJson(st.get(), VESKLIB_ARGS(), [] { return std::string(R"({"uri":"/a"})"); });
  char* second = frame::copyJson(st.get(), VESKLIB_ARGS(), [] { return std::string(R"({"uri":"/a"})"); });
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, second);
  free(first);
  free(second);
  EXPECT_EQ(st->code, 0);
}

TEST(ExportFrame, AFailedCopyIsReportedAsMemoryFull) {
  TestStatus st;
  failStrdup = true;
  char* copy = frame::copyJson(st.get(), VESKLIB_ARGS(), [] { return std::string("{}"); });
  failStrdup = false;
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(st->code, -52000);
  EXPECT_NE(st.json().find("qzkormerr_memoryFull"), std::string::npos);
}

}  // namespace
