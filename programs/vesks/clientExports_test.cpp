// Every exported client function once along its main road, through the
// shared library, against a running vesks and a simulated target on
// 127.0.0.2 whose clock runs 5 s ahead of the host's.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "targetSim.h"
#include "testing/testStatus.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesksDaemon.h"
#include "vesksapi/vesksapi.h"

namespace {

using vesk::testing::TestStatus;
using vesklib::testing::hostNanos;
using vesklib::testing::kNanosPerSecond;
using vesklib::testing::timestampOf;

constexpr char kHost[] = "127.0.0.2";
constexpr char kDeviceParams[] = R"({"remoteHost":"127.0.0.2"})";
constexpr char kSystemTimescale[] = "/localhost/vesks/timescales/system";
constexpr char kTargetTimescale[] = "127.0.0.2/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";
constexpr char kTargetDevice[] = "127.0.0.2/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kDomain[] = "/test/syncDomains/first";
constexpr int64_t kTargetAheadNanos = 5 * kNanosPerSecond;
constexpr size_t kBufferSize = 8192;

// Signed, so that an answer wrongly marked negative fails the comparisons.
int64_t nanosOf(const vesklib_Timestamp& t) {
  const int64_t magnitude = t.seconds * kNanosPerSecond + t.nanos;
  return t.isNegative ? -magnitude : magnitude;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string syncDomainParams(const std::string& uri) {
  return R"({"uri":")" + uri + R"(","timescaleUri":")" + kTargetTimescale +
         R"(","maxOffset_ns":1000,"minSyncDuration_ms":0})";
}

std::string createAndAddParams(const std::string& uri) {
  return R"({"uri":")" + uri + R"(","timescaleUri":null,"remoteHosts":[")" + kHost +
         R"("],"maxOffset_ns":1000,"minSyncDuration_ms":0})";
}

// One info getter's text, or the failure.
using InfoGetter = void (*)(char*, size_t, qzerr_Status*);
std::string info(InfoGetter getter) {
  TestStatus status;
  char text[kBufferSize];
  getter(text, sizeof(text), status);
  return status.code() == 0 ? std::string(text) : "failed: " + status.json();
}

#define EXPECT_SUCCEEDED(status) EXPECT_EQ(0, (status).code()) << (status).json()

class ClientExportsTest : public ::testing::Test {
 protected:
  ClientExportsTest() : target_(vesktest::oneDeviceTarget(R"(,"timestampDaemon":{"offsetNs":5000000000})"), kHost) {}

  void SetUp() override {
    daemon_ = std::make_unique<vesktest::VesksDaemon>();
    TestStatus status;
    vesksapi_loadResources("networkDeviceParams", kDeviceParams, status);
    ASSERT_EQ(0, status.code()) << status.json();
  }

  void createDomainWithTheDevice(const std::string& uri) {
    TestStatus status;
    vesksapi_syncDomain_create("syncDomainParams", syncDomainParams(uri).c_str(), status);
    vesksapi_syncDomain_addSyncableDevice(uri.c_str(), kTargetDevice, status);
    ASSERT_EQ(0, status.code()) << status.json();
  }

  vesktest::TargetSim target_;
  std::unique_ptr<vesktest::VesksDaemon> daemon_;
};

TEST(ClientLocalExportsTest, AnswerWithoutTheDaemon) {
  EXPECT_EQ(2380, vesksapi_getApiVersion());
  const vesklib_Timestamp earlier{1, 0, 0, false};
  const vesklib_Timestamp later{1, 1, 0, false};
  EXPECT_EQ(-1, vesksapi_timestamp_compare(&earlier, &later));
}

TEST_F(ClientExportsTest, LoadedTargetIsDescribedReadAndUnloaded) {
  TestStatus status;
  char timescale[256];
  vesksapi_getCurrentTimescale(kHost, timescale, sizeof(timescale), status);
  EXPECT_SUCCEEDED(status);
  EXPECT_STREQ(kTargetTimescale, timescale);

  const std::string timescales = info(vesksapi_getTimescaleInfo);
  EXPECT_TRUE(contains(timescales, quoted(kSystemTimescale))) << timescales;
  EXPECT_TRUE(contains(timescales, quoted(kTargetTimescale))) << timescales;
  const std::string devices = info(vesksapi_getSyncableDeviceInfo);
  EXPECT_TRUE(contains(devices, quoted(kTargetDevice))) << devices;

  vesklib_Timestamp hostTime{};
  vesklib_Timestamp targetTime{};
  const int64_t before = hostNanos();
  vesksapi_timescale_getTime(kSystemTimescale, &hostTime, status);
  vesksapi_timescale_getTime(kTargetTimescale, &targetTime, status);
  const int64_t after = hostNanos();
  EXPECT_SUCCEEDED(status);
  EXPECT_LE(before, nanosOf(hostTime));
  EXPECT_GE(after, nanosOf(hostTime));
  EXPECT_LE(before + kTargetAheadNanos, nanosOf(targetTime));
  EXPECT_GE(after + kTargetAheadNanos, nanosOf(targetTime));

  vesksapi_unloadResources("networkDeviceParams", kDeviceParams, status);
  EXPECT_SUCCEEDED(status);
  EXPECT_EQ("[" + quoted(kSystemTimescale) + "]", info(vesksapi_getTimescaleInfo));
  EXPECT_EQ("[]", info(vesksapi_getSyncableDeviceInfo));
}

