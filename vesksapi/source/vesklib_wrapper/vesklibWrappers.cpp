#include "vesklib_wrapper/vesklibWrappers.h"

#include <new>
#include <utility>

#include "vesklib/vesklib.h"
#include "vesklib_wrapper/vesklibCall.h"

namespace vesklib::wrapper {

using detail::adopt;
using detail::callVesklib;
using detail::takeJson;

// ---- Syncable devices

SyncableDeviceBase::~SyncableDeviceBase() { vesklib_SyncableDevice_delete(handle_); }

void SyncableDeviceBase::setCoherencyRequirements(const std::string& syncDomainUri,
                                                  const std::string& jsonRequirements) {
  callVesklib(vesklib_SyncableDevice_setCoherencyRequirements, handle_, jsonRequirements.c_str(),
              syncDomainUri.c_str());
}

void SyncableDeviceBase::clearCoherencyRequirements(const std::string& syncDomainUri) {
  callVesklib(vesklib_SyncableDevice_clearCoherencyRequirements, handle_, syncDomainUri.c_str());
}

bool SyncableDeviceBase::isCoherent(uint32_t* coherencyLossCount) {
  return callVesklib(vesklib_SyncableDevice_isCoherent, handle_, coherencyLossCount);
}

const char* SyncableDeviceBase::getUri() { return callVesklib(vesklib_SyncableDevice_getUri, handle_); }

std::string SyncableDeviceBase::toJson() { return takeJson(vesklib_SyncableDevice_toJson, handle_); }

// ---- Timescales

TimescaleBase::~TimescaleBase() { vesklib_Timescale_delete(handle_); }

const char* TimescaleBase::getUri() { return callVesklib(vesklib_Timescale_getUri, handle_); }

void TimescaleBase::getTime(vesklib_Timestamp* timestamp) {
  callVesklib(vesklib_Timescale_getTime, handle_, timestamp);
}

std::string TimescaleBase::toJson() { return takeJson(vesklib_Timescale_toJson, handle_); }

// ---- Sync domains

SyncDomainBase::~SyncDomainBase() { vesklib_SyncDomain_delete(handle_); }

bool SyncDomainBase::isMember(const std::string& syncableDeviceUri) {
  return callVesklib(vesklib_SyncDomain_isMember, handle_, syncableDeviceUri.c_str());
}

void SyncDomainBase::addSyncableDevice(SyncableDeviceInterface& device) {
  callVesklib(vesklib_SyncDomain_addSyncableDevice, handle_, device.getHandle());
}

bool SyncDomainBase::isCoherent() { return callVesklib(vesklib_SyncDomain_isCoherent, handle_); }

bool SyncDomainBase::isCoherentSinceLastChecked() {
  return callVesklib(vesklib_SyncDomain_isCoherentSinceLastChecked, handle_);
}

bool SyncDomainBase::isRunning() { return callVesklib(vesklib_SyncDomain_isRunning, handle_); }

bool SyncDomainBase::start(uint32_t timeout_s) { return callVesklib(vesklib_SyncDomain_start, handle_, timeout_s); }

void SyncDomainBase::startV2(bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s) {
  callVesklib(vesklib_SyncDomain_startV2, handle_, saveInitialCoherency, waitToBecomeCoherent, timeout_s);
}

void SyncDomainBase::stop() { callVesklib(vesklib_SyncDomain_stop, handle_); }

const char* SyncDomainBase::getTimescaleUri() { return callVesklib(vesklib_SyncDomain_getTimescaleUri, handle_); }

const char* SyncDomainBase::getUri() { return callVesklib(vesklib_SyncDomain_getUri, handle_); }

std::string SyncDomainBase::toJson() { return takeJson(vesklib_SyncDomain_toJson, handle_); }

// ---- Timestamp correlators

TimestampCorrelatorBase::~TimestampCorrelatorBase() { vesklib_TimestampCorrelator_delete(handle_); }

void TimestampCorrelatorBase::correlate(const vesklib_Timestamp* timestampInSourceTimescale,
                                        TimescaleInterface& sourceTimescale,
                                        vesklib_Timestamp* correlatedTimestamp) {
  callVesklib(vesklib_TimestampCorrelator_correlate, handle_, timestampInSourceTimescale,
              sourceTimescale.getHandle(), correlatedTimestamp);
}

const char* TimestampCorrelatorBase::getUri() { return callVesklib(vesklib_TimestampCorrelator_getUri, handle_); }

const char* TimestampCorrelatorBase::getTimescale1Uri() {
  return callVesklib(vesklib_TimestampCorrelator_getTimescale1Uri, handle_);
}

const char* TimestampCorrelatorBase::getTimescale2Uri() {
  return callVesklib(vesklib_TimestampCorrelator_getTimescale2Uri, handle_);
}

void TimestampCorrelatorBase::start() { callVesklib(vesklib_TimestampCorrelator_start, handle_); }

void TimestampCorrelatorBase::stop() { callVesklib(vesklib_TimestampCorrelator_stop, handle_); }

bool TimestampCorrelatorBase::isRunning() { return callVesklib(vesklib_TimestampCorrelator_isRunning, handle_); }

std::string TimestampCorrelatorBase::toJson() { return takeJson(vesklib_TimestampCorrelator_toJson, handle_); }

// ---- Remote resources

namespace {

// The core library's allocator for the timescale array: null when memory is
// short, which the core reports as -52000.
void* allocateArray(size_t size) { return ::operator new(size, std::nothrow); }

// What one load handed over. Each handle leaves as its wrapper is made;
// whatever is still here when this goes (a wrapper that could not be made)
// is deleted, and the array is freed in every case.
struct LoadedHandles {
  LoadedHandles() = default;
  LoadedHandles(const LoadedHandles&) = delete;
  LoadedHandles& operator=(const LoadedHandles&) = delete;
  ~LoadedHandles() {
    vesklib_SyncableDevice_delete(device);
    for (size_t index = 0; index < count; ++index) vesklib_Timescale_delete(timescales[index]);
    ::operator delete(timescales);
  }

