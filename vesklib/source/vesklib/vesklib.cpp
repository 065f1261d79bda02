// The exported functions of the core library: each runs in the frame of
// exportFrame.h and forwards to the handle's interface operation.
#include "vesklib/vesklib.h"

#include "vesklib/cachingCorrelator.h"
#include "vesklib/exportFrame.h"
#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/linearCorrelator.h"
#include "vesklib/nopCorrelator.h"
#include "vesklib/nopSyncDomain.h"
#include "vesklib/syncDomain.h"
#include "vesklib/syncDomainInterface.h"
#include "vesklib/syncableDeviceInterface.h"
#include "vesklib/syncableDeviceProxy.h"
#include "vesklib/timescaleInterface.h"
#include "vesklib/timescaleProxy.h"

namespace frame = vesklib::frame;

int32_t vesklib_getApiVersion() { return 1; }

// ---- Timescales

TimescaleInterface* vesklib_HostTimescale_create(const char* uri, qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"uri", uri}),
                     [&]() -> TimescaleInterface* { return new vesklib::HostTimescale(uri); });
}

// Touches no network: the first getTime contacts the daemon.
TimescaleInterface* vesklib_TimescaleProxy_create(const char* uri, const char* host, int32_t port,
                                                  qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"uri", uri}, {"host", host}),
                     [&]() -> TimescaleInterface* { return new vesklib::TimescaleProxy(uri, host, port); });
}

const char* vesklib_Timescale_getUri(TimescaleInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->getUri().c_str(); });
}

void vesklib_Timescale_getTime(TimescaleInterface* handle, vesklib_Timestamp* timestamp,
                               qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}, {"timestamp", timestamp}),
              [&] { handle->getTime(timestamp); });
}

char* vesklib_Timescale_toJson(TimescaleInterface* handle, qzerr_Status* status) {
  return frame::copyJson(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->toJson(); });
}

void vesklib_Timescale_delete(TimescaleInterface* handle) { delete handle; }

// ---- Correlators: three factories, then the operations that serve every kind.

TimestampCorrelatorInterface* vesklib_LinearCorrelator_create(const char* correlatorUri,
                                                              TimescaleInterface* timescale1,
                                                              TimescaleInterface* timescale2,
                                                              uint32_t samplingIntervalMs, uint32_t maxSampleSize,
                                                              uint32_t maxWaitForFirstCorrelateMs,
                                                              qzerr_Status* status) {
  return frame::call(status,
                     VESKLIB_ARGS({"correlatorUri", correlatorUri}, {"timescale1", timescale1},
                                  {"timescale2", timescale2}),
                     [&]() -> TimestampCorrelatorInterface* {
                       return new vesklib::LinearCorrelator(correlatorUri, timescale1, timescale2,
                                                            samplingIntervalMs, maxSampleSize,
                                                            maxWaitForFirstCorrelateMs);
                     });
}

TimestampCorrelatorInterface* vesklib_NopCorrelator_create(const char* correlatorUri,
                                                           TimescaleInterface* timescale1,
                                                           TimescaleInterface* timescale2, qzerr_Status* status) {
  return frame::call(
      status,
      VESKLIB_ARGS({"correlatorUri", correlatorUri}, {"timescale1", timescale1}, {"timescale2", timescale2}),
      [&] { return vesklib::NopCorrelator::create(correlatorUri, timescale1, timescale2); });
}

TimestampCorrelatorInterface* vesklib_CachingCorrelator_create(const char* uri,
                                                               TimestampCorrelatorInterface* correlator,
                                                               qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"uri", uri}, {"correlator", correlator}),
                     [&] { return vesklib::CachingCorrelator::create(uri, correlator); });
}

void vesklib_TimestampCorrelator_correlate(TimestampCorrelatorInterface* handle,
                                           const vesklib_Timestamp* timestampInSourceTimescale,
                                           TimescaleInterface* sourceTimescale,
                                           vesklib_Timestamp* correlatedTimestamp, qzerr_Status* status) {
  frame::call(status,
              VESKLIB_ARGS({"handle", handle}, {"timestampInSourceTimescale", timestampInSourceTimescale},
                           {"sourceTimescale", sourceTimescale}, {"correlatedTimestamp", correlatedTimestamp}),
              [&] { handle->correlate(timestampInSourceTimescale, sourceTimescale, correlatedTimestamp); });
}

const char* vesklib_TimestampCorrelator_getUri(TimestampCorrelatorInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->getUri().c_str(); });
}

const char* vesklib_TimestampCorrelator_getTimescale1Uri(TimestampCorrelatorInterface* handle,
                                                         qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}),
                       [&] { return handle->getTimescale1Uri().c_str(); });
}

const char* vesklib_TimestampCorrelator_getTimescale2Uri(TimestampCorrelatorInterface* handle,
                                                         qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}),
                       [&] { return handle->getTimescale2Uri().c_str(); });
}

void vesklib_TimestampCorrelator_start(TimestampCorrelatorInterface* handle, qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}), [&] { handle->start(); });
}

void vesklib_TimestampCorrelator_stop(TimestampCorrelatorInterface* handle, qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}), [&] { handle->stop(); });
}

