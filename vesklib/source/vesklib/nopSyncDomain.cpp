#include "vesklib/nopSyncDomain.h"

#include <algorithm>

#include "jsonz/jsonString.h"
#include "vesklib/syncDomainErrors.h"
#include "vesklib/syncableDeviceInterface.h"
#include "vesklib/timescaleInterface.h"

namespace vesklib {

using jsonz::jsonBool;
using jsonz::jsonString;

using namespace syncDomainErrors;

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
  checkMayAdd(*this, device);
  if (!isMember(device->getUri())) members_.push_back(device);
}

bool NopSyncDomain::isCoherent() {
  checkMayQuery(*this);
  return coherent_;
}

bool NopSyncDomain::start(uint32_t timeoutInSeconds) {
  NopSyncDomain::startV2(true, true, timeoutInSeconds);
  return true;
}

void NopSyncDomain::startV2(bool, bool, uint32_t) {
  checkMayStart(*this, !members_.empty());
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
