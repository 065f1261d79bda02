// A program named like another deliverable: every error site and debug line
// of the foundations, the ones compiled into the foundations library itself
// included, carries the name the program defines.
#include "component.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"
#include "qzsdbg/debugLines.h"
#include "testing/raised.h"
#include "testing/testStatus.h"

const char vesk_componentName[] = "veskapp";

namespace {

using vesk::testing::TestStatus;

constexpr char kComponent[] = R"("component":"veskapp")";

TEST(Component, ErrorSitesNameTheDeliverable) {
  TestStatus raisedHere;
  QZERR_STATUS_ERROR(raisedHere, qzerr::kInvalidParameter);
  TestStatus converted;
  try {
    throw std::runtime_error("boom");
  } catch (...) {
    qzerr_statusFromCurrentException(converted);
  }
  const std::string inLibrary = vesk::testing::raised([] { CppJson json("{"); }).detail;

  for (const std::string& detail : {raisedHere.json(), converted.json(), inLibrary}) {
    EXPECT_NE(detail.find(kComponent), std::string::npos) << detail;
  }
}

std::string lines;
void collect(const char* text) { lines += text; }

TEST(Component, DebugLinesNameTheDeliverable) {
  const qzsdbg_OutputHook previous = qzsdbg_outputHook;
  qzsdbg_outputHook = collect;
  const qzsdbg_Site site = {"a.cpp", 7, "\n"};
  qzsdbg_assertFailed(&site, "ASSERT(false)");
  qzsdbg_outputHook = previous;
  EXPECT_EQ(lines,
            "[veskapp|a.cpp|7] !!ASSERT!!\n"
            "[   veskapp|                           a.cpp|0007] ASSERT(false)\n"
            "[   veskapp|                           a.cpp|0007]  \n");
}

}  // namespace
