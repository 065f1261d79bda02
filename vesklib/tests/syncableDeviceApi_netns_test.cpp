// Remote syncable devices through the core library's exported functions,
// against simulated targets on 127.0.0.2 to .4 inside the test's private
// network namespace: the requests each operation sends, and a sync domain of
// three such devices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "targetSim.h"
#include "testStatus.h"
#include "vesklib/vesklib.h"
#include "vesktools/threadPool.h"

namespace {

using vesktest::LoggedRequest;
using vesktest::TargetSim;

constexpr char kDevicePath[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kConfig[] = R"({"devices":[{"uri":"/veskwebs/syncableDevices/pendulo/timekeeper/genericTk"}]})";
constexpr char kMediaType[] = "vnd.qz.syncDomain.v0/json; charset=utf-8";
constexpr char kHostTimescale[] = "/localhost/vesks/timescales/system";

std::string deviceUri(const TargetSim& target) { return "/" + target.address() + kDevicePath; }

std::string takeJson(char* json) {
  const std::string text = json == nullptr ? "(null)" : json;
  free(json);
  return text;
}

void expectDeviceRequest(const LoggedRequest& request, const char* method, const std::string& body) {
  EXPECT_EQ(request.method, method);
  EXPECT_EQ(request.target, kDevicePath);
  EXPECT_EQ(request.header("Accept"), kMediaType);
  EXPECT_EQ(request.header("Content-Type"), kMediaType);
  EXPECT_EQ(request.body, body);
}

SyncableDeviceInterface* createDevice(const std::string& uri) {
  TestStatus status;
  SyncableDeviceInterface* device = vesklib_SyncableDeviceProxy_create(uri.c_str(), status);
  EXPECT_EQ(status.code(), 0) << status.json();
  return device;
}

TEST(SyncableDeviceProxyApi, SendsOneRequestPerOperationAndReadsTheAnswers) {
  const TargetSim target(kConfig);
  SyncableDeviceInterface* device = createDevice(deviceUri(target));
  ASSERT_NE(device, nullptr);
  TestStatus status;
  EXPECT_EQ(std::string(vesklib_SyncableDevice_getUri(device, status)), deviceUri(target));
  EXPECT_TRUE(target.requests().empty()) << "creation sends nothing";

  const std::string requirements =
      R"({"version":1,"syncDomainUri":"/sd/a","coherencyRequirements":{"requiredTimescaleUri":"/t",)"
      R"("maxOffset_ns":1,"minSyncDuration_ms":2},"data":{}})";
  vesklib_SyncableDevice_setCoherencyRequirements(device, requirements.c_str(), "/sd/a", status);
  uint32_t losses = 99;
  EXPECT_TRUE(vesklib_SyncableDevice_isCoherent(device, &losses, status));
  EXPECT_EQ(losses, 0u);
  target.updateDevice(kDevicePath, R"({"isCoherent":false,"coherencyLossCount":4})");
  EXPECT_FALSE(vesklib_SyncableDevice_isCoherent(device, &losses, status));
  EXPECT_EQ(losses, 4u);
  EXPECT_EQ(takeJson(vesklib_SyncableDevice_toJson(device, status)),
            R"({"version":1,"uri":")" + deviceUri(target) +
                R"(","isCoherent":false,"coherencyLossCount":4,"syncDomainUris":["/sd/a"]})");
  vesklib_SyncableDevice_clearCoherencyRequirements(device, "/sd/a", status);
  EXPECT_EQ(status.code(), 0) << status.json();

  const auto requests = target.requests();
  ASSERT_EQ(requests.size(), 4u);
  expectDeviceRequest(requests[0], "PUT", requirements);
  for (size_t i = 1; i < requests.size(); ++i) expectDeviceRequest(requests[i], "GET", "");
  vesklib_SyncableDevice_delete(device);
  EXPECT_EQ(target.requests().size(), 4u) << "deletion sends nothing";
}

TEST(SyncableDeviceProxyApi, ReportsAFailedRequestAsACommunicationsFault) {
  const TargetSim target(kConfig);
  SyncableDeviceInterface* device = createDevice(deviceUri(target));
  target.updateDevice(kDevicePath, R"({"get":{"status":503}})");
  TestStatus status;
  uint32_t losses = 7;
  EXPECT_FALSE(vesklib_SyncableDevice_isCoherent(device, &losses, status));
  EXPECT_EQ(status.code(), -52024);
  EXPECT_NE(status.json().find(R"("callingFn":"sendGetRequest","url":"http:/)" + deviceUri(target) +
                               R"(","data":"","originalCode":-411359})"),
            std::string::npos)
      << status.json();
  EXPECT_EQ(losses, 7u);
  vesklib_SyncableDevice_delete(device);
}

