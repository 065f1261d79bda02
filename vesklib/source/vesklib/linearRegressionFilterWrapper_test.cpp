#include "vesklib/linearRegressionFilterWrapper.h"

#include <gtest/gtest.h>

#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/timestampNanos.h"

namespace vesklib {
namespace {

using testing::caughtError;
using testing::sameTimestamp;

vesklib_Timestamp at(int64_t seconds, int32_t nanos) { return vesklib_Timestamp{seconds, nanos, 0, false}; }

TEST(LinearRegressionFilterWrapper, EstimatesBothWaysInTimestamps) {
  LinearRegressionFilterWrapper wrapper(std::make_shared<LinearRegression>(10));
  wrapper.addSample(at(1000000000, 0), at(1000000005, 0));
  wrapper.addSample(at(1000000001, 0), at(1000000006, 1));
  EXPECT_EQ(2u, wrapper.getHistorySize());

  vesklib_Timestamp out{0, 0, 99, true};
  wrapper.estimate(at(1000000002, 0), &out);
  EXPECT_TRUE(sameTimestamp(at(1000000007, 2), out));
  wrapper.inverseEstimate(at(1000000007, 2), &out);
  EXPECT_TRUE(sameTimestamp(at(1000000002, 0), out));
}

TEST(LinearRegressionFilterWrapper, ABadRecordChangesNothing) {
  LinearRegressionFilterWrapper wrapper(std::make_shared<LinearRegression>(10));
  EXPECT_EQ(-52005, caughtError([&] { wrapper.addSample(at(1, 1000000000), at(2, 0)); }).code);
  EXPECT_EQ(0u, wrapper.getHistorySize());
  wrapper.addSample(at(1, 0), at(2, 0));
  wrapper.addSample(at(2, 0), at(3, 0));
  const vesklib_Timestamp before{7, 7, 7, false};
  vesklib_Timestamp out = before;
  EXPECT_EQ(-52005, caughtError([&] { wrapper.estimate(at(1, -1), &out); }).code);
  EXPECT_TRUE(sameTimestamp(before, out));
}

}  // namespace
}  // namespace vesklib
