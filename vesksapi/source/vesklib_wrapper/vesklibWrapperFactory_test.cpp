#include "vesklib_wrapper/vesklibWrapperFactory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "testing/raised.h"
#include "vesklib_wrapper/testing/correlatorKind.h"
#include "vesksapi/libraryObjects.h"
#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace vesklib::wrapper {
namespace {

using ::testing::HasSubstr;
using vesk::testing::raised;
using vesklib::wrapper::testing::isLinear;
using vesklib::wrapper::testing::isNop;
using vesktools::pendulo::testing::hostFollowsState;
using vesktools::pendulo::testing::QzqlmStandIn;
using vesktools::pendulo::testing::StandInBuild;

constexpr char kSystemUri[] = "/localhost/vesks/timescales/system";
constexpr char kOtherLocalUri[] = "/localhost/veskwebs/timescales/pendulo/PTP-0/00-1b-21";
constexpr char kRemoteUri[] = "/10.0.0.2/veskwebs/timescales/pendulo/PTP-0/00-1b-21";

// A timescale that only answers its URI, for the URI test alone.
class NamedTimescale : public TimescaleInterface {
 public:
  explicit NamedTimescale(std::string uri) : uri_(std::move(uri)) {}
  const char* getUri() override { return uri_.c_str(); }
  void getTime(vesklib_Timestamp*) override {}
  std::string toJson() override { return "{}"; }
  ::TimescaleInterface* getHandle() override { return nullptr; }

 private:
  std::string uri_;
};

TEST(IsLocalTimescale, ReadsTheFirstSegmentOfTheUri) {
  const struct {
    const char* uri;
    bool local;
  } cases[] = {
      {"/localhost/vesks/timescales/system", true},
      {"localhost/vesks/timescales/system", true},
      {"/localhost", true},
      {"localhost", true},
      {"/localhost/", true},
      {"/localhost2/vesks", false},
      {"/local/host", false},
      {"//localhost/vesks", false},
      {"/10.0.0.2/veskwebs/timescales/pendulo/tr/localhost", false},
      {"/LOCALHOST/vesks", false},
      {"/", false},
  };
  for (const auto& entry : cases) {
    NamedTimescale timescale(entry.uri);
    EXPECT_EQ(isLocalTimescale(timescale), entry.local) << entry.uri;
  }
}

TEST(IsLocalTimescale, RefusesAnEmptyUri) {
  NamedTimescale timescale("");
  const vesk::testing::Raised error = raised([&] { isLocalTimescale(timescale); });
  EXPECT_EQ(error.code, -52005);
  EXPECT_THAT(error.detail, HasSubstr(R"("file":"vesklibWrapperFactory",)"));
  EXPECT_THAT(error.detail, HasSubstr(R"("component":"vesksapi","qzsyncdomain_debug":{"message":"Failed to )"
                                      R"(parse URI; URI is empty.","uri":""}})"));
}

// Each test brings in the manager client library's stand-in (whether a
// build finds the library by name depends on its run path and on the
// sanitizers, so no test here relies on that), starts without the
// process-wide holder and drops the one it made before the stand-in goes, so
// the library really leaves the process.
class CorrelatorFactory : public ::testing::Test {
 protected:
  void SetUp() override { holder().reset(); }
  void TearDown() override { holder().reset(); }

  static std::unique_ptr<vesksapi::QlmClientApiHolder>& holder() {
    return vesksapi::libraryObjects::qlmClientApiHolder();
  }

  std::shared_ptr<TimestampCorrelatorInterface> make(TimescaleInterface& timescale1,
                                                     TimescaleInterface& timescale2) {
    return makeTimestampCorrelator("/pair", timescale1, timescale2, 10, 4, 2000);
  }

  QzqlmStandIn standIn_{StandInBuild::complete, hostFollowsState("00:1B:21")};
  std::shared_ptr<TimescaleInterface> system_ = makeHostTimescale(kSystemUri);
  std::shared_ptr<TimescaleInterface> otherLocal_ = makeHostTimescale(kOtherLocalUri);
  std::shared_ptr<TimescaleInterface> remote_ = makeHostTimescale(kRemoteUri);
};

TEST_F(CorrelatorFactory, TwoLocalTimescalesOfASynchronisedHostGetTheNopCorrelator) {
  std::shared_ptr<TimestampCorrelatorInterface> nop = make(*system_, *otherLocal_);
  ASSERT_TRUE(isNop(nop));
  EXPECT_STREQ(nop->getUri(), "/pair");
  EXPECT_STREQ(nop->getTimescale1Uri(), kSystemUri);
  EXPECT_STREQ(nop->getTimescale2Uri(), kOtherLocalUri);
  const vesklib_Timestamp in{1700000000, 5, 6, false};
  vesklib_Timestamp out{};
  nop->correlate(&in, *otherLocal_, &out);
  EXPECT_EQ(out.seconds, in.seconds);
  EXPECT_EQ(out.fractionalNanos, in.fractionalNanos);
  EXPECT_TRUE(isNop(make(*system_, *system_)));

  EXPECT_TRUE(isLinear(make(*system_, *remote_)));
  EXPECT_TRUE(isLinear(make(*remote_, *system_)));
}

// The manager is asked anew for every creation, and before the timescales'
// URIs are read: an empty URI fails a creation only while the host is
// synchronised.
TEST_F(CorrelatorFactory, AHostThatIsNotSynchronisedGetsLinearCorrelators) {
  std::shared_ptr<TimescaleInterface> unnamed = makeHostTimescale("");
  standIn_.write(R"({"qlmAttributes": {"isHostTimeSynchronized": false}})");
  EXPECT_TRUE(isLinear(make(*system_, *otherLocal_)));
  EXPECT_TRUE(isLinear(make(*unnamed, *system_)));
  ASSERT_TRUE(holder() && holder()->helpers);

  standIn_.write(hostFollowsState("00:1B:21"));
  EXPECT_TRUE(isNop(make(*system_, *otherLocal_)));
  const vesk::testing::Raised error = raised([&] { make(*unnamed, *system_); });
  EXPECT_EQ(error.code, -52005);
  EXPECT_THAT(error.detail, HasSubstr(R"("file":"vesklibWrapperFactory",)"));
}

TEST_F(CorrelatorFactory, ALinearCorrelatorIsDrivenThroughItsWrapper) {
  std::shared_ptr<TimestampCorrelatorInterface> linear = make(*system_, *remote_);
  ASSERT_TRUE(isLinear(linear));
  EXPECT_FALSE(linear->isRunning());
  const vesklib_Timestamp in{1700000000, 0, 0, false};
  vesklib_Timestamp out{};
  EXPECT_EQ(raised([&] { linear->correlate(&in, *system_, &out); }).code, -52017);
  linear->start();
  EXPECT_TRUE(linear->isRunning());
  EXPECT_THAT(linear->toJson(), HasSubstr(R"("isThreadRunning" : true)"));
  EXPECT_EQ(raised([&] { linear->correlate(&in, *otherLocal_, &out); }).code, -52005);
  linear->stop();
  EXPECT_FALSE(linear->isRunning());
}

}  // namespace
}  // namespace vesklib::wrapper
