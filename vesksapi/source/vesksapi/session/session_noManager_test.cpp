// A program that finds no manager client library by name: its run path holds
// the core library alone.
#include <string>

#include <gtest/gtest.h>

#include "testing/testStatus.h"
#include "vesksapi/session/session.h"
#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace {

using vesk::testing::TestStatus;
using vesktools::pendulo::testing::hostFollowsState;
using vesktools::pendulo::testing::QzqlmStandIn;
using vesktools::pendulo::testing::QzqlmStateFile;

constexpr char kSystem[] = "/localhost/vesks/timescales/system";

// A state that would give two local timescales the no-op correlator, were the
// manager's library there.
TEST(SessionWithoutManager, EveryCorrelatorIsLinear) {
  const QzqlmStateFile manager(hostFollowsState("00:1B:21:FF:FE:00:00:01"));
  vesksapi::Session session;
  TestStatus status;
  session.timestampCorrelator_create(
      std::string(R"({"version":1,"type":"linearCorrelatorParams","params":{"timescaleUri1":")") + kSystem +
          R"(","timescaleUri2":")" + kSystem + R"(","samplingIntervalMs":5,"maxSampleSize":10}})",
      status);
  ASSERT_EQ(status.code(), 0) << status.json();
  EXPECT_FALSE(QzqlmStandIn::isLoaded());
  std::string info;
  session.getTimestampCorrelatorInfo(info, status);
  EXPECT_NE(info.find(R"({ "type" : "linear", "uri" : "/localhost/vesks/timescales/system-)"), std::string::npos)
      << info;
}

}  // namespace
