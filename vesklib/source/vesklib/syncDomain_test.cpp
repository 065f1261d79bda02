#include "vesklib/syncDomain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/fakeSyncableDevice.h"
#include "vesktools/threadPool.h"

namespace {

using ::testing::HasSubstr;
using vesklib::SyncDomain;
using vesklib::testing::caughtError;
using vesklib::testing::FakeCall;
using vesklib::testing::FakeFailure;
using vesklib::testing::FakeSyncableDevice;
using Clock = std::chrono::steady_clock;

constexpr char kRequirements[] =
    R"({"requiredTimescaleUri":"/ts/x","maxOffset_ns":1000,"minSyncDuration_ms":2000})";

std::string channel(const std::string& members) { return "\"qzsyncdomain_debug\":{" + members + "}"; }

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Declaration order is destruction order reversed: the domain goes first,
// then the devices, then the pool, as the domain requires.
class SyncDomainTest : public ::testing::Test {
 protected:
  std::unique_ptr<SyncDomain> makeDomain(const std::string& uri) {
    return std::make_unique<SyncDomain>(uri, &timescale_, 1000, 2000, &pool_);
  }
  void addBoth() {
    domain_->addSyncableDevice(&a_);
    domain_->addSyncableDevice(&b_);
  }
  int coherencyCalls() const { return a_.calls(FakeCall::isCoherent) + b_.calls(FakeCall::isCoherent); }

