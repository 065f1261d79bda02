#include "vesksapi/correlation/correlatorEntry.h"

#include <gtest/gtest.h>

#include <vector>

#include "qzerr/errorDetail.h"
#include "testing/raised.h"

namespace vesksapi {
namespace {

using vesk::testing::raised;

// A timekeeper device that gives its scripted answer and counts the questions.
class FakeDevice : public vesklib::wrapper::SyncableDeviceInterface {
 public:
  void answer(bool coherent, uint32_t lossCount) {
    coherent_ = coherent;
    lossCount_ = lossCount;
  }
  void fail() { failing_ = true; }
  int questions() const { return questions_; }

  void setCoherencyRequirements(const std::string&, const std::string&) override {}
  void clearCoherencyRequirements(const std::string&) override {}
  bool isCoherent(uint32_t* coherencyLossCount) override {
    ++questions_;
    if (failing_) QZERR_ERROR(qzerr::kCommunicationsFault).channel("qzsyncdomain_debug", "No answer.").raise();
    *coherencyLossCount = lossCount_;
    return coherent_;
  }
  const char* getUri() override { return "/dev"; }
  std::string toJson() override { return "{}"; }
  ::SyncableDeviceInterface* getHandle() override { return nullptr; }

 private:
  bool coherent_ = true;
  uint32_t lossCount_ = 0;
  bool failing_ = false;
  int questions_ = 0;
};

class CorrelatorEntryTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeDevice> device1_ = std::make_shared<FakeDevice>();
  std::shared_ptr<FakeDevice> device2_ = std::make_shared<FakeDevice>();
  CorrelatorEntry entry_{nullptr, device1_, device2_};
};

TEST_F(CorrelatorEntryTest, StartsCoherentOnceWithNothingCounted) {
  const CorrelatorEntry fresh;
  EXPECT_EQ(fresh.lossCount1, 0u);
  EXPECT_EQ(fresh.lossCount2, 0u);
  EXPECT_TRUE(fresh.coherent1 && fresh.coherent2);
  EXPECT_EQ(fresh.useCount, 1u);
}

TEST_F(CorrelatorEntryTest, SnapshotTakesEachDevicesStateAsTheReference) {
  device1_->answer(true, 4);
  device2_->answer(false, 9);
  entry_.snapshotCoherency();
  EXPECT_EQ(entry_.lossCount1, 4u);
  EXPECT_EQ(entry_.lossCount2, 9u);
  EXPECT_TRUE(entry_.coherent1);
  EXPECT_FALSE(entry_.coherent2);
  EXPECT_FALSE(entry_.isStillCoherent());

  device2_->answer(true, 9);
  EXPECT_FALSE(entry_.isStillCoherent());  // the snapshot said incoherent
  entry_.snapshotCoherency();
  EXPECT_TRUE(entry_.isStillCoherent());
}

// Each way a device can lose its standing since the snapshot, on either side.
TEST_F(CorrelatorEntryTest, ANewLossOrAnIncoherentDeviceSticksUntilTheNextSnapshot) {
  const struct {
    const char* what;
    bool coherent;
    uint32_t lossCount;
  } changes[] = {{"incoherent", false, 2}, {"new loss", true, 3}, {"count went down", true, 1}};
  for (bool onDevice1 : {true, false}) {
    for (const auto& change : changes) {
      SCOPED_TRACE(std::string(change.what) + (onDevice1 ? " on device 1" : " on device 2"));
      FakeDevice& changed = onDevice1 ? *device1_ : *device2_;
      FakeDevice& other = onDevice1 ? *device2_ : *device1_;
      changed.answer(true, 2);
      other.answer(true, 5);
      entry_.snapshotCoherency();
      ASSERT_TRUE(entry_.isStillCoherent());

      changed.answer(change.coherent, change.lossCount);
      EXPECT_FALSE(entry_.isStillCoherent());
      changed.answer(true, 2);
      EXPECT_FALSE(entry_.isStillCoherent());
      EXPECT_EQ(onDevice1 ? entry_.lossCount1 : entry_.lossCount2, 2u);  // only a snapshot moves it
      entry_.snapshotCoherency();
      EXPECT_TRUE(entry_.isStillCoherent());
    }
  }
}

TEST_F(CorrelatorEntryTest, TheHostsSideHasNoDeviceAndStaysCoherent) {
  CorrelatorEntry hostAndRemote{nullptr, nullptr, device2_};
  hostAndRemote.lossCount1 = 7;
  device2_->answer(true, 1);
  hostAndRemote.snapshotCoherency();
  EXPECT_EQ(hostAndRemote.lossCount1, 7u);
  EXPECT_TRUE(hostAndRemote.coherent1);
  EXPECT_TRUE(hostAndRemote.isStillCoherent());

  CorrelatorEntry remoteAndHost{nullptr, device1_, nullptr};
  device1_->answer(true, 1);
  remoteAndHost.snapshotCoherency();
  EXPECT_TRUE(remoteAndHost.isStillCoherent());
  device1_->answer(true, 2);
  EXPECT_FALSE(remoteAndHost.isStillCoherent());

  CorrelatorEntry hostOnly;
  hostOnly.snapshotCoherency();
  EXPECT_TRUE(hostOnly.isStillCoherent());
}

// Both devices are asked on every check, even after the first has failed it.
TEST_F(CorrelatorEntryTest, AsksBothDevicesOnEveryCheck) {
  entry_.snapshotCoherency();
  device1_->answer(false, 0);
  EXPECT_FALSE(entry_.isStillCoherent());
  EXPECT_FALSE(entry_.isStillCoherent());
  EXPECT_EQ(device1_->questions(), 3);
  EXPECT_EQ(device2_->questions(), 3);
}

TEST_F(CorrelatorEntryTest, ADeviceThatDoesNotAnswerFailsTheCheckAndTheSnapshot) {
  device2_->fail();
  EXPECT_EQ(raised([&] { entry_.isStillCoherent(); }).code, -52024);
  device1_->answer(true, 6);
  EXPECT_EQ(raised([&] { entry_.snapshotCoherency(); }).code, -52024);
  EXPECT_EQ(entry_.lossCount1, 6u);  // the first device was read before the second failed
}

}  // namespace
}  // namespace vesksapi
