#include "vesklib/nopCorrelator.h"

#include <gtest/gtest.h>

#include <memory>

#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/fakeTimescale.h"
#include "vesklib/testing/timestampNanos.h"

namespace vesklib {
namespace {

using testing::caughtError;
using testing::FakeTimescale;
using testing::sameTimestamp;

class NopCorrelatorTest : public ::testing::Test {
 protected:
  FakeTimescale a_{"/a"};
  FakeTimescale b_{"/b"};
  std::unique_ptr<TimestampCorrelatorInterface> correlator_{NopCorrelator::create("/n", &a_, &b_)};
};

// Matched by URI: another object named like timescale 2 is timescale 2. The
// record passes unchanged and unchecked, whichever the direction.
TEST_F(NopCorrelatorTest, ReturnsTheTimestampUnchangedFromEitherTimescale) {
  FakeTimescale alsoB("/b");
  const vesklib_Timestamp in{12, 1500000000, 7, true};
  for (TimescaleInterface* source : {static_cast<TimescaleInterface*>(&a_), static_cast<TimescaleInterface*>(&alsoB)}) {
    vesklib_Timestamp out{};
    correlator_->correlate(&in, source, &out);
    EXPECT_TRUE(sameTimestamp(in, out)) << source->getUri();
  }
}

TEST_F(NopCorrelatorTest, RefusesAForeignTimescaleAndLeavesTheOutputAlone) {
  FakeTimescale other("/b/");
  const vesklib_Timestamp in{1, 2, 3, false};
  vesklib_Timestamp out{9, 9, 9, true};
  const auto error = caughtError([&] { correlator_->correlate(&in, &other, &out); });
  EXPECT_EQ(-52005, error.code);
  EXPECT_NE(std::string::npos,
            error.detail.find(R"("file":"nopCorrelator")")) << error.detail;
  EXPECT_NE(std::string::npos,
            error.detail.find(R"("qzsyncdomain_debug":{"message":"Source timescale does not match either )"
                              R"(timescale in the correlator."})"))
      << error.detail;
  EXPECT_TRUE(sameTimestamp(vesklib_Timestamp{9, 9, 9, true}, out));
}

TEST_F(NopCorrelatorTest, IsAlwaysRunning) {
  EXPECT_TRUE(correlator_->isRunning());
  correlator_->start();
  EXPECT_TRUE(correlator_->isRunning());
  correlator_->stop();
  EXPECT_TRUE(correlator_->isRunning());
}

TEST_F(NopCorrelatorTest, DescribesItselfOnOneSpacedLine) {
  EXPECT_EQ(R"({ "type" : "nop", "uri" : "/n", "timescaleUri1" : "/a", "timescaleUri2" : "/b", "isRunning" : true })",
            correlator_->toJson());
  EXPECT_EQ("/n", correlator_->getUri());
  EXPECT_EQ("/a", correlator_->getTimescale1Uri());
  EXPECT_EQ("/b", correlator_->getTimescale2Uri());
}

// Our descriptions are JSON whatever the URIs hold.
TEST(NopCorrelator, EscapesTheTextsItInserts) {
  FakeTimescale quoted("/a\"b");
  FakeTimescale plain("/c");
  NopCorrelator correlator("/n", &quoted, &plain);
  EXPECT_NE(std::string::npos, correlator.toJson().find(R"("timescaleUri1" : "/a\"b", )"));
}

}  // namespace
}  // namespace vesklib