  vesktools::ThreadPool pool_{25};
  vesklib::HostTimescale timescale_{"/ts/x"};
  FakeSyncableDevice a_{"/dev/a"};
  FakeSyncableDevice b_{"/dev/b"};
  FakeSyncableDevice c_{"/dev/c"};
  std::unique_ptr<SyncDomain> domain_ = makeDomain("/sd/a");
};

TEST_F(SyncDomainTest, HandsEachJoiningDeviceTheRequirementsDocumentOnce) {
  domain_->addSyncableDevice(&a_);
  domain_->addSyncableDevice(&a_);

  EXPECT_EQ(a_.lastRequirements(), std::string(R"({"version":1,"syncDomainUri":"/sd/a","coherencyRequirements":)") +
                                       kRequirements + R"(,"data":{}})");
  EXPECT_EQ(a_.lastRequirementsDomainUri(), "/sd/a");
  EXPECT_EQ(a_.calls(FakeCall::setCoherencyRequirements), 1);
  EXPECT_TRUE(domain_->isMember("/dev/a"));
  EXPECT_FALSE(domain_->isMember("/dev/"));
  EXPECT_FALSE(domain_->isMember("/dev/b"));
}

TEST_F(SyncDomainTest, EmptyDomainDescribesItselfWithoutAnyTask) {
  EXPECT_EQ(domain_->toJson(), std::string(R"({"type":"SyncDomain","uri":"/sd/a","isCoherent":false,)") +
                                   R"("coherencyRequirements":)" + kRequirements +
                                   R"(,"isRunning":false,"syncableDevices":[]})");
}

TEST_F(SyncDomainTest, WritesNumbersUnsignedAndUrisEscaped) {
  vesklib::HostTimescale timescale("/ts/\t");
  FakeSyncableDevice device("/dev/c");
  SyncDomain domain("/sd/\"q\"", &timescale, 4294967295u, 0, &pool_);
  domain.addSyncableDevice(&device);

  EXPECT_EQ(device.lastRequirements(),
            R"({"version":1,"syncDomainUri":"/sd/\"q\"","coherencyRequirements":{"requiredTimescaleUri":"/ts/\t",)"
            R"("maxOffset_ns":4294967295,"minSyncDuration_ms":0},"data":{}})");
  EXPECT_THAT(domain.toJson(), HasSubstr(R"("uri":"/sd/\"q\"")"));
}

TEST_F(SyncDomainTest, ConstructionNamesTheMissingCollaborator) {
  const auto noTimescale = caughtError([&] { SyncDomain("/sd/n", nullptr, 1, 2, nullptr); });
  EXPECT_EQ(noTimescale.code, -52005);
  EXPECT_THAT(noTimescale.detail, HasSubstr(channel(
                                      R"("message":"Encountered missing parameter needed for task completion.",)"
                                      R"("18TimescaleInterface":"nullptr")")));

  const auto noPool = caughtError([&] { SyncDomain("/sd/n", &timescale_, 1, 2, nullptr); });
  EXPECT_EQ(noPool.code, -52005);
  EXPECT_THAT(noPool.detail, HasSubstr(R"("19ThreadPoolInterface":"nullptr")"));
}

TEST_F(SyncDomainTest, RefusesDevicesItCannotTake) {
  const auto noDevice = caughtError([&] { domain_->addSyncableDevice(nullptr); });
  EXPECT_EQ(noDevice.code, -52005);
  EXPECT_THAT(noDevice.detail, HasSubstr(R"("device":"nullptr")"));

  b_.setFailure(FakeCall::setCoherencyRequirements, FakeFailure::qzerrError);
  EXPECT_EQ(caughtError([&] { domain_->addSyncableDevice(&b_); }).code, -52024);
  EXPECT_FALSE(domain_->isMember("/dev/b"));

  domain_->addSyncableDevice(&a_);
  domain_->startV2(false, false, 0);
  const auto whileRunning = caughtError([&] { domain_->addSyncableDevice(&a_); });
  EXPECT_EQ(whileRunning.code, -52017);
  EXPECT_THAT(whileRunning.detail,
              HasSubstr(channel(R"("message":"Syncable devices may only be added when Sync Domain is not running.",)"
                                R"("isDomainRunning":true,"syncDomainUri":"/sd/a","syncableDeviceUri":"/dev/a")")));
  EXPECT_EQ(caughtError([&] { domain_->addSyncableDevice(nullptr); }).code, -52005);
}

struct Refusal {
  const char* name;
  bool withMembers;
  bool running;
  bool saveInitialCoherency;
  bool waitToBecomeCoherent;
  uint32_t timeout_s;
  int32_t code;
  const char* channelMembers;
};

const Refusal kRefusals[] = {
    {"running", true, true, true, true, 5, -52017,
     R"("message":"Sync Domain is already running; need to call stop before calling start again.",)"
     R"("isDomainRunning":true,"syncDomainUri":"/sd/a")"},
    {"noMembersBeforeFlags", false, false, false, true, 0, -52010,
     R"("message":"Sync Domain cannot start without any members. Please add at least one Syncable Device to the )"
     R"(domain and try again.","syncDomainUri":"/sd/a")"},
    {"waitWithoutSavingBeforeTimeout", true, false, false, true, 0, -52002,
     R"("message":"Requesting to start Sync Domain with wait to be coherent but not saving initial coherency is )"
     R"(not supported.","saveInitialCoherency":false,"waitToBecomeCoherent":true,"syncDomainUri":"/sd/a")"},
    {"zeroWaitTimeout", true, false, true, true, 0, -52005,
     R"("message":"Please provide a non-zero timeout for starting the Sync Domain.","syncDomainUri":"/sd/a",)"
     R"("waitTimeout_s":0)"},
};

TEST_F(SyncDomainTest, StartRefusesInOrderWithoutAskingAnyDevice) {
  for (const Refusal& refusal : kRefusals) {
    SCOPED_TRACE(refusal.name);
    domain_ = makeDomain("/sd/a");
    if (refusal.withMembers) addBoth();
    if (refusal.running) domain_->startV2(false, false, 0);
    const int callsBefore = coherencyCalls();

    const auto error = caughtError(
        [&] { domain_->startV2(refusal.saveInitialCoherency, refusal.waitToBecomeCoherent, refusal.timeout_s); });

    EXPECT_EQ(error.code, refusal.code);
    EXPECT_THAT(error.detail, HasSubstr(channel(refusal.channelMembers)));
    EXPECT_EQ(domain_->isRunning(), refusal.running);
    EXPECT_EQ(coherencyCalls(), callsBefore);
  }
}