TEST(SyncableDeviceProxyApi, RefusesMissingArgumentsAndMalformedUris) {
  const TargetSim target(kConfig);
  SyncableDeviceInterface* device = createDevice(deviceUri(target));
  using Device = SyncableDeviceInterface;
  uint32_t losses = 0;
  struct Row {
    const char* name;
    void (*call)(Device* d, uint32_t* l, qzerr_Status* s);
  } rows[] = {
      {"uri", [](Device*, uint32_t*, qzerr_Status* s) { vesklib_SyncableDeviceProxy_create(nullptr, s); }},
      {"handle",
       [](Device*, uint32_t*, qzerr_Status* s) {
         vesklib_SyncableDevice_setCoherencyRequirements(nullptr, "{}", "/sd", s);
       }},
      {"jsonRequirements",
       [](Device* d, uint32_t*, qzerr_Status* s) {
         vesklib_SyncableDevice_setCoherencyRequirements(d, nullptr, "/sd", s);
       }},
      {"syncDomainUri",
       [](Device* d, uint32_t*, qzerr_Status* s) {
         vesklib_SyncableDevice_setCoherencyRequirements(d, "{}", nullptr, s);
       }},
      {"syncDomainUri",
       [](Device* d, uint32_t*, qzerr_Status* s) { vesklib_SyncableDevice_clearCoherencyRequirements(d, nullptr, s); }},
      {"coherencyLossCount",
       [](Device* d, uint32_t*, qzerr_Status* s) { vesklib_SyncableDevice_isCoherent(d, nullptr, s); }},
      {"handle", [](Device*, uint32_t* l, qzerr_Status* s) { vesklib_SyncableDevice_isCoherent(nullptr, l, s); }},
      {"handle", [](Device*, uint32_t*, qzerr_Status* s) { vesklib_SyncableDevice_getUri(nullptr, s); }},
      {"handle", [](Device*, uint32_t*, qzerr_Status* s) { vesklib_SyncableDevice_toJson(nullptr, s); }},
  };
  for (const Row& row : rows) {
    TestStatus status;
    row.call(device, &losses, status);
    EXPECT_EQ(status.code(), -52005) << row.name;
    EXPECT_NE(status.json().find(std::string(R"("qzsyncdomain_debug":{"message":"Encountered missing parameter )"
                                             R"(needed for task completion.",")") +
                                 row.name + R"(":"nullptr"}})"),
              std::string::npos)
        << status.json();
    // An error already held makes every function do nothing.
    TestStatus failed(-52024, R"({"kept":true})");
    row.call(device, &losses, failed);
    EXPECT_EQ(failed.code(), -52024);
    EXPECT_EQ(failed.json(), R"({"kept":true})");
  }
  for (const char* uri : {"/127.0.0.2/veskwebs/syncableDevices/pendulo/timekeeper",
                          "/127.0.0.2/veskwebs/syncableDevices/pendulo/timekeeper/genericTk/x"}) {
    TestStatus status;
    EXPECT_EQ(vesklib_SyncableDeviceProxy_create(uri, status), nullptr);
    EXPECT_EQ(status.code(), -52005);
    EXPECT_NE(status.json().find("Failed to parse URI"), std::string::npos) << status.json();
  }
  EXPECT_TRUE(target.requests().empty());
  vesklib_SyncableDevice_delete(device);
  vesklib_SyncableDevice_delete(nullptr);
}

// Declaration order keeps the pool and the timescale alive longer than every
// domain, and the targets longer than everything that talks to them.
class SyncDomainOfRemoteDevices : public ::testing::Test {
 protected:
  SyncDomainOfRemoteDevices() {
    TestStatus status;
    timescale_ = vesklib_HostTimescale_create(kHostTimescale, status);
    for (size_t i = 0; i < 3; ++i) devices_[i] = createDevice(deviceUri(targets_[i]));
  }
  ~SyncDomainOfRemoteDevices() override {
    for (SyncableDeviceInterface* device : devices_) vesklib_SyncableDevice_delete(device);
    vesklib_Timescale_delete(timescale_);
  }

