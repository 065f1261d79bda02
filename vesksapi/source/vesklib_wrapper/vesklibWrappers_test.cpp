#include "vesklib_wrapper/vesklibWrappers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "qzerr/errorDetail.h"
#include "testing/raised.h"
#include "vesklib/testing/fakeSyncableDevice.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesklib/timescaleInterface.h"
#include "vesklib/vesklib.h"
#include "vesktools/threadPool.h"

namespace vesklib::wrapper {
namespace {

using ::testing::HasSubstr;
using vesk::testing::raised;
using vesklib::testing::FakeCall;
using vesklib::testing::FakeFailure;
using vesklib::testing::FakeSyncableDevice;

constexpr char kSystemUri[] = "/localhost/vesks/timescales/system";

TEST(HostTimescale, ReadsTheHostClockAndDescribesItself) {
  std::shared_ptr<TimescaleInterface> host = makeHostTimescale(kSystemUri);
  ASSERT_NE(dynamic_cast<HostTimescale*>(host.get()), nullptr);
  EXPECT_STREQ(host->getUri(), kSystemUri);
  EXPECT_EQ(host->toJson(), R"({"uri":"/localhost/vesks/timescales/system"})");

  const int64_t before = vesklib::testing::hostNanos();
  vesklib_Timestamp now{};
  host->getTime(&now);
  const int64_t after = vesklib::testing::hostNanos();
  EXPECT_LE(before, vesklib::testing::nanosOf(now));
  EXPECT_GE(after, vesklib::testing::nanosOf(now));
}

// Every forwarding operation of every wrapper over a null handle: the core
// library's own -52005, code and detail, arrives as the exception (and the
// toJson calls leave nothing allocated, which the sanitizer build checks).
TEST(Wrappers, ThrowTheCoreLibrarysErrorWithItsCodeAndDetail) {
  SyncableDeviceBase device(nullptr);
  TimescaleBase timescale(nullptr);
  SyncDomainBase domain(nullptr);
  TimestampCorrelatorBase correlator(nullptr);
  uint32_t count = 0;
  vesklib_Timestamp in{1, 0, 0, false};
  vesklib_Timestamp out{};
  const std::function<void()> calls[] = {
      [&] { device.setCoherencyRequirements("/sd", "{}"); },
      [&] { device.clearCoherencyRequirements("/sd"); },
      [&] { device.isCoherent(&count); },
      [&] { device.getUri(); },
      [&] { device.toJson(); },
      [&] { timescale.getUri(); },
      [&] { timescale.getTime(&out); },
      [&] { timescale.toJson(); },
      [&] { domain.isMember("/dev"); },
      [&] { domain.addSyncableDevice(device); },
      [&] { domain.isCoherent(); },
      [&] { domain.isCoherentSinceLastChecked(); },
      [&] { domain.isRunning(); },
      [&] { domain.start(1); },
      [&] { domain.startV2(true, true, 1); },
      [&] { domain.stop(); },
      [&] { domain.getTimescaleUri(); },
      [&] { domain.getUri(); },
      [&] { domain.toJson(); },
      [&] { correlator.correlate(&in, timescale, &out); },
      [&] { correlator.getUri(); },
      [&] { correlator.getTimescale1Uri(); },
      [&] { correlator.getTimescale2Uri(); },
      [&] { correlator.start(); },
      [&] { correlator.stop(); },
      [&] { correlator.isRunning(); },
      [&] { correlator.toJson(); },
  };
  for (size_t index = 0; index < std::size(calls); ++index) {
    SCOPED_TRACE(index);
    const vesk::testing::Raised error = raised(calls[index]);
    EXPECT_EQ(error.code, -52005);
    EXPECT_THAT(error.detail, HasSubstr(R"("file":"vesklib",)"));
    EXPECT_THAT(error.detail, HasSubstr(R"("component":"vesklib","qzsyncdomain_debug":{"message":"Encountered )"
                                        R"(missing parameter needed for task completion.","handle":"nullptr"}})"));
  }
}