TEST_F(SyncDomainTest, SavingStartWithoutWaitChecksOnceAndIgnoresTheTimeout) {
  addBoth();
  a_.setAnswer(false, 7);

  domain_->startV2(true, false, 0);

  EXPECT_TRUE(domain_->isRunning());
  EXPECT_EQ(coherencyCalls(), 2);
  // `coherent` is left false, so isCoherent asks nobody.
  EXPECT_FALSE(domain_->isCoherent());
  EXPECT_EQ(coherencyCalls(), 2);
  // The saved last values are the answers: nothing changed since.
  a_.setAnswer(true, 7);
  EXPECT_FALSE(domain_->isCoherentSinceLastChecked());
  EXPECT_TRUE(domain_->isCoherentSinceLastChecked());
}

TEST_F(SyncDomainTest, StartThatNeitherSavesNorWaitsAsksNobody) {
  addBoth();

  domain_->startV2(false, false, 0);

  EXPECT_TRUE(domain_->isRunning());
  EXPECT_FALSE(domain_->isCoherent());
  EXPECT_EQ(coherencyCalls(), 0);
  // Members never checked compare as (false, 0).
  EXPECT_FALSE(domain_->isCoherentSinceLastChecked());
  EXPECT_EQ(coherencyCalls(), 2);
  EXPECT_TRUE(domain_->isCoherentSinceLastChecked());
}

TEST_F(SyncDomainTest, AsksAllMembersInParallel) {
  for (FakeSyncableDevice* device : {&a_, &b_, &c_}) {
    device->setDelay(std::chrono::milliseconds(1500));
    domain_->addSyncableDevice(device);
  }
  const auto start = Clock::now();

  EXPECT_TRUE(domain_->start(10));

  EXPECT_LT(secondsSince(start), 2.5);
  EXPECT_TRUE(domain_->isRunning());
}

TEST_F(SyncDomainTest, WaitingStartRepeatsPassesUntilEveryMemberIsCoherent) {
  addBoth();
  a_.setAnswers({{false, 0}, {false, 0}, {true, 3}});

  EXPECT_TRUE(domain_->start(5));

  EXPECT_EQ(a_.calls(FakeCall::isCoherent), 3);
  EXPECT_TRUE(domain_->isCoherent());  // the count 3 of the last pass was saved
}

TEST_F(SyncDomainTest, FailedMembersGiveOneErrorWithOneNestedElementEach) {
  addBoth();
  domain_->addSyncableDevice(&c_);
  a_.setFailure(FakeCall::isCoherent, FakeFailure::qzerrError);
  b_.setFailure(FakeCall::isCoherent, FakeFailure::standardError);

  const auto error = caughtError([&] { domain_->start(5); });

  EXPECT_EQ(error.code, -52024);
  const std::string message = channel(
      R"("message":"Encountered error while communicating with one or more syncable devices.",)"
      R"("syncDomainUri":"/sd/a")");
  EXPECT_EQ(occurrences(error.detail, message), 1u);
  EXPECT_EQ(occurrences(error.detail, "\"nested_error\":["), 1u);
  EXPECT_EQ(occurrences(error.detail, "\"code\":"), 2u);
  EXPECT_THAT(error.detail, HasSubstr(R"("uri":"/dev/a"},"code":-52024})"));
  EXPECT_THAT(error.detail, HasSubstr(R"("std_exception_what":"fake device failure","code":-52003})"));
  EXPECT_FALSE(domain_->isRunning());
}

TEST_F(SyncDomainTest, NeverCoherentMemberTimesOutAfterTheWaitTimeout) {
  addBoth();
  a_.setAnswer(false, 0);
  const auto start = Clock::now();

  const auto error = caughtError([&] { domain_->start(1); });

  const double elapsed = secondsSince(start);
  EXPECT_GE(elapsed, 1.0);
  EXPECT_LT(elapsed, 2.0);
  EXPECT_EQ(error.code, -52007);
  // Whether the time ran out while polling or between a pass and its
  // evaluation decides between "timeout_ms" and "timeoutInSeconds".
  EXPECT_THAT(error.detail,
              HasSubstr(R"("qzsyncdomain_debug":{"message":"Timed out while waiting for one or more syncable )"
                        R"(devices to respond.","syncDomainUri":"/sd/a","timeout)"));
  EXPECT_FALSE(domain_->isRunning());
}