  SyncDomainInterface* createDomain(const char* uri, uint32_t maxOffset_ns) {
    TestStatus status;
    SyncDomainInterface* domain = vesklib_SyncDomain_create(uri, timescale_, maxOffset_ns, 2000, &pool_, status);
    EXPECT_EQ(status.code(), 0) << status.json();
    return domain;
  }

  const TargetSim targets_[3] = {TargetSim(kConfig, "127.0.0.2"), TargetSim(kConfig, "127.0.0.3"),
                                 TargetSim(kConfig, "127.0.0.4")};
  vesktools::ThreadPool pool_{25};
  TimescaleInterface* timescale_ = nullptr;
  SyncableDeviceInterface* devices_[3] = {};
};

TEST_F(SyncDomainOfRemoteDevices, StartsCoherentAndNoticesALostCoherency) {
  SyncDomainInterface* domain = createDomain("/vesks/syncDomains/lab", 1000);
  TestStatus status;
  for (SyncableDeviceInterface* device : devices_) vesklib_SyncDomain_addSyncableDevice(domain, device, status);
  ASSERT_EQ(status.code(), 0) << status.json();
  const std::string requirements =
      R"({"version":1,"syncDomainUri":"/vesks/syncDomains/lab","coherencyRequirements":)"
      R"({"requiredTimescaleUri":"/localhost/vesks/timescales/system","maxOffset_ns":1000,)"
      R"("minSyncDuration_ms":2000},"data":{}})";
  for (const TargetSim& target : targets_) {
    const auto requests = target.requests();
    ASSERT_EQ(requests.size(), 1u) << target.address();
    expectDeviceRequest(requests[0], "PUT", requirements);
    target.clearRequests();
  }

  EXPECT_TRUE(vesklib_SyncDomain_start(domain, 5, status));
  EXPECT_TRUE(vesklib_SyncDomain_isCoherent(domain, status));
  ASSERT_EQ(status.code(), 0) << status.json();
  for (const TargetSim& target : targets_) {
    const auto requests = target.requests();
    ASSERT_EQ(requests.size(), 2u) << target.address();
    for (const LoggedRequest& request : requests) expectDeviceRequest(request, "GET", "");
  }

  targets_[1].updateDevice(kDevicePath, R"({"coherencyLossCount":1})");
  EXPECT_FALSE(vesklib_SyncDomain_isCoherent(domain, status));
  EXPECT_EQ(status.code(), 0) << status.json();
  EXPECT_EQ(takeJson(vesklib_SyncableDevice_toJson(devices_[1], status)),
            R"({"version":1,"uri":"/127.0.0.3/veskwebs/syncableDevices/pendulo/timekeeper/genericTk",)"
            R"("isCoherent":true,"coherencyLossCount":1,"syncDomainUris":["/vesks/syncDomains/lab"]})");

  vesklib_SyncDomain_delete(domain);
  EXPECT_NE(takeJson(vesklib_SyncableDevice_toJson(devices_[1], status)).find(R"("syncDomainUris":[]})"),
            std::string::npos);
}

TEST_F(SyncDomainOfRemoteDevices, RefusesAConflictingDomainWithoutSendingItsRequirements) {
  SyncDomainInterface* lab = createDomain("/vesks/syncDomains/lab", 1000);
  SyncDomainInterface* other = createDomain("/vesks/syncDomains/other", 999);
  TestStatus status;
  vesklib_SyncDomain_addSyncableDevice(lab, devices_[0], status);
  ASSERT_EQ(status.code(), 0) << status.json();
  targets_[0].clearRequests();

  vesklib_SyncDomain_addSyncableDevice(other, devices_[0], status);
  EXPECT_EQ(status.code(), -1074100993);
  EXPECT_NE(status.json().find(R"("New SyncDomain URI":"/vesks/syncDomains/other","Current maxOffset_ns":1000,)"
                               R"("New maxOffset_ns":999,)"),
            std::string::npos)
      << status.json();
  EXPECT_TRUE(targets_[0].requests().empty()) << "a refused requirement is not sent";
  TestStatus check;
  EXPECT_FALSE(vesklib_SyncDomain_isMember(other, deviceUri(targets_[0]).c_str(), check));
  EXPECT_TRUE(vesklib_SyncDomain_isMember(lab, deviceUri(targets_[0]).c_str(), check));

  vesklib_SyncDomain_delete(other);
  vesklib_SyncDomain_delete(lab);
}

}  // namespace
