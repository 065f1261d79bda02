#include "vesklib/nopSyncDomain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/testing/caughtError.h"
#include "vesklib/testing/fakeSyncableDevice.h"

namespace {

using ::testing::HasSubstr;
using vesklib::NopSyncDomain;
using vesklib::testing::caughtError;
using vesklib::testing::FakeSyncableDevice;

class NopSyncDomainTest : public ::testing::Test {
 protected:
  void expectNoCallButGetUri() const {
    EXPECT_EQ(a_.callsOtherThanGetUri(), 0);
    EXPECT_EQ(b_.callsOtherThanGetUri(), 0);
  }

  vesklib::HostTimescale timescale_{"/ts/x"};
  FakeSyncableDevice a_{"/dev/a"};
  FakeSyncableDevice b_{"/dev/b"};
  std::unique_ptr<NopSyncDomain> domain_ = std::make_unique<NopSyncDomain>("/nop", &timescale_);
};

TEST_F(NopSyncDomainTest, DescribesStateAndMembersInTheOrderAdded) {
  domain_->addSyncableDevice(&b_);
  domain_->addSyncableDevice(&a_);
  domain_->addSyncableDevice(&b_);
  EXPECT_EQ(domain_->toJson(),
            R"({"type":"NopSyncDomain","uri":"/nop","isCoherent":false,"isRunning":false,)"
            R"("syncableDevices":["/dev/b","/dev/a"]})");

  domain_->startV2(false, true, 0);
  EXPECT_EQ(domain_->toJson(),
            R"({"type":"NopSyncDomain","uri":"/nop","isCoherent":true,"isRunning":true,)"
            R"("syncableDevices":["/dev/b","/dev/a"]})");
  EXPECT_TRUE(domain_->isCoherent());
  EXPECT_TRUE(domain_->isCoherentSinceLastChecked());

  domain_->stop();
  EXPECT_THAT(domain_->toJson(), HasSubstr(R"("isCoherent":false,"isRunning":false,)"));
  domain_.reset();
  expectNoCallButGetUri();
}

TEST_F(NopSyncDomainTest, AnswersCoherencyQuestionsOnlyWhileRunning) {
  domain_->addSyncableDevice(&a_);
  EXPECT_TRUE(domain_->start(0));
  domain_->stop();

  for (const auto& question : {&NopSyncDomain::isCoherent, &NopSyncDomain::isCoherentSinceLastChecked}) {
    const auto error = caughtError([&] { (domain_.get()->*question)(); });
    EXPECT_EQ(error.code, -52017);
    EXPECT_THAT(error.detail, HasSubstr(R"("qzsyncdomain_debug":{"message":"Sync Domain coherency may only be )"
                                        R"(queried if the domain is running.","isDomainRunning":false,)"
                                        R"("syncDomainUri":"/nop"})"));
  }
  expectNoCallButGetUri();
}

TEST_F(NopSyncDomainTest, RefusesToStartWithoutMembersOrTwice) {
  const auto empty = caughtError([&] { domain_->startV2(true, true, 5); });
  EXPECT_EQ(empty.code, -52010);
  EXPECT_THAT(empty.detail, HasSubstr(R"("syncDomainUri":"/nop"})"));

  domain_->addSyncableDevice(&a_);
  domain_->startV2(false, false, 0);
  const auto twice = caughtError([&] { domain_->startV2(false, false, 0); });
  EXPECT_EQ(twice.code, -52017);
  EXPECT_THAT(twice.detail, HasSubstr(R"("isDomainRunning":true,"syncDomainUri":"/nop"})"));
}

TEST_F(NopSyncDomainTest, RefusesDevicesWhileRunningEvenMembers) {
  domain_->addSyncableDevice(&a_);
  domain_->startV2(true, true, 1);

  const auto error = caughtError([&] { domain_->addSyncableDevice(&a_); });

  EXPECT_EQ(error.code, -52017);
  EXPECT_THAT(error.detail,
              HasSubstr(R"("isDomainRunning":true,"syncDomainUri":"/nop","syncableDeviceUri":"/dev/a"})"));
  EXPECT_EQ(caughtError([&] { domain_->addSyncableDevice(nullptr); }).code, -52005);
  EXPECT_TRUE(domain_->isMember("/dev/a"));
  EXPECT_FALSE(domain_->isMember("/dev/"));
}

TEST_F(NopSyncDomainTest, ConstructionNamesAMissingTimescale) {
  const auto error = caughtError([] { NopSyncDomain("/nop", nullptr); });

  EXPECT_EQ(error.code, -52005);
  EXPECT_THAT(error.detail, HasSubstr(R"("18TimescaleInterface":"nullptr")"));
}

}  // namespace
