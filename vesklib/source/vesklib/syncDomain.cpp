#include "vesklib/syncDomain.h"

#include <algorithm>
#include <chrono>

#include "jsonz/jsonString.h"
#include "qz/qbx/sleepMilliseconds.h"
#include "qzerr/errorDetail.h"
#include "vesklib/syncDomainErrors.h"
#include "vesklib/syncDomainTasks.h"
#include "vesklib/syncableDeviceInterface.h"
#include "vesklib/timescaleInterface.h"
#include "vesktools/monotonicTimer.h"

namespace vesklib {

using jsonz::jsonBool;
using jsonz::jsonString;

using namespace syncDomainErrors;

namespace {

constexpr char kPoolKey[] = "19ThreadPoolInterface";
constexpr char kTimedOut[] = "Timed out while waiting for one or more syncable devices to respond.";
constexpr char kMemberFailure[] = "Encountered error while communicating with one or more syncable devices.";
constexpr char kWaitWithoutSaving[] =
    "Requesting to start Sync Domain with wait to be coherent but not saving initial coherency is not "
    "supported.";
constexpr char kZeroTimeout[] = "Please provide a non-zero timeout for starting the Sync Domain.";

// Every check outside a waiting start, and the wait for member descriptions.
constexpr std::chrono::milliseconds kCheckTimeout{10000};
constexpr int64_t kDescriptionLimit_ns = 9'999'999'999;
constexpr uint32_t kPollInterval_ms = 50;

void sleepPollInterval() { qz::qbx::sleepMilliseconds(kPollInterval_ms); }

// One -52024 for all failed members, one nested element per failure.
void recordFailure(qzerr_Status* failures, const std::string& domainUri, const qzerr_Status& cause) {
  QZERR_STATUS_ERROR(failures, qzerr::kCommunicationsFault)
      .channel(kChannel, kMemberFailure)
      .add("syncDomainUri", domainUri);
  qzerr_addNestedError(failures, &cause);
}

void throwIfFailed(qzerr_Status* failures) {
  if (failures->code < 0) throw qzerr::Exception(failures);
}

// Polls the tasks in order, each until it is done, sleeping between looks;
// false as soon as `expired` says the time is up. A failed member does not
// stop the polling of the others.
template <typename Task, typename Expired>
bool pollTasks(const std::vector<std::shared_ptr<Task>>& tasks, const std::string& domainUri,
               qzerr_Status* failures, Expired expired) {
  for (const auto& task : tasks) {
    while (true) {
      if (expired()) return false;
      if (task->isDone()) break;
      sleepPollInterval();
    }
    if (task->status().code < 0) recordFailure(failures, domainUri, task->status());
  }
  return true;
}

}  // namespace

SyncDomain::SyncDomain(const std::string& uri, TimescaleInterface* timescale, uint32_t maxOffset_ns,
                       uint32_t minSyncDuration_ms, ThreadPoolInterface* threadPool)
    : uri_(uri), threadPool_(threadPool) {
  if (timescale == nullptr) raiseMissing(kTimescaleKey);
  timescaleUri_ = timescale->getUri();
  if (threadPool == nullptr) raiseMissing(kPoolKey);
  coherencyRequirements_ = "{\"requiredTimescaleUri\":" + jsonString(timescaleUri_) +
                           ",\"maxOffset_ns\":" + std::to_string(maxOffset_ns) +
                           ",\"minSyncDuration_ms\":" + std::to_string(minSyncDuration_ms) + "}";
  jsonRequirements_ = "{\"version\":1,\"syncDomainUri\":" + jsonString(uri_) +
                      ",\"coherencyRequirements\":" + coherencyRequirements_ + ",\"data\":{}}";
}

SyncDomain::~SyncDomain() {
  waitForOutstandingTasks();
  for (const auto& entry : members_) entry.second.device->clearCoherencyRequirements(uri_);
}

bool SyncDomain::isMember(const std::string& syncableDeviceUri) const {
  return members_.count(syncableDeviceUri) != 0;
}

void SyncDomain::addSyncableDevice(SyncableDeviceInterface* device) {
  checkMayAdd(*this, device);
  // The entry goes in first so that a device that took the requirements is
  // always a member, and so always cleared by the destructor.
  const auto [entry, added] = members_.emplace(device->getUri(), Member{device, false, false, 0, 0});
  if (!added) return;
  try {
    device->setCoherencyRequirements(jsonRequirements_, uri_);
  } catch (...) {
    members_.erase(entry);
    throw;
  }
}

bool SyncDomain::isCoherent() {
  checkMayQuery(*this);
  if (!coherent_) return false;
  for (const Answer& answer : checkMembersCoherencyWithin10s()) {
    const Member& member = *answer.member;
    if (!answer.state.isCoherent || !member.initialIsCoherent ||
        answer.state.coherencyLossCount != member.initialCoherencyLossCount) {
      coherent_ = false;
      return false;
    }
  }
  return true;
}

bool SyncDomain::isCoherentSinceLastChecked() {
  checkMayQuery(*this);
  const Answers answers = checkMembersCoherencyWithin10s();
  const bool unchanged = std::all_of(answers.begin(), answers.end(), [](const Answer& answer) {
    return answer.state.isCoherent && answer.member->lastIsCoherent &&
           answer.state.coherencyLossCount == answer.member->lastCoherencyLossCount;
  });
  for (const Answer& answer : answers) {
    answer.member->lastIsCoherent = answer.state.isCoherent;
    answer.member->lastCoherencyLossCount = answer.state.coherencyLossCount;
  }
  return unchanged;
}

bool SyncDomain::start(uint32_t timeoutInSeconds) {
  startV2(true, true, timeoutInSeconds);
  return true;
}

void SyncDomain::startV2(bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s) {
  checkMayStart(*this, !members_.empty());
  if (waitToBecomeCoherent && !saveInitialCoherency) {
    QZERR_ERROR(qzerr::kFeatureUnsupported)
        .channel(kChannel, kWaitWithoutSaving)
        .add("saveInitialCoherency", false)
        .add("waitToBecomeCoherent", true)
        .add("syncDomainUri", uri_)
        .raise();
  }
  if (waitToBecomeCoherent) {
    waitForCoherency(timeout_s);
  } else if (saveInitialCoherency) {
    saveCoherency(checkMembersCoherencyWithin10s());
  }
  running_ = true;
}

std::string SyncDomain::toJson() {
  return std::string("{\"type\":\"SyncDomain\",\"uri\":") + jsonString(uri_) +
         ",\"isCoherent\":" + jsonBool(coherent_) + ",\"coherencyRequirements\":" + coherencyRequirements_ +
         ",\"isRunning\":" + jsonBool(running_) + ",\"syncableDevices\":[" + describeMembers() + "]}";
}

// Passes back to back, all under one timer, until every member is coherent.
void SyncDomain::waitForCoherency(uint32_t timeout_s) {
  if (timeout_s == 0) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, kZeroTimeout)
        .add("syncDomainUri", uri_)
        .add("waitTimeout_s", timeout_s)
        .raise();
  }
  vesktools::MonotonicTimer timer(std::chrono::milliseconds(int64_t{timeout_s} * 1000));
  while (true) {
    const Answers answers = checkMembersCoherency(timer);
    saveCoherency(answers);
    coherent_ = true;
    const bool allCoherent = std::all_of(answers.begin(), answers.end(),
                                         [](const Answer& answer) { return answer.state.isCoherent; });
    if (allCoherent) return;
    if (waitIsOver(timer)) {
      QZERR_ERROR(qzerr::kOperationTimedOut)
          .channel(kChannel, kTimedOut)
          .add("syncDomainUri", uri_)
          .add("timeoutInSeconds", timeout_s)
          .raise();
    }
    coherent_ = false;
  }
}

