#include "vesklib/syncDomainErrors.h"

#include "qzerr/errorDetail.h"
#include "vesklib/syncDomainInterface.h"
#include "vesklib/syncableDeviceInterface.h"

namespace vesklib::syncDomainErrors {

void raiseMissing(const char* key) {
  QZERR_ERROR(qzerr::kInvalidParameter)
      .channel(kChannel, "Encountered missing parameter needed for task completion.")
      .add(key, "nullptr")
      .raise();
}

void checkMayAdd(const SyncDomainInterface& domain, const SyncableDeviceInterface* device) {
  if (device == nullptr) raiseMissing("device");
  if (!domain.isRunning()) return;
  QZERR_ERROR(qzerr::kInvalidStateTransition)
      .channel(kChannel, "Syncable devices may only be added when Sync Domain is not running.")
      .add("isDomainRunning", true)
      .add("syncDomainUri", domain.getUri())
      .add("syncableDeviceUri", device->getUri())
      .raise();
}

void checkMayStart(const SyncDomainInterface& domain, bool hasMembers) {
  if (domain.isRunning()) {
    QZERR_ERROR(qzerr::kInvalidStateTransition)
        .channel(kChannel, "Sync Domain is already running; need to call stop before calling start again.")
        .add("isDomainRunning", true)
        .add("syncDomainUri", domain.getUri())
        .raise();
  }
  if (hasMembers) return;
  QZERR_ERROR(qzerr::kResourceNotInitialized)
      .channel(kChannel,
               "Sync Domain cannot start without any members. Please add at least one Syncable Device to the "
               "domain and try again.")
      .add("syncDomainUri", domain.getUri())
      .raise();
}

void checkMayQuery(const SyncDomainInterface& domain) {
  if (domain.isRunning()) return;
  QZERR_ERROR(qzerr::kInvalidStateTransition)
      .channel(kChannel, "Sync Domain coherency may only be queried if the domain is running.")
      .add("isDomainRunning", false)
      .add("syncDomainUri", domain.getUri())
      .raise();
}

}  // namespace vesklib::syncDomainErrors
