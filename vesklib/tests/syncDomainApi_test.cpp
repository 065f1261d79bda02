#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "testStatus.h"
#include "vesklib/testing/fakeSyncableDevice.h"
#include "vesklib/vesklib.h"
#include "vesktools/threadPool.h"

namespace {

using ::testing::HasSubstr;
using vesklib::testing::FakeCall;
using vesklib::testing::FakeFailure;
using vesklib::testing::FakeSyncableDevice;

std::string takeJson(char* json) {
  const std::string text = json == nullptr ? "<null>" : json;
  free(json);
  return text;
}

// The pool and the devices outlive every domain made here.
class SyncDomainApi : public ::testing::Test {
 protected:
  void SetUp() override {
    TestStatus status;
    timescale_ = vesklib_HostTimescale_create("/ts/x", status);
    domain_ = vesklib_SyncDomain_create("/sd/api", timescale_, 10, 20, &pool_, status);
    ASSERT_EQ(status.code(), 0) << status.json();
    ASSERT_NE(domain_, nullptr);
  }
  void TearDown() override {
    vesklib_SyncDomain_delete(domain_);
    vesklib_Timescale_delete(timescale_);
  }

  vesktools::ThreadPool pool_{25};
  FakeSyncableDevice device_{"/dev/a"};
  TimescaleInterface* timescale_ = nullptr;
  SyncDomainInterface* domain_ = nullptr;
};

TEST_F(SyncDomainApi, DrivesADomainThroughItsWholeLife) {
  TestStatus status;
  vesklib_SyncDomain_addSyncableDevice(domain_, &device_, status);
  EXPECT_TRUE(vesklib_SyncDomain_isMember(domain_, "/dev/a", status));
  EXPECT_FALSE(vesklib_SyncDomain_isMember(domain_, "/dev/b", status));
  EXPECT_STREQ(vesklib_SyncDomain_getUri(domain_, status), "/sd/api");
  EXPECT_STREQ(vesklib_SyncDomain_getTimescaleUri(domain_, status), "/ts/x");

  EXPECT_TRUE(vesklib_SyncDomain_start(domain_, 5, status));
  EXPECT_TRUE(vesklib_SyncDomain_isRunning(domain_, status));
  EXPECT_TRUE(vesklib_SyncDomain_isCoherent(domain_, status));
  EXPECT_TRUE(vesklib_SyncDomain_isCoherentSinceLastChecked(domain_, status));
  char* first = vesklib_SyncDomain_toJson(domain_, status);
  char* second = vesklib_SyncDomain_toJson(domain_, status);
  EXPECT_NE(first, second);
  EXPECT_THAT(takeJson(second), HasSubstr(R"("isRunning":true,"syncableDevices":[{"uri":"/dev/a"}]})"));
  EXPECT_THAT(takeJson(first), HasSubstr(R"({"type":"SyncDomain","uri":"/sd/api","isCoherent":true,)"));
  vesklib_SyncDomain_stop(domain_, status);
  EXPECT_FALSE(vesklib_SyncDomain_isRunning(domain_, status));
  EXPECT_EQ(status.code(), 0) << status.json();

  vesklib_SyncDomain_delete(domain_);
  domain_ = nullptr;
  EXPECT_EQ(device_.clearedDomainUris(), std::vector<std::string>{"/sd/api"});
}

TEST_F(SyncDomainApi, FailuresOfTheDomainAndOfItsDevicesReachTheStatus) {
  TestStatus empty;
  EXPECT_FALSE(vesklib_SyncDomain_start(domain_, 5, empty));
  EXPECT_EQ(empty.code(), -52010);

  TestStatus status;
  device_.setFailure(FakeCall::isCoherent, FakeFailure::qzerrError);
  vesklib_SyncDomain_addSyncableDevice(domain_, &device_, status);
  EXPECT_FALSE(vesklib_SyncDomain_start(domain_, 5, status));
  EXPECT_EQ(status.code(), -52024);
  EXPECT_THAT(status.json(), HasSubstr(R"("message":"Fake device failure.","uri":"/dev/a"},"code":-52024}])"));
}

TEST_F(SyncDomainApi, NamesTheFirstMissingArgument) {
  const struct {
    const char* name;
    std::function<void(qzerr_Status*)> call;
  } cases[] = {
      {"uri", [&](qzerr_Status* s) { vesklib_SyncDomain_create(nullptr, nullptr, 1, 1, nullptr, s); }},
      {"timescale", [&](qzerr_Status* s) { vesklib_SyncDomain_create("/sd", nullptr, 1, 1, nullptr, s); }},
      {"threadPool", [&](qzerr_Status* s) { vesklib_SyncDomain_create("/sd", timescale_, 1, 1, nullptr, s); }},
      {"uri", [&](qzerr_Status* s) { vesklib_NopSyncDomain_create(nullptr, timescale_, s); }},
      {"timescale", [&](qzerr_Status* s) { vesklib_NopSyncDomain_create("/nop", nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_isMember(nullptr, nullptr, s); }},
      {"syncableDeviceUri", [&](qzerr_Status* s) { vesklib_SyncDomain_isMember(domain_, nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_addSyncableDevice(nullptr, nullptr, s); }},
      {"device", [&](qzerr_Status* s) { vesklib_SyncDomain_addSyncableDevice(domain_, nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_isCoherent(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_isCoherentSinceLastChecked(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_isRunning(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_start(nullptr, 1, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_startV2(nullptr, true, true, 1, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_stop(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_getTimescaleUri(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_getUri(nullptr, s); }},
      {"handle", [&](qzerr_Status* s) { vesklib_SyncDomain_toJson(nullptr, s); }},
  };
  for (const auto& entry : cases) {
    SCOPED_TRACE(entry.name);
    TestStatus status;
    entry.call(status);
    EXPECT_EQ(status.code(), -52005);
    EXPECT_THAT(status.json(), HasSubstr(R"("file":"vesklib",)"));
    EXPECT_THAT(status.json(), HasSubstr(std::string(R"("message":"Encountered missing parameter needed for )"
                                                     R"(task completion.",")") +
                                         entry.name + R"(":"nullptr"}})"));
  }
  vesklib_SyncDomain_delete(nullptr);
}

TEST_F(SyncDomainApi, IncomingErrorMakesEveryOperationDoNothing) {
  const std::vector<std::function<bool(qzerr_Status*)>> calls = {
      [&](qzerr_Status* s) { return vesklib_SyncDomain_create("/sd", timescale_, 1, 1, &pool_, s) != nullptr; },
      [&](qzerr_Status* s) { return vesklib_NopSyncDomain_create("/nop", timescale_, s) != nullptr; },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_isMember(domain_, "/dev/a", s); },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_addSyncableDevice(domain_, &device_, s), false; },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_isCoherent(domain_, s); },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_isCoherentSinceLastChecked(domain_, s); },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_isRunning(domain_, s); },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_start(domain_, 1, s); },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_startV2(domain_, false, false, 0, s), false; },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_stop(domain_, s), false; },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_getTimescaleUri(domain_, s) != nullptr; },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_getUri(domain_, s) != nullptr; },
      [&](qzerr_Status* s) { return vesklib_SyncDomain_toJson(domain_, s) != nullptr; },
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    TestStatus status(-52006, R"({"earlier":true})");
    EXPECT_FALSE(calls[i](status));
    EXPECT_EQ(status.code(), -52006);
    EXPECT_EQ(status.json(), R"({"earlier":true})");
  }
  EXPECT_EQ(device_.calls(FakeCall::setCoherencyRequirements), 0);
}

TEST_F(SyncDomainApi, NopDomainIsDrivenByTheSameOperations) {
  TestStatus status;
  SyncDomainInterface* nop = vesklib_NopSyncDomain_create("/nop", timescale_, status);
  vesklib_SyncDomain_addSyncableDevice(nop, &device_, status);
  vesklib_SyncDomain_startV2(nop, false, true, 0, status);
  EXPECT_TRUE(vesklib_SyncDomain_isCoherent(nop, status));
  EXPECT_EQ(takeJson(vesklib_SyncDomain_toJson(nop, status)),
            R"({"type":"NopSyncDomain","uri":"/nop","isCoherent":true,"isRunning":true,"syncableDevices":["/dev/a"]})");
  EXPECT_STREQ(vesklib_SyncDomain_getTimescaleUri(nop, status), "/ts/x");
  EXPECT_EQ(status.code(), 0) << status.json();

  vesklib_SyncDomain_delete(nop);
  EXPECT_EQ(device_.callsOtherThanGetUri(), 0);
}

}  // namespace
