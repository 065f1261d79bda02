#include "vesklib/syncDomainTasks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/fakeSyncableDevice.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using vesklib::CheckMemberCoherencyStateTask;
using vesklib::GetMemberJsonTask;
using vesklib::testing::caughtError;
using vesklib::testing::FakeCall;
using vesklib::testing::FakeFailure;
using vesklib::testing::FakeSyncableDevice;

TEST(CheckMemberCoherencyStateTaskTest, KeepsTheDevicesAnswer) {
  FakeSyncableDevice device("/dev/a");
  device.setAnswer(true, 41);
  CheckMemberCoherencyStateTask task("/dev/a", &device);
  EXPECT_EQ(task.coherencyLossCount(), UINT32_MAX);

  task.execute();

  EXPECT_TRUE(task.isDone());
  EXPECT_EQ(task.status().code, 0);
  EXPECT_TRUE(task.isCoherent());
  EXPECT_EQ(task.coherencyLossCount(), 41u);
  EXPECT_EQ(task.deviceUri(), "/dev/a");
}

struct DeviceFailure {
  FakeFailure failure;
  int32_t code;
  const char* detailPart;  // what the status must hold
  const char* absentPart;  // what it must not, or null
};

const DeviceFailure kDeviceFailures[] = {
    {FakeFailure::qzerrError, -52024, R"("message":"Fake device failure.","uri":"/dev/a")", "std_exception_what"},
    {FakeFailure::standardError, -52003, R"("std_exception_what":"fake device failure")", nullptr},
    {FakeFailure::outOfMemory, -52000, R"("error_constant":"qzkormerr_memoryFull")", nullptr},
    {FakeFailure::foreignObject, -52003, R"("error_constant":"qzkormerr_softwareFaultKORMInternalUseOnly")",
     "std_exception_what"},
};

TEST(CheckMemberCoherencyStateTaskTest, EveryKindOfDeviceFailureBecomesTheTaskStatus) {
  for (const DeviceFailure& expected : kDeviceFailures) {
    SCOPED_TRACE(expected.code);
    FakeSyncableDevice device("/dev/a");
    device.setFailure(FakeCall::isCoherent, expected.failure);
    CheckMemberCoherencyStateTask task("/dev/a", &device);

    task.execute();

    EXPECT_TRUE(task.isDone());
    EXPECT_EQ(task.status().code, expected.code);
    const std::string detail = task.status().json != nullptr ? task.status().json : "";
    EXPECT_THAT(detail, HasSubstr(expected.detailPart));
    if (expected.absentPart != nullptr) {
      EXPECT_THAT(detail, Not(HasSubstr(expected.absentPart)));
    }
    EXPECT_FALSE(task.isCoherent());
    EXPECT_EQ(task.coherencyLossCount(), UINT32_MAX);
  }
}

TEST(GetMemberJsonTaskTest, KeepsTheDevicesText) {
  FakeSyncableDevice device("/dev/a");
  device.setJson(R"({"uri":"/dev/a","n":1})");
  GetMemberJsonTask task(&device);

  task.execute();

  EXPECT_TRUE(task.isDone());
  EXPECT_EQ(task.json(), R"({"uri":"/dev/a","n":1})");
}

TEST(GetMemberJsonTaskTest, DeviceFailureBecomesAnErrorObjectNotATaskFailure) {
  FakeSyncableDevice device("/dev/\"a\"");
  device.setFailure(FakeCall::toJson, FakeFailure::qzerrError);
  const std::string failure = caughtError([&] { device.toJson(); }).detail;
  GetMemberJsonTask task(&device);

  task.execute();

  EXPECT_EQ(task.status().code, 0);
  EXPECT_EQ(task.json(), R"({"uri":"/dev/\"a\"","error":)" + failure + "}");
}

TEST(SyncDomainTaskBaseTest, AbandonedTaskNeverCallsItsDevice) {
  FakeSyncableDevice device("/dev/a");
  GetMemberJsonTask abandoned(&device);
  EXPECT_TRUE(abandoned.abandon());

  abandoned.execute();

  EXPECT_TRUE(abandoned.isDone());
  EXPECT_TRUE(abandoned.json().empty());
  EXPECT_EQ(device.calls(FakeCall::toJson), 0);

  GetMemberJsonTask ran(&device);
  ran.execute();
  EXPECT_FALSE(ran.abandon());
}

}  // namespace
