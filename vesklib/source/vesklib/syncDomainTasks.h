// The member tasks of a sync domain: one asks a member for its coherency
// state, the other for its JSON description. The domain reads a task's status
// and results only after it has seen isDone(), and never writes to a task it
// has handed to the pool; the done flag orders the worker's writes first.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "qzerr/status.h"
#include "vesklib/syncDomain.h"

class SyncableDeviceInterface;

namespace vesklib {

class SyncDomain::TaskBase : public ThreadPoolInterface::TaskInterface {
 public:
  TaskBase();
  ~TaskBase() override;
  TaskBase(const TaskBase&) = delete;
  TaskBase& operator=(const TaskBase&) = delete;

  // Runs the work unless the task was abandoned first; any exception becomes
  // the task's status. Sets the done flag last.
  void execute() noexcept override;

  bool isDone() const noexcept { return done_.load(); }
  const qzerr_Status& status() const noexcept { return status_; }

  // Claims a task that has not started, so that it will never call its
  // device. False when its work has started (or finished): wait for isDone().
  bool abandon() noexcept { return !claimed_.exchange(true); }

 protected:
  virtual void run() = 0;

 private:
  qzerr_Status status_;
  std::atomic<bool> done_{false};
  std::atomic<bool> claimed_{false};
};

class CheckMemberCoherencyStateTask final : public SyncDomain::TaskBase {
 public:
  CheckMemberCoherencyStateTask(const std::string& deviceUri, SyncableDeviceInterface* device)
      : deviceUri_(deviceUri), device_(device) {}

  const std::string& deviceUri() const noexcept { return deviceUri_; }
  bool isCoherent() const noexcept { return isCoherent_; }
  uint32_t coherencyLossCount() const noexcept { return coherencyLossCount_; }

 private:
  void run() override;

  std::string deviceUri_;
  SyncableDeviceInterface* device_;
  bool isCoherent_ = false;
  // All bits set, so that an answer the device never wrote stands out.
  uint32_t coherencyLossCount_ = UINT32_MAX;
};

// A device failure does not fail this task: it becomes an error object in
// json() ({"uri":...,"error":<detail>}).
class GetMemberJsonTask final : public SyncDomain::TaskBase {
 public:
  explicit GetMemberJsonTask(SyncableDeviceInterface* device) : device_(device) {}

  const std::string& json() const noexcept { return json_; }

 private:
  void run() override;

  SyncableDeviceInterface* device_;
  std::string json_;
};

}  // namespace vesklib