TEST_F(ClientExportsTest, SyncDomainRunsThroughItsLife) {
  createDomainWithTheDevice(kDomain);
  TestStatus status;
  EXPECT_TRUE(vesksapi_syncDomain_start(kDomain, 10, status));
  EXPECT_TRUE(vesksapi_syncDomain_isCoherent(kDomain, status));
  EXPECT_TRUE(vesksapi_syncDomain_isCoherentSinceLastChecked(kDomain, status));
  EXPECT_SUCCEEDED(status);
  const std::string domains = info(vesksapi_getSyncDomainInfo);
  EXPECT_TRUE(contains(domains, quoted(kDomain))) << domains;

  vesksapi_syncDomain_stop(kDomain, status);
  vesksapi_syncDomain_startV2(kDomain, true, true, 10, status);
  EXPECT_TRUE(vesksapi_syncDomain_isCoherent(kDomain, status));
  vesksapi_syncDomain_stop(kDomain, status);
  vesksapi_syncDomain_delete(kDomain, status);
  EXPECT_SUCCEEDED(status);
  EXPECT_EQ("[]", info(vesksapi_getSyncDomainInfo));
}

// The conversion back of an answer is the cached question itself.
TEST_F(ClientExportsTest, CorrelatorConvertsBetweenTheHostAndTheTarget) {
  TestStatus status;
  const std::string params = std::string(R"({"timescaleUri1":")") + kSystemTimescale + R"(","timescaleUri2":")" +
                             kTargetTimescale +
                             R"(","samplingIntervalMs":10,"maxSampleSize":20,"maxWaitForFirstCorrelate_ms":5000})";
  vesksapi_timestampCorrelator_create("linearCorrelatorParams", params.c_str(), status);
  ASSERT_EQ(0, status.code()) << status.json();
  const std::string correlators = info(vesksapi_getTimestampCorrelatorInfo);
  EXPECT_TRUE(contains(correlators, kTargetTimescale)) << correlators;

  const vesklib_Timestamp onHost = timestampOf(hostNanos());
  vesklib_Timestamp onTarget{};
  vesksapi_timestampCorrelator_correlate(kSystemTimescale, kTargetTimescale, &onHost, &onTarget, status);
  EXPECT_SUCCEEDED(status);
  EXPECT_NEAR(static_cast<double>(nanosOf(onHost) + kTargetAheadNanos), static_cast<double>(nanosOf(onTarget)),
              50e6);
  vesklib_Timestamp back{};
  vesksapi_timestampCorrelator_correlate(kTargetTimescale, kSystemTimescale, &onTarget, &back, status);
  EXPECT_SUCCEEDED(status);
  EXPECT_EQ(0, vesksapi_timestamp_compare(&onHost, &back)) << nanosOf(onHost) << " " << nanosOf(back);

  vesksapi_timestampCorrelator_delete(kSystemTimescale, kTargetTimescale, status);
  EXPECT_SUCCEEDED(status);
  EXPECT_EQ("[]", info(vesksapi_getTimestampCorrelatorInfo));
}

TEST_F(ClientExportsTest, CreateAndAddDevicesNamesTheChosenTimescale) {
  TestStatus status;
  char timescale[256];
  vesksapi_syncDomain_createAndAddDevices("syncDomainCreateAndAddRemoteDevicesParams",
                                          createAndAddParams(kDomain).c_str(), timescale, sizeof(timescale), status);
  EXPECT_SUCCEEDED(status);
  EXPECT_STREQ(kTargetTimescale, timescale);
  const std::string domains = info(vesksapi_getSyncDomainInfo);
  EXPECT_TRUE(contains(domains, quoted(kDomain))) << domains;
  EXPECT_TRUE(contains(domains, kTargetDevice)) << domains;
}

TEST_F(ClientExportsTest, ErrorCodeVariantsHandBackTheCodeOnly) {
  const std::string second = std::string(kDomain) + "2";
  int32_t error = 1;
  vesksapi_jx_syncDomain_createAndAddDevices("syncDomainCreateAndAddRemoteDevicesParams",
                                             createAndAddParams(second).c_str(), &error);
  EXPECT_EQ(0, error);
  EXPECT_EQ(1, vesksapi_jx_syncDomain_start(second.c_str(), 10, &error));
  EXPECT_EQ(1, vesksapi_jx_syncDomain_isCoherent(second.c_str(), &error));
  EXPECT_EQ(1, vesksapi_jx_syncDomain_isCoherentSinceLastChecked(second.c_str(), &error));
  EXPECT_EQ(0, error);
  char domains[kBufferSize];
  vesksapi_jx_getSyncDomainInfo(domains, sizeof(domains), &error);
  EXPECT_EQ(0, error);
  EXPECT_TRUE(contains(domains, quoted(second))) << domains;

  vesksapi_jx_syncDomain_stop(second.c_str(), &error);
  vesksapi_jx_syncDomain_startV2(second.c_str(), 2, 0, 10, &error);
  EXPECT_EQ(0, error);
  vesksapi_jx_syncDomain_stop(second.c_str(), &error);
  vesksapi_jx_syncDomain_delete(second.c_str(), &error);
  EXPECT_EQ(0, error);
  EXPECT_EQ(0, vesksapi_jx_syncDomain_isCoherent(second.c_str(), &error));
  EXPECT_EQ(-52006, error);
}

}  // namespace