// The service's stop: its pool announces it, and a start that would wait for
// ever answers as its time-out would, asking no member it had not yet asked.
TEST_F(SyncDomainTest, AStoppingPoolEndsAWaitingStartAsItsTimeOutWould) {
  vesktools::ThreadPool onePool(1);
  FakeSyncableDevice first("/dev/1");
  FakeSyncableDevice second("/dev/2");
  auto domain = std::make_unique<SyncDomain>("/sd/one", &timescale_, 1, 1, &onePool);
  for (FakeSyncableDevice* device : {&first, &second}) {
    device->setAnswer(false, 0);
    domain->addSyncableDevice(device);
  }
  first.setDelay(std::chrono::milliseconds(300));
  std::thread stopper([&] {
    while (first.callsInProgress() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    onePool.announceStop();
  });
  const auto start = Clock::now();

  const auto error = caughtError([&] { domain->start(UINT32_MAX); });

  stopper.join();
  EXPECT_LT(secondsSince(start), 5.0);
  EXPECT_EQ(error.code, -52007);
  EXPECT_THAT(error.detail, HasSubstr("Timed out while waiting for one or more syncable devices to respond."));
  EXPECT_FALSE(domain->isRunning());
  while (first.callsInProgress() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the pool runs what is queued
  EXPECT_EQ(second.calls(FakeCall::isCoherent), 0);
  domain.reset();
}

TEST_F(SyncDomainTest, GrownLossCountFlipsBothCoherencyQuestions) {
  addBoth();
  ASSERT_TRUE(domain_->start(5));
  EXPECT_TRUE(domain_->isCoherent());
  EXPECT_TRUE(domain_->isCoherentSinceLastChecked());

  a_.setAnswer(true, 1);

  EXPECT_FALSE(domain_->isCoherentSinceLastChecked());
  EXPECT_TRUE(domain_->isCoherentSinceLastChecked());
  EXPECT_FALSE(domain_->isCoherent());
  const int callsAfterFirstFalse = coherencyCalls();
  a_.setAnswer(true, 0);
  EXPECT_FALSE(domain_->isCoherent());
  EXPECT_EQ(coherencyCalls(), callsAfterFirstFalse);

  domain_->stop();
  ASSERT_TRUE(domain_->start(5));
  EXPECT_TRUE(domain_->isCoherent());
}

// A check that fails stores nothing: not the flag, not the answers of the
// members that did answer.
TEST_F(SyncDomainTest, FailedCheckLeavesFlagAndLastValuesAsTheyWere) {
  addBoth();
  ASSERT_TRUE(domain_->start(5));
  a_.setAnswer(true, 1);
  b_.setFailure(FakeCall::isCoherent, FakeFailure::qzerrError);

  EXPECT_EQ(caughtError([&] { domain_->isCoherentSinceLastChecked(); }).code, -52024);
  EXPECT_EQ(caughtError([&] { domain_->isCoherent(); }).code, -52024);

  b_.setFailure(FakeCall::isCoherent, FakeFailure::none);
  a_.setAnswer(true, 0);
  EXPECT_TRUE(domain_->isCoherent());
  a_.setAnswer(true, 1);
  EXPECT_FALSE(domain_->isCoherentSinceLastChecked());
}

TEST_F(SyncDomainTest, StopKeepsTheFlagButRefusesCoherencyQuestions) {
  addBoth();
  ASSERT_TRUE(domain_->start(5));

  domain_->stop();

  EXPECT_FALSE(domain_->isRunning());
  EXPECT_THAT(domain_->toJson(), HasSubstr(R"("isCoherent":true,)"));
  for (const auto& question : {&SyncDomain::isCoherent, &SyncDomain::isCoherentSinceLastChecked}) {
    const auto error = caughtError([&] { (domain_.get()->*question)(); });
    EXPECT_EQ(error.code, -52017);
    EXPECT_THAT(error.detail,
                HasSubstr(channel(R"("message":"Sync Domain coherency may only be queried if the domain is running.",)"
                                  R"("isDomainRunning":false,"syncDomainUri":"/sd/a")")));
  }
}

TEST_F(SyncDomainTest, DescribesMembersWithTheirOwnTextOrTheirFailure) {
  addBoth();
  a_.setJson(R"({"uri":"/dev/a","kind":"fake"})");
  b_.setFailure(FakeCall::toJson, FakeFailure::qzerrError);
  const std::string bFailure = caughtError([&] { b_.toJson(); }).detail;

  EXPECT_EQ(domain_->toJson(), std::string(R"({"type":"SyncDomain","uri":"/sd/a","isCoherent":false,)") +
                                   R"("coherencyRequirements":)" + kRequirements +
                                   R"(,"isRunning":false,"syncableDevices":[{"uri":"/dev/a","kind":"fake"},)" +
                                   R"({"uri":"/dev/b","error":)" + bFailure + "}]}");
}

TEST_F(SyncDomainTest, DescriptionWaitsTenSecondsAtMostForAMember) {
  addBoth();
  a_.setJson(R"({"uri":"/dev/a","late":true})");
  a_.setDelay(std::chrono::milliseconds(10500));
  const auto start = Clock::now();

  const std::string json = domain_->toJson();

  const double elapsed = secondsSince(start);
  EXPECT_GE(elapsed, 10.0);
  EXPECT_LT(elapsed, 10.8);
  EXPECT_THAT(json, HasSubstr(R"("syncableDevices":[{"uri":"/dev/a"},{"uri":"/dev/b"}])"));
}

TEST_F(SyncDomainTest, DestructorClearsItsRequirementsOnEveryMember) {
  addBoth();

  domain_.reset();

  EXPECT_EQ(a_.clearedDomainUris(), std::vector<std::string>{"/sd/a"});
  EXPECT_EQ(b_.clearedDomainUris(), std::vector<std::string>{"/sd/a"});
}

// A task still asking its device when the domain is deleted holds the device
// pointer; the destructor waits for it so that the device may go next (under
// AddressSanitizer a late call would be a use after free).
TEST_F(SyncDomainTest, DestructorWaitsForTasksStillRunning) {
  auto slow = std::make_unique<FakeSyncableDevice>("/dev/slow");
  slow->setDelay(std::chrono::milliseconds(1500));
  domain_->addSyncableDevice(slow.get());
  EXPECT_EQ(caughtError([&] { domain_->start(1); }).code, -52007);
  EXPECT_EQ(slow->callsInProgress(), 1);

  domain_.reset();

  EXPECT_EQ(slow->callsInProgress(), 0);
  EXPECT_EQ(slow->clearedDomainUris(), std::vector<std::string>{"/sd/a"});
  slow.reset();
}

TEST_F(SyncDomainTest, DestructorKeepsTasksNotYetStartedFromTheirDevices) {
  vesktools::ThreadPool onePool(1);
  auto first = std::make_unique<FakeSyncableDevice>("/dev/1");
  auto second = std::make_unique<FakeSyncableDevice>("/dev/2");
  auto domain = std::make_unique<SyncDomain>("/sd/one", &timescale_, 1, 1, &onePool);
  for (FakeSyncableDevice* device : {first.get(), second.get()}) {
    device->setDelay(std::chrono::milliseconds(1500));
    domain->addSyncableDevice(device);
  }
  EXPECT_EQ(caughtError([&] { domain->start(1); }).code, -52007);

  domain.reset();

  EXPECT_EQ(first->callsInProgress(), 0);
  EXPECT_EQ(second->calls(FakeCall::isCoherent), 0);
  first.reset();
  second.reset();
  // The pool still runs the abandoned task; it must not touch the device.
}

}  // namespace
