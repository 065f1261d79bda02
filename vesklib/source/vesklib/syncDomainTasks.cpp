#include "vesklib/syncDomainTasks.h"

#include "jsonz/jsonString.h"
#include "vesklib/syncableDeviceInterface.h"

namespace vesklib {

using jsonz::jsonString;

namespace {

// A status whose buffer goes with the scope, whatever its code.
struct LocalStatus {
  LocalStatus() : status(qzerr_freshStatus()) {}
  LocalStatus(const LocalStatus&) = delete;
  LocalStatus& operator=(const LocalStatus&) = delete;
  ~LocalStatus() { qzerr_releaseJson(&status); }

  qzerr_Status status;
};

}  // namespace

SyncDomain::TaskBase::TaskBase() : status_(qzerr_freshStatus()) {}

SyncDomain::TaskBase::~TaskBase() { qzerr_releaseJson(&status_); }

void SyncDomain::TaskBase::execute() noexcept {
  if (!claimed_.exchange(true)) {
    try {
      run();
    } catch (...) {
      qzerr_statusFromCurrentException(&status_);
    }
  }
  done_.store(true);
}

void CheckMemberCoherencyStateTask::run() { isCoherent_ = device_->isCoherent(&coherencyLossCount_); }

void GetMemberJsonTask::run() {
  LocalStatus failure;
  try {
    json_ = device_->toJson();
  } catch (...) {
    qzerr_statusFromCurrentException(&failure.status);
  }
  if (failure.status.code >= 0) return;
  const char* detail = failure.status.json != nullptr ? failure.status.json : "null";
  json_ = "{\"uri\":" + jsonString(device_->getUri()) + ",\"error\":" + detail + "}";
}

}  // namespace vesklib