bool vesklib_TimestampCorrelator_isRunning(TimestampCorrelatorInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->isRunning(); });
}

char* vesklib_TimestampCorrelator_toJson(TimestampCorrelatorInterface* handle, qzerr_Status* status) {
  return frame::copyJson(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->toJson(); });
}

void vesklib_TimestampCorrelator_delete(TimestampCorrelatorInterface* handle) { delete handle; }

// ---- Sync domains: two factories, then the operations that serve both kinds.

SyncDomainInterface* vesklib_SyncDomain_create(const char* uri, TimescaleInterface* timescale,
                                               uint32_t maxOffset_ns, uint32_t minSyncDuration_ms,
                                               ThreadPoolInterface* threadPool, qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"uri", uri}, {"timescale", timescale}, {"threadPool", threadPool}),
                     [&]() -> SyncDomainInterface* {
                       return new vesklib::SyncDomain(uri, timescale, maxOffset_ns, minSyncDuration_ms, threadPool);
                     });
}

SyncDomainInterface* vesklib_NopSyncDomain_create(const char* uri, TimescaleInterface* timescale,
                                                  qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"uri", uri}, {"timescale", timescale}),
                     [&]() -> SyncDomainInterface* { return new vesklib::NopSyncDomain(uri, timescale); });
}

bool vesklib_SyncDomain_isMember(SyncDomainInterface* handle, const char* syncableDeviceUri,
                                 qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"handle", handle}, {"syncableDeviceUri", syncableDeviceUri}),
                     [&] { return handle->isMember(syncableDeviceUri); });
}

void vesklib_SyncDomain_addSyncableDevice(SyncDomainInterface* handle, SyncableDeviceInterface* device,
                                          qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}, {"device", device}),
              [&] { handle->addSyncableDevice(device); });
}

bool vesklib_SyncDomain_isCoherent(SyncDomainInterface* handle, qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->isCoherent(); });
}

bool vesklib_SyncDomain_isCoherentSinceLastChecked(SyncDomainInterface* handle, qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"handle", handle}),
                     [&] { return handle->isCoherentSinceLastChecked(); });
}

bool vesklib_SyncDomain_isRunning(SyncDomainInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->isRunning(); });
}

bool vesklib_SyncDomain_start(SyncDomainInterface* handle, uint32_t timeoutInSeconds, qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->start(timeoutInSeconds); });
}

void vesklib_SyncDomain_startV2(SyncDomainInterface* handle, bool saveInitialCoherency, bool waitToBecomeCoherent,
                                uint32_t timeout_s, qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}),
              [&] { handle->startV2(saveInitialCoherency, waitToBecomeCoherent, timeout_s); });
}

void vesklib_SyncDomain_stop(SyncDomainInterface* handle, qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}), [&] { handle->stop(); });
}

const char* vesklib_SyncDomain_getTimescaleUri(SyncDomainInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}),
                       [&] { return handle->getTimescaleUri().c_str(); });
}

const char* vesklib_SyncDomain_getUri(SyncDomainInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->getUri().c_str(); });
}

char* vesklib_SyncDomain_toJson(SyncDomainInterface* handle, qzerr_Status* status) {
  return frame::copyJson(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->toJson(); });
}

void vesklib_SyncDomain_delete(SyncDomainInterface* handle) { delete handle; }

// ---- Syncable devices: the remote proxy's factory, then the operations that
// serve every device.

SyncableDeviceInterface* vesklib_SyncableDeviceProxy_create(const char* uri, qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"uri", uri}),
                     [&]() -> SyncableDeviceInterface* { return new vesklib::SyncableDeviceProxy(uri); });
}

void vesklib_SyncableDevice_setCoherencyRequirements(SyncableDeviceInterface* handle, const char* jsonRequirements,
                                                     const char* syncDomainUri, qzerr_Status* status) {
  frame::call(status,
              VESKLIB_ARGS({"handle", handle}, {"jsonRequirements", jsonRequirements}, {"syncDomainUri", syncDomainUri}),
              [&] { handle->setCoherencyRequirements(jsonRequirements, syncDomainUri); });
}

void vesklib_SyncableDevice_clearCoherencyRequirements(SyncableDeviceInterface* handle, const char* syncDomainUri,
                                                       qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}, {"syncDomainUri", syncDomainUri}),
              [&] { handle->clearCoherencyRequirements(syncDomainUri); });
}

bool vesklib_SyncableDevice_isCoherent(SyncableDeviceInterface* handle, uint32_t* coherencyLossCount,
                                       qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"handle", handle}, {"coherencyLossCount", coherencyLossCount}),
                     [&] { return handle->isCoherent(coherencyLossCount); });
}

const char* vesklib_SyncableDevice_getUri(SyncableDeviceInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->getUri().c_str(); });
}

char* vesklib_SyncableDevice_toJson(SyncableDeviceInterface* handle, qzerr_Status* status) {
  return frame::copyJson(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->toJson(); });
}

void vesklib_SyncableDevice_delete(SyncableDeviceInterface* handle) { delete handle; }
