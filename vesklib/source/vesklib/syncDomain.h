// vesklib::SyncDomain: a sync domain with real device traffic. Members are
// asked in parallel, one task per member on the caller's pool, while the
// calling thread polls the tasks; a slow device costs one time-out, not one
// per member; once the pool is stopping, every wait ends as its time-out
// would. Holds no lock: the caller serialises calls on one domain. The
// destructor waits for member tasks still running, so a member device may be
// deleted as soon as the domain is gone.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vesklib/syncDomainInterface.h"
#include "vesklib/threadPoolInterface.h"

class SyncableDeviceInterface;
class TimescaleInterface;

namespace vesktools {
class MonotonicTimer;
}

namespace vesklib {

class SyncDomain : public SyncDomainInterface {
 public:
  // Base of the member tasks (syncDomainTasks.h).
  class TaskBase;

  // Reads the timescale's URI once; neither the timescale nor the pool is
  // owned, and the pool must outlive the domain.
  SyncDomain(const std::string& uri, TimescaleInterface* timescale, uint32_t maxOffset_ns,
             uint32_t minSyncDuration_ms, ThreadPoolInterface* threadPool);
  // Waits for its member tasks still running (those not yet started never
  // reach their device), then clears its requirements on every member.
  ~SyncDomain() override;
  SyncDomain(const SyncDomain&) = delete;
  SyncDomain& operator=(const SyncDomain&) = delete;

  bool isMember(const std::string& syncableDeviceUri) const override;
  void addSyncableDevice(SyncableDeviceInterface* device) override;
  bool isCoherent() override;
  bool isCoherentSinceLastChecked() override;
  bool isRunning() const noexcept override { return running_; }
  bool start(uint32_t timeoutInSeconds) override;
  void startV2(bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s) override;
  void stop() override { running_ = false; }
  const std::string& getTimescaleUri() const noexcept override { return timescaleUri_; }
  const std::string& getUri() const noexcept override { return uri_; }
  std::string toJson() override;

 private:
  struct Member {
    SyncableDeviceInterface* device;
    bool initialIsCoherent;
    bool lastIsCoherent;
    uint32_t initialCoherencyLossCount;
    uint32_t lastCoherencyLossCount;
  };
  struct MemberCoherencyState {
    bool isCoherent;
    uint32_t coherencyLossCount;
  };
  struct Answer {
    Member* member;
    MemberCoherencyState state;
  };
  // One answer per member, in table order.
  using Answers = std::vector<Answer>;

  Answers checkMembersCoherency(vesktools::MonotonicTimer& timer);
  Answers checkMembersCoherencyWithin10s();
  void waitForCoherency(uint32_t timeout_s);
  bool waitIsOver(vesktools::MonotonicTimer& timer) const;
  void saveCoherency(const Answers& answers);
  std::string describeMembers();
  void handOver(const std::shared_ptr<TaskBase>& task);
  void forgetFinishedTasks();
  void waitForOutstandingTasks() noexcept;

  bool running_ = false;
  bool coherent_ = false;
  std::string uri_;
  std::string timescaleUri_;
  std::string coherencyRequirements_;  // the "coherencyRequirements" object
  std::string jsonRequirements_;
  std::map<std::string, Member> members_;
  ThreadPoolInterface* threadPool_;
  // Tasks handed to the pool that were not yet seen done.
  std::vector<std::shared_ptr<TaskBase>> outstanding_;
};

}  // namespace vesklib