void SyncDomain::saveCoherency(const Answers& answers) {
  for (const Answer& answer : answers) {
    Member& member = *answer.member;
    member.initialIsCoherent = member.lastIsCoherent = answer.state.isCoherent;
    member.initialCoherencyLossCount = member.lastCoherencyLossCount = answer.state.coherencyLossCount;
  }
}

SyncDomain::Answers SyncDomain::checkMembersCoherencyWithin10s() {
  vesktools::MonotonicTimer timer(kCheckTimeout);
  return checkMembersCoherency(timer);
}

// Asks every member at once, one task each, and polls the tasks in table
// order. Either every member answered, or this throws: -52024 with every
// failure seen so far, or -52007 when the time ran out without a failure.
SyncDomain::Answers SyncDomain::checkMembersCoherency(vesktools::MonotonicTimer& timer) {
  forgetFinishedTasks();
  std::vector<std::shared_ptr<CheckMemberCoherencyStateTask>> tasks;
  tasks.reserve(members_.size());
  for (const auto& [deviceUri, member] : members_) {
    tasks.push_back(std::make_shared<CheckMemberCoherencyStateTask>(deviceUri, member.device));
  }
  for (const auto& task : tasks) handOver(task);

  qzerr::ScopedStatus failures;
  if (!pollTasks(tasks, uri_, failures, [&] { return waitIsOver(timer); })) {
    // No answer is read any more: members not yet asked are not asked.
    for (const auto& task : tasks) task->abandon();
    throwIfFailed(failures);
    QZERR_ERROR(qzerr::kOperationTimedOut)
        .channel(kChannel, kTimedOut)
        .add("syncDomainUri", uri_)
        .add("timeout_ms", timer.elapsedMilliseconds())
        .raise();
  }
  throwIfFailed(failures);

  Answers answers;
  answers.reserve(tasks.size());
  for (const auto& task : tasks) {
    answers.push_back(Answer{&members_.at(task->deviceUri()),
                             MemberCoherencyState{task->isCoherent(), task->coherencyLossCount()}});
  }
  return answers;
}