// A clock whose readings come with a warning, as a core object may report.
class WarningTimescale : public ::TimescaleInterface {
 public:
  const std::string& getUri() const noexcept override { return uri_; }
  void getTime(vesklib_Timestamp* timestamp) override {
    *timestamp = vesklib_Timestamp{5, 6, 7, false};
    QZERR_ERROR(qzerr::kNetworkClientInProgress).channel("qzsyncdomain_debug", "Still reading.").raise();
  }
  std::string toJson() override { return "{}"; }

 private:
  const std::string uri_ = "/warning";
};

TEST(Wrappers, DropAWarningAndReturnNormally) {
  // The premise: the export itself hands the warning to its caller.
  auto* handle = new WarningTimescale;
  qzerr_Status direct = qzerr_freshStatus();
  vesklib_Timestamp reading{};
  vesklib_Timescale_getTime(handle, &reading, &direct);
  EXPECT_EQ(direct.code, qzerr::kNetworkClientInProgress.code);
  qzerr_releaseJson(&direct);

  TimescaleBase timescale(handle);
  reading = vesklib_Timestamp{};
  EXPECT_FALSE(raised([&] { timescale.getTime(&reading); }).thrown);
  EXPECT_EQ(reading.seconds, 5);
  EXPECT_EQ(reading.fractionalNanos, 7);
}

TEST(Wrappers, ADeviceFailureReachesTheCallerWithTheDevicesCode) {
  auto* fake = new FakeSyncableDevice("/dev/a");
  SyncableDeviceBase device(fake);
  fake->setFailure(FakeCall::isCoherent, FakeFailure::qzerrError);
  uint32_t count = 0;
  const vesk::testing::Raised error = raised([&] { device.isCoherent(&count); });
  EXPECT_EQ(error.code, -52024);
  EXPECT_THAT(error.detail, HasSubstr(R"("message":"Fake device failure.","uri":"/dev/a")"));
}

// A domain over the host clock with one device, driven through its wrappers:
// the requirements reach the device under the right domain (the export takes
// the document before the domain's URI), and deleting the domain releases
// its hold on the device.
TEST(SyncDomain, IsDrivenThroughItsWrapper) {
  vesktools::ThreadPool pool(4);
  std::shared_ptr<TimescaleInterface> host = makeHostTimescale(kSystemUri);
  auto* fake = new FakeSyncableDevice("/dev/a");
  SyncableDeviceBase device(fake);

  device.setCoherencyRequirements("/sd/direct", R"({"maxOffset_ns":5})");
  EXPECT_EQ(fake->lastRequirementsDomainUri(), "/sd/direct");
  EXPECT_EQ(fake->lastRequirements(), R"({"maxOffset_ns":5})");
  device.clearCoherencyRequirements("/sd/direct");
  EXPECT_STREQ(device.getUri(), "/dev/a");
  EXPECT_EQ(device.toJson(), R"({"uri":"/dev/a"})");
  fake->setAnswer(true, 3);
  uint32_t count = 0;
  EXPECT_TRUE(device.isCoherent(&count));
  EXPECT_EQ(count, 3u);

  {
    std::shared_ptr<SyncDomainInterface> domain = makeSyncDomain("/sd/a", *host, 1000, 0, &pool);
    ASSERT_NE(dynamic_cast<wrapper::SyncDomain*>(domain.get()), nullptr);
    domain->addSyncableDevice(device);
    EXPECT_EQ(fake->lastRequirementsDomainUri(), "/sd/a");
    EXPECT_TRUE(domain->isMember("/dev/a"));
    EXPECT_FALSE(domain->isMember("/dev/b"));
    EXPECT_STREQ(domain->getUri(), "/sd/a");
    EXPECT_STREQ(domain->getTimescaleUri(), kSystemUri);
    EXPECT_TRUE(domain->start(5));
    EXPECT_TRUE(domain->isRunning());
    EXPECT_TRUE(domain->isCoherent());
    EXPECT_TRUE(domain->isCoherentSinceLastChecked());
    EXPECT_THAT(domain->toJson(), HasSubstr(R"("syncableDevices":[{"uri":"/dev/a"}])"));
    EXPECT_EQ(raised([&] { domain->start(5); }).code, -52017);
    domain->stop();
    EXPECT_FALSE(domain->isRunning());
  }
  EXPECT_EQ(fake->clearedDomainUris(), (std::vector<std::string>{"/sd/direct", "/sd/a"}));
}

