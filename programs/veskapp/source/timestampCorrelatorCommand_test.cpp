#include "timestampCorrelatorCommand.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/consoleRun.h"

namespace veskapp {
namespace {

class TimestampCorrelatorCommandTest : public testing::ConsoleTest {};

TEST_F(TimestampCorrelatorCommandTest, EachActionSendsItsArgumentsAndPrintsItsLines) {
  api.timestamp = {0, 500000000, 25, true};
  expectEachCase({
      {{"timestampCorrelator", "create", "--timescaleUri1", "/a", "--timescaleUri2", "/b\"", "--samplingInterval",
        "100", "--historyLength", "0010"},
       R"(timestampCorrelator_create(linearCorrelatorParams, {"timescaleUri1":"/a","timescaleUri2":"/b\"",)"
       R"("samplingIntervalMs":100,"maxSampleSize":10}))",
       "SUCCESS: Created Timestamp Correlator with timescaleUris = /a and /b\"\n"},
      {{"timestampCorrelator", "delete", "--timescaleUri1", "/a", "--timescaleUri2", "/b"},
       "timestampCorrelator_delete(/a, /b)", "SUCCESS: Deleted Timestamp Correlator with timescaleUris = /a and /b\n"},
      {{"timestampCorrelator", "correlate", "--srcTimescaleUri", "/a", "--dstTimescaleUri", "/b", "--s", "5", "--ns",
        "123", "--fns", "0"},
       "timestampCorrelator_correlate(/a, /b, {5,123,0,false}, {0,0,0,false})",
       "SUCCESS: Correlated timestamp from srcTimescaleUri = /a\nCorrelated time in seconds: -0.50000000025\n"},
      {{"timestampCorrelator", "correlate", "--srcTimescaleUri", "/a", "--dstTimescaleUri", "/b", "--s",
        "18446744073709551615", "--ns", "-1", "--fns", "7", "-q"},
       "timestampCorrelator_correlate(/a, /b, {-1,-1,7,false}, {0,0,0,false})",
       "Correlated time in seconds: -0.50000000025\n"},
  });
}

TEST_F(TimestampCorrelatorCommandTest, AFailedCorrelationPrintsNoTime) {
  api.failCode = -52017;
  api.failDetail = R"({"error_constant":"qzkormerr_invalidStateTransition"})";
  const testing::ConsoleRun result = run({"timestampCorrelator", "correlate", "--srcTimescaleUri", "/a",
                                          "--dstTimescaleUri", "/b", "--s", "1", "--ns", "2", "--fns", "3", "-q"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "ERROR: -52017: " + api.failDetail + "\n");
  EXPECT_EQ(result.exitStatus, 207);
}

}  // namespace
}  // namespace veskapp