// The members' own descriptions, asked in parallel and waited for at most
// 10 s; a member that has not answered by then is shown by its URI alone.
std::string SyncDomain::describeMembers() {
  if (members_.empty()) return "";
  const vesktools::MonotonicStopWatch stopWatch;
  forgetFinishedTasks();
  std::vector<std::shared_ptr<GetMemberJsonTask>> tasks;
  tasks.reserve(members_.size());
  for (const auto& entry : members_) tasks.push_back(std::make_shared<GetMemberJsonTask>(entry.second.device));
  for (const auto& task : tasks) handOver(task);

  qzerr::ScopedStatus failures;
  pollTasks(tasks, uri_, failures, [&] { return stopWatch.elapsedNanoseconds() > kDescriptionLimit_ns; });
  throwIfFailed(failures);

  std::string entries;
  auto task = tasks.begin();
  for (const auto& entry : members_) {
    if (task != tasks.begin()) entries += ',';
    const bool answered = (*task)->isDone() && !(*task)->json().empty();
    entries += answered ? (*task)->json() : "{\"uri\":" + jsonString(entry.second.device->getUri()) + "}";
    ++task;
  }
  return entries;
}

// A pool that is stopping ends every wait as its time-out would.
bool SyncDomain::waitIsOver(vesktools::MonotonicTimer& timer) const {
  return timer.isExpired() || threadPool_->isStopping();
}

void SyncDomain::handOver(const std::shared_ptr<TaskBase>& task) {
  outstanding_.push_back(task);
  threadPool_->enqueue(task);
}

void SyncDomain::forgetFinishedTasks() {
  outstanding_.erase(std::remove_if(outstanding_.begin(), outstanding_.end(),
                                    [](const std::shared_ptr<TaskBase>& task) { return task->isDone(); }),
                     outstanding_.end());
}

// A task that has started holds the device pointer until it is done; those
// that have not are all claimed (and dropped) first, so none starts during
// the wait.
void SyncDomain::waitForOutstandingTasks() noexcept {
  outstanding_.erase(std::remove_if(outstanding_.begin(), outstanding_.end(),
                                    [](const std::shared_ptr<TaskBase>& task) { return task->abandon(); }),
                     outstanding_.end());
  for (const auto& task : outstanding_) {
    while (!task->isDone()) sleepPollInterval();
  }
}

}  // namespace vesklib
