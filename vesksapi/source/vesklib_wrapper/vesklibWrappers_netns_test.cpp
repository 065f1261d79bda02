// The loader against a simulated target on 127.0.0.2, inside the test's
// private network namespace: what it hands out, in the core library's order,
// works through the wrappers.
#include "vesklib_wrapper/vesklibWrappers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "targetSim.h"
#include "testing/raised.h"

namespace vesklib::wrapper {
namespace {

using ::testing::HasSubstr;
using vesk::testing::raised;
using vesktest::TargetSim;

constexpr char kAddress[] = "127.0.0.2";
const std::vector<std::string> kDevices = {"/veskwebs/syncableDevices/pendulo/timekeeper/tk1",
                                           "/veskwebs/syncableDevices/pendulo/timekeeper/tk2"};
const std::vector<std::string> kTimescales = {"/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01",
                                              "/veskwebs/timescales/pendulo/ptp1/00-1b-21-ff-fe-00-00-02",
                                              "/veskwebs/timescales/pendulo/ptp2/00-1b-21-ff-fe-00-00-03"};

std::string params(const std::string& remoteHost) {
  return R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":")" + remoteHost + R"("}})";
}

std::string jsonList(const std::vector<std::string>& texts) {
  std::string list;
  for (const std::string& text : texts) list += (list.empty() ? "\"" : ",\"") + text + "\"";
  return "[" + list + "]";
}

std::string targetConfig() {
  std::string devices;
  for (const std::string& uri : kDevices) devices += (devices.empty() ? "" : ",") + (R"({"uri":")" + uri + R"("})");
  return R"({"devices":[)" + devices + R"(],"timescales":)" + jsonList(kTimescales) +
         R"(,"timestampDaemon":{"offsetNs":5000000000}})";
}

TEST(ProxyResourceLoader, WrapsTheFirstDeviceAndEveryTimescaleInTheCoreLibrarysOrder) {
  const TargetSim target(targetConfig(), kAddress);
  std::shared_ptr<ResourceLoaderInterface> loader = makeProxyResourceLoader();
  std::vector<std::shared_ptr<SyncableDeviceInterface>> devices;
  std::vector<std::shared_ptr<TimescaleInterface>> timescales;
  loader->loadProxyResources(params(kAddress), devices, timescales);

  ASSERT_EQ(devices.size(), 1u);
  const std::string root = kAddress;
  EXPECT_EQ(devices[0]->getUri(), root + kDevices[0]);
  uint32_t lossCount = 99;
  EXPECT_TRUE(devices[0]->isCoherent(&lossCount));
  EXPECT_EQ(lossCount, 0u);
  EXPECT_THAT(devices[0]->toJson(), HasSubstr(kDevices[0]));

  ASSERT_EQ(timescales.size(), kTimescales.size());
  for (size_t index = 0; index < kTimescales.size(); ++index) {
    EXPECT_EQ(timescales[index]->getUri(), root + kTimescales[index]);
  }
  vesklib_Timestamp now{};
  timescales[2]->getTime(&now);
  EXPECT_GT(now.seconds, 0);
}

TEST(ProxyResourceLoader, ATargetThatDoesNotAnswerLeavesTheListsAsTheyWere) {
  std::shared_ptr<ResourceLoaderInterface> loader = makeProxyResourceLoader();
  std::vector<std::shared_ptr<SyncableDeviceInterface>> devices;
  std::vector<std::shared_ptr<TimescaleInterface>> timescales;
  const vesk::testing::Raised error =
      raised([&] { loader->loadProxyResources(params("127.0.0.9"), devices, timescales); });
  EXPECT_LT(error.code, 0);
  EXPECT_THAT(error.detail, HasSubstr(R"("component":"vesklib")"));
  EXPECT_TRUE(devices.empty());
  EXPECT_TRUE(timescales.empty());
}

}  // namespace
}  // namespace vesklib::wrapper
