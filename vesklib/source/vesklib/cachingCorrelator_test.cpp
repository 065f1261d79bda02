#include "vesklib/cachingCorrelator.h"

#include <gtest/gtest.h>

#include "qzerr/errorDetail.h"
#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/fakeTimescale.h"

namespace vesklib {
namespace {

using testing::caughtError;
using testing::FakeTimescale;

// Answers in + shift (in seconds) and counts its conversions; may refuse.
class CountingCorrelator : public TimestampCorrelatorInterface {
 public:
  int correlations = 0;
  int64_t shift = 100;
  bool refuse = false;
  int starts = 0;
  int stops = 0;

  void correlate(const vesklib_Timestamp* in, TimescaleInterface*, vesklib_Timestamp* out) override {
    ++correlations;
    if (refuse) QZERR_ERROR(qzerr::kResourceNotInitialized).channel("qzsyncdomain_debug", "refused").raise();
    *out = *in;
    out->seconds += shift;
  }
  const std::string& getUri() const noexcept override { return uri_; }
  const std::string& getTimescale1Uri() const noexcept override { return one_; }
  const std::string& getTimescale2Uri() const noexcept override { return two_; }
  void start() override { ++starts; }
  void stop() override { ++stops; }
  bool isRunning() const noexcept override { return starts > stops; }
  std::string toJson() override { return "{ \"type\" : \"counting\" }"; }

 private:
  const std::string uri_ = "/wrapped";
  const std::string one_ = "/one";
  const std::string two_ = "/two";
};

class CachingCorrelatorTest : public ::testing::Test {
 protected:
  vesklib_Timestamp correlate(const vesklib_Timestamp& in, TimescaleInterface& source) {
    vesklib_Timestamp out{};
    caching_.correlate(&in, &source, &out);
    return out;
  }

  CountingCorrelator wrapped_;
  CachingCorrelator caching_{"/cache", &wrapped_};
  FakeTimescale one_{"/one"};
  FakeTimescale two_{"/two"};
};

TEST_F(CachingCorrelatorTest, AnswersARepeatedQuestionFromItsCache) {
  const vesklib_Timestamp in{5, 6, 7, false};
  const vesklib_Timestamp first = correlate(in, one_);
  wrapped_.shift = 200;  // the wrapped answer moves on; the cached one stays
  const vesklib_Timestamp second = correlate(in, one_);
  EXPECT_EQ(1, wrapped_.correlations);
  EXPECT_EQ(105, second.seconds);
  EXPECT_EQ(first.nanos, second.nanos);
  EXPECT_EQ(first.fractionalNanos, second.fractionalNanos);
  EXPECT_EQ(first.isNegative, second.isNegative);
}

// Each field and the source URI make the key.
TEST_F(CachingCorrelatorTest, EveryFieldAndTheSourceMakeADifferentKey) {
  const vesklib_Timestamp base{5, 6, 7, false};
  correlate(base, one_);
  const vesklib_Timestamp variants[] = {{6, 6, 7, false}, {5, 7, 7, false}, {5, 6, 8, false}, {5, 6, 7, true}};
  int expected = 1;
  for (const vesklib_Timestamp& variant : variants) {
    correlate(variant, one_);
    EXPECT_EQ(++expected, wrapped_.correlations);
  }
  correlate(base, two_);
  EXPECT_EQ(++expected, wrapped_.correlations);
  FakeTimescale alsoOne("/one");
  correlate(base, alsoOne);
  EXPECT_EQ(expected, wrapped_.correlations);
}

TEST_F(CachingCorrelatorTest, NeverKeepsAFailure) {
  wrapped_.refuse = true;
  const vesklib_Timestamp in{1, 0, 0, false};
  vesklib_Timestamp out{3, 3, 3, true};
  for (int attempt = 1; attempt <= 2; ++attempt) {
    EXPECT_EQ(-52010, caughtError([&] { caching_.correlate(&in, &one_, &out); }).code);
    EXPECT_EQ(attempt, wrapped_.correlations);
  }
  wrapped_.refuse = false;
  EXPECT_EQ(101, correlate(in, one_).seconds);
  EXPECT_EQ(3, wrapped_.correlations);
}

TEST_F(CachingCorrelatorTest, ForwardsAllButItsOwnUri) {
  EXPECT_EQ("/cache", caching_.getUri());
  EXPECT_EQ("/one", caching_.getTimescale1Uri());
  EXPECT_EQ("/two", caching_.getTimescale2Uri());
  EXPECT_EQ("{ \"type\" : \"counting\" }", caching_.toJson());
  caching_.start();
  EXPECT_TRUE(caching_.isRunning());
  caching_.stop();
  EXPECT_FALSE(caching_.isRunning());
  EXPECT_EQ(1, wrapped_.starts);
  EXPECT_EQ(1, wrapped_.stops);
}

}  // namespace
}  // namespace vesklib
