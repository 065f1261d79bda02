#include "vesklib/nopSyncDomain.h"

#include <algorithm>

#include "qzerr/errorDetail.h"
#include "vesklib/jsonString.h"
#include "vesklib/syncDomainMessages.h"
#include "vesklib/syncableDeviceInterface.h"
#include "vesklib/timescaleInterface.h"

namespace vesklib {

using namespace syncDomainText;

namespace {

[[noreturn]] void raiseMissing(const char* key) {
  QZERR_ERROR(qzerr::kInvalidParameter).channel(kChannel, kMissingParameter).add(key, "nullptr").raise();
}

}  // namespace

NopSyncDomain::NopSyncDomain(const std::string& uri, TimescaleInterface* timescale) : uri_(uri) {
  if (timescale == nullptr) raiseMissing(kTimescaleKey);
  timescaleUri_ = timescale->getUri();
}

bool NopSyncDomain::isMember(const std::string& syncableDeviceUri) const {
  return std::any_of(members_.begin(), members_.end(), [&](const SyncableDeviceInterface* device) {
    return device->getUri() == syncableDeviceUri;
  });
}

void NopSyncDomain::addSyncableDevice(SyncableDeviceInterface* device) {
  if (device == nullptr) raiseMissing("device");
  if (running_) {
    QZERR_ERROR(qzerr::kInvalidStateTransition)
        .channel(kChannel, kAddWhileRunning)
        .add("isDomainRunning", true)
        .add("syncDomainUri", uri_)
        .add("syncableDeviceUri", device->getUri())
        .raise();
  }
  if (!isMember(device->getUri())) members_.push_back(device);
}

bool NopSyncDomain::isCoherent() {
  if (!running_) {
    QZERR_ERROR(qzerr::kInvalidStateTransition)
        .channel(kChannel, kQueryWhileStopped)
        .add("isDomainRunning", false)
        .add("syncDomainUri", uri_)
        .raise();
  }
  return coherent_;
}

bool NopSyncDomain::start(uint32_t timeoutInSeconds) {
  NopSyncDomain::startV2(true, true, timeoutInSeconds);
  return true;
}

void NopSyncDomain::startV2(bool, bool, uint32_t) {
  if (running_) {
    QZERR_ERROR(qzerr::kInvalidStateTransition)
        .channel(kChannel, kAlreadyRunning)
        .add("isDomainRunning", true)
        .add("syncDomainUri", uri_)
        .raise();
  }
  if (members_.empty()) {
    QZERR_ERROR(qzerr::kResourceNotInitialized).channel(kChannel, kNoMembers).add("syncDomainUri", uri_).raise();
  }
  running_ = coherent_ = true;
}

std::string NopSyncDomain::toJson() {
  std::string devices;
  for (const SyncableDeviceInterface* device : members_) {
    if (!devices.empty()) devices += ',';
    devices += jsonString(device->getUri());
  }
  return std::string("{\"type\":\"NopSyncDomain\",\"uri\":") + jsonString(uri_) +
         ",\"isCoherent\":" + jsonBool(coherent_) + ",\"isRunning\":" + jsonBool(running_) +
         ",\"syncableDevices\":[" + devices + "]}";
}

}  // namespace vesklib