TEST(NopSyncDomain, CountsAsCoherentWhileRunningAndNeverAsksItsDevices) {
  std::shared_ptr<TimescaleInterface> host = makeHostTimescale(kSystemUri);
  auto* fake = new FakeSyncableDevice("/dev/a");
  SyncableDeviceBase device(fake);
  {
    std::shared_ptr<SyncDomainInterface> domain = makeNopSyncDomain("/sd/nop", *host);
    ASSERT_NE(dynamic_cast<wrapper::NopSyncDomain*>(domain.get()), nullptr);
    domain->addSyncableDevice(device);
    const vesk::testing::Raised stopped = raised([&] { domain->isCoherent(); });
    EXPECT_EQ(stopped.code, -52017);
    EXPECT_THAT(stopped.detail, HasSubstr(R"("message":"Sync Domain coherency may only be queried if the domain )"
                                          R"(is running.","isDomainRunning":false,"syncDomainUri":"/sd/nop"}})"));
    domain->startV2(false, true, 0);
    EXPECT_TRUE(domain->isCoherent());
    EXPECT_STREQ(domain->getTimescaleUri(), kSystemUri);
    EXPECT_EQ(domain->toJson(), R"({"type":"NopSyncDomain","uri":"/sd/nop","isCoherent":true,)"
                                R"("isRunning":true,"syncableDevices":["/dev/a"]})");
  }
  EXPECT_EQ(fake->callsOtherThanGetUri(), 0);
}

TEST(Makers, ThrowTheCreateExportsError) {
  std::shared_ptr<TimescaleInterface> host = makeHostTimescale(kSystemUri);
  const vesk::testing::Raised error = raised([&] { makeSyncDomain("/sd", *host, 1, 1, nullptr); });
  EXPECT_EQ(error.code, -52005);
  EXPECT_THAT(error.detail, HasSubstr(R"("threadPool":"nullptr")"));
}

TEST(ProxyResourceLoader, NamesTheTargetsUriRootsAndThrowsTheCoreLibrarysErrors) {
  std::shared_ptr<ResourceLoaderInterface> loader = makeProxyResourceLoader();
  std::vector<std::string> deviceRoots{"/kept"};
  std::vector<std::string> timescaleRoots;
  loader->getProxyResourceUriRootsToUnload(
      R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"10.0.0.1"}})", deviceRoots,
      timescaleRoots);
  EXPECT_EQ(deviceRoots, (std::vector<std::string>{"/kept", "10.0.0.1"}));
  EXPECT_EQ(timescaleRoots, std::vector<std::string>{"10.0.0.1"});

  const std::string longHost(600, 'h');
  const vesk::testing::Raised tooLong = raised([&] {
    loader->getProxyResourceUriRootsToUnload(
        R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":")" + longHost + R"("}})",
        deviceRoots, timescaleRoots);
  });
  EXPECT_EQ(tooLong.code, -52019);
  EXPECT_THAT(tooLong.detail, HasSubstr("the uri root buffers is not large enough."));

  std::vector<std::shared_ptr<SyncableDeviceInterface>> devices;
  std::vector<std::shared_ptr<TimescaleInterface>> timescales;
  EXPECT_EQ(raised([&] { loader->loadProxyResources("not json", devices, timescales); }).code, -52005);
  EXPECT_TRUE(devices.empty());
  EXPECT_TRUE(timescales.empty());
}

}  // namespace
}  // namespace vesklib::wrapper
