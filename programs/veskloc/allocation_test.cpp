#include "allocation.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "testing/raised.h"
#include "testing/testStatus.h"

namespace {

using vesk::testing::errorConstant;
using vesk::testing::TestStatus;

TEST(Allocation, RunsOutOfMemoryIntoTheStatus) {
  const std::function<void()> failures[] = {
      [] { throw std::bad_alloc(); },
      [] { throw std::length_error("vector::_M_default_append"); },
  };
  for (const auto& fail : failures) {
    TestStatus status;
    EXPECT_FALSE(qzsysq::allocating(status, fail));
    EXPECT_EQ(status.code(), -52000);
    EXPECT_EQ(errorConstant(status.json()), "qzkormerr_memoryFull");
    EXPECT_NE(status.json().find(R"("file":"Allocator")"), std::string::npos) << status.json();
    EXPECT_NE(status.json().find(R"("component":"veskloc")"), std::string::npos) << status.json();
  }
}

TEST(Allocation, SuccessLeavesTheStatusAlone) {
  TestStatus status;
  std::string text;
  EXPECT_TRUE(qzsysq::allocating(status, [&] { text.assign(1000, 'x'); }));
  EXPECT_EQ(status.code(), 0);
  EXPECT_EQ(status.json(), "");
}

}  // namespace
