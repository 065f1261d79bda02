#include "vesklib/linearRegression.h"

#include <gtest/gtest.h>

#include <limits>
#include <list>
#include <string>
#include <utility>

#include "vesklib/testing/caughtError.h"

namespace vesklib {
namespace {

using testing::caughtError;

// Division in the decimal type rounds in its last digits: a fit is exact to
// far below a nanosecond, not to all 40 digits.
::testing::AssertionResult near(const Decimal& expected, const Decimal& actual,
                                const Decimal& tolerance = Decimal("1e-20")) {
  const Decimal difference = boost::multiprecision::abs(expected - actual);
  if (difference < tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << expected.str(40) << " != " << actual.str(40);
}

Decimal estimateAt(const LinearRegression& regression, const Decimal& x) {
  Decimal y;
  regression.estimate(x, &y);
  return y;
}

Decimal inverseAt(const LinearRegression& regression, const Decimal& y) {
  Decimal x;
  regression.inverseEstimate(y, &x);
  return x;
}

TEST(LinearRegression, RefusesAHistorySizeOutsideItsLimits) {
  const uint64_t tooLarge = std::numeric_limits<uint64_t>::max();
  const std::string tooLargeDetail =
      R"x({"message":"Max history size set greater than system limitations.","offsetsFromStart.max_size()":)x" +
      std::to_string(std::list<std::pair<Decimal, Decimal>>().max_size()) +
      R"(,"maxHistorySize":)" + std::to_string(tooLarge) + "}";
  struct Case {
    uint64_t size;
    std::string detail;
  };
  const Case cases[] = {
      {0, R"({"message":"Max history size needs to be >= 2.","maxHistorySize":0})"},
      {1, R"({"message":"Max history size needs to be >= 2.","maxHistorySize":1})"},
      {tooLarge, tooLargeDetail},
  };
  for (const Case& c : cases) {
    const auto error = caughtError([&] { LinearRegression regression(c.size); });
    EXPECT_EQ(-52005, error.code) << c.size;
    EXPECT_NE(std::string::npos, error.detail.find(c.detail)) << error.detail;
  }
  EXPECT_NO_THROW(LinearRegression(2));
}

TEST(LinearRegression, FitsTheLineThroughItsSamples) {
  LinearRegression regression(10);
  regression.addSample(100, 200);
  regression.addSample(101, 202);
  Decimal slope, intercept;
  regression.fit(&slope, &intercept);
  EXPECT_TRUE(near(2, slope));
  EXPECT_TRUE(near(0, intercept));
  EXPECT_TRUE(near(300, estimateAt(regression, 150)));
  EXPECT_TRUE(near(150, inverseAt(regression, 300)));
}

// Too few samples is reported before the (also zero) determinant.
TEST(LinearRegression, FailuresOfTheFitLeaveTheOutputAlone) {
  struct Case {
    std::vector<std::pair<int, int>> samples;
    bool inverse;
    int32_t code;
    const char* message;
  };
  const Case cases[] = {
      {{}, false, -52010, "Not enough history to calculate slope and intercept"},
      {{{5, 7}}, false, -52010, "Not enough history to calculate slope and intercept"},
      {{{5, 7}, {5, 8}}, false, -52008, "Invalid denominator in correlator calculation"},
      {{{5, 7}, {5, 8}}, true, -52008, "Invalid denominator in correlator calculation"},
      {{{5, 7}, {6, 7}}, true, -52008, "LinearRegression slope is 0."},
  };
  for (const Case& c : cases) {
    LinearRegression regression(10);
    for (const auto& [x, y] : c.samples) regression.addSample(x, y);
    Decimal out(42);
    const auto error = caughtError([&] {
      if (c.inverse) regression.inverseEstimate(1, &out);
      else regression.estimate(1, &out);
    });
    EXPECT_EQ(c.code, error.code) << c.message;
    EXPECT_NE(std::string::npos, error.detail.find(std::string(R"({"message":")") + c.message + R"("})"))
        << error.detail;
    EXPECT_EQ(Decimal(42), out);
  }
}

TEST(LinearRegression, AFlatLineEstimatesItsOneValue) {
  LinearRegression regression(10);
  regression.addSample(5, 7);
  regression.addSample(6, 7);
  EXPECT_TRUE(near(7, estimateAt(regression, -1000)));
  EXPECT_TRUE(near(7, estimateAt(regression, 1000)));
}

// The oldest sample leaves; the origin stays the first sample ever added.
TEST(LinearRegression, AFullWindowSlides) {
  LinearRegression regression(3);
  regression.addSample(10, 50);  // far off the line of the later three
  regression.addSample(11, 1);
  regression.addSample(12, 2);
  Decimal slope, intercept;
  regression.fit(&slope, &intercept);
  EXPECT_FALSE(near(1, slope));
  regression.addSample(13, 3);
  EXPECT_EQ(3u, regression.historySize());
  regression.fit(&slope, &intercept);
  EXPECT_TRUE(near(1, slope));
  EXPECT_TRUE(near(-10, intercept));
  EXPECT_TRUE(near(20, inverseAt(regression, 10)));
}

// A fit over clock-sized numbers keeps far more than every nanosecond.
TEST(LinearRegression, KeepsNanosecondsOfClockSizedValues) {
  LinearRegression regression(100);
  const Decimal start("1700000000.123456789");
  for (int i = 0; i < 100; ++i) {
    const Decimal x = start + Decimal(i) / 1000;
    regression.addSample(x, x * Decimal("1.000001") + Decimal("5.000000001"));
  }
  const Decimal x("1700000001.000000001");
  EXPECT_TRUE(near(x * Decimal("1.000001") + Decimal("5.000000001"), estimateAt(regression, x), Decimal("1e-15")));
}

}  // namespace
}  // namespace vesklib
