// A program that finds no manager client library by name: its run path holds
// the core library alone.
#include "vesklib_wrapper/vesklibWrapperFactory.h"

#include <gtest/gtest.h>

#include "vesklib_wrapper/testing/correlatorKind.h"
#include "vesksapi/libraryObjects.h"
#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace vesklib::wrapper {
namespace {

using vesklib::wrapper::testing::isLinear;
using vesklib::wrapper::testing::isNop;
using vesktools::pendulo::testing::hostFollowsState;
using vesktools::pendulo::testing::QzqlmStandIn;

constexpr char kSystemUri[] = "/localhost/vesks/timescales/system";
constexpr char kOtherLocalUri[] = "/localhost/veskwebs/timescales/pendulo/PTP-0/00-1b-21";

// Without the library every correlator is linear, and the holder, once made
// empty, is not made again when a manager appears later: only a new holder
// sees it.
TEST(CorrelatorFactoryWithoutManager, EveryCorrelatorIsLinearAndTheHolderIsMadeOnce) {
  std::unique_ptr<vesksapi::QlmClientApiHolder>& holder = vesksapi::libraryObjects::qlmClientApiHolder();
  std::shared_ptr<TimescaleInterface> system = makeHostTimescale(kSystemUri);
  std::shared_ptr<TimescaleInterface> otherLocal = makeHostTimescale(kOtherLocalUri);
  ASSERT_FALSE(QzqlmStandIn::isLoaded());
  EXPECT_TRUE(isLinear(makeTimestampCorrelator("/pair", *system, *otherLocal, 10, 4, 2000)));
  EXPECT_TRUE(isLinear(makeTimestampCorrelator("/same", *system, *system, 10, 4, 2000)));
  ASSERT_TRUE(holder);
  EXPECT_FALSE(holder->library || holder->wrapper || holder->helpers);

  QzqlmStandIn standIn(vesktools::pendulo::testing::StandInBuild::complete, hostFollowsState("00:1B:21"));
  EXPECT_TRUE(isLinear(makeTimestampCorrelator("/pair", *system, *otherLocal, 10, 4, 2000)));
  holder.reset();
  EXPECT_TRUE(isNop(makeTimestampCorrelator("/pair", *system, *otherLocal, 10, 4, 2000)));
  holder.reset();
}

}  // namespace
}  // namespace vesklib::wrapper