  ::SyncableDeviceInterface* device = nullptr;
  ::TimescaleInterface** timescales = nullptr;
  size_t count = 0;
};

constexpr size_t kUriRootBufferSize = 512;

}  // namespace

void ProxyResourceLoader::loadProxyResources(const std::string& networkDeviceParamsJson,
                                             std::vector<std::shared_ptr<SyncableDeviceInterface>>& devices,
                                             std::vector<std::shared_ptr<TimescaleInterface>>& timescales) {
  LoadedHandles loaded;
  callVesklib(vesklib_loadProxyResources, networkDeviceParamsJson.c_str(), &loaded.device, &loaded.timescales,
              &loaded.count, &allocateArray);
  devices.push_back(
      adopt<SyncableDeviceBase>(std::exchange(loaded.device, nullptr), vesklib_SyncableDevice_delete));
  for (size_t index = 0; index < loaded.count; ++index) {
    timescales.push_back(
        adopt<TimescaleBase>(std::exchange(loaded.timescales[index], nullptr), vesklib_Timescale_delete));
  }
}

void ProxyResourceLoader::getProxyResourceUriRootsToUnload(const std::string& networkDeviceParamsJson,
                                                           std::vector<std::string>& deviceUriRoots,
                                                           std::vector<std::string>& timescaleUriRoots) {
  char deviceRoot[kUriRootBufferSize] = {};
  char timescaleRoot[kUriRootBufferSize] = {};
  callVesklib(vesklib_getProxyResourceUriRootsToUnload, networkDeviceParamsJson.c_str(), kUriRootBufferSize,
              deviceRoot, timescaleRoot);
  deviceUriRoots.push_back(deviceRoot);
  timescaleUriRoots.push_back(timescaleRoot);
}

}  // namespace vesklib::wrapper
