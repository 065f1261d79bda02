// The exported functions of the core library. Objects cross as raw handles
// that the caller ends with the family's _delete; errors cross only as the
// caller's status (last argument). No exception leaves a function; a status
// that already holds an error makes a function do nothing. _toJson results
// are strdup copies to free(); _getUri results belong to the object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qzerr/status.h"
#include "vesklib/timestamp.h"

#define VESKLIB_EXPORT extern "C" __attribute__((visibility("default")))

class TimescaleInterface;
class TimestampCorrelatorInterface;
class SyncDomainInterface;
class SyncableDeviceInterface;
class ThreadPoolInterface;

// Hands out room for `size` bytes (null when it cannot); the caller of vesklib_loadProxyResources
// owns what it returns.
typedef void* (*vesklib_Allocator)(size_t size);

VESKLIB_EXPORT int32_t vesklib_getApiVersion();

// ---- Timescales
VESKLIB_EXPORT TimescaleInterface* vesklib_HostTimescale_create(const char* uri, qzerr_Status* status);
VESKLIB_EXPORT TimescaleInterface* vesklib_TimescaleProxy_create(const char* uri, const char* host,
                                                                 int32_t port, qzerr_Status* status);
VESKLIB_EXPORT const char* vesklib_Timescale_getUri(TimescaleInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT void vesklib_Timescale_getTime(TimescaleInterface* handle, vesklib_Timestamp* timestamp,
                                              qzerr_Status* status);
VESKLIB_EXPORT char* vesklib_Timescale_toJson(TimescaleInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT void vesklib_Timescale_delete(TimescaleInterface* handle);

// ---- Correlators
VESKLIB_EXPORT TimestampCorrelatorInterface* vesklib_LinearCorrelator_create(
    const char* correlatorUri, TimescaleInterface* timescale1, TimescaleInterface* timescale2,
    uint32_t samplingIntervalMs, uint32_t maxSampleSize, uint32_t maxWaitForFirstCorrelateMs,
    qzerr_Status* status);
VESKLIB_EXPORT TimestampCorrelatorInterface* vesklib_NopCorrelator_create(
    const char* correlatorUri, TimescaleInterface* timescale1, TimescaleInterface* timescale2,
    qzerr_Status* status);
VESKLIB_EXPORT TimestampCorrelatorInterface* vesklib_CachingCorrelator_create(
    const char* uri, TimestampCorrelatorInterface* correlator, qzerr_Status* status);
VESKLIB_EXPORT void vesklib_TimestampCorrelator_correlate(TimestampCorrelatorInterface* handle,
                                                          const vesklib_Timestamp* timestampInSourceTimescale,
                                                          TimescaleInterface* sourceTimescale,
                                                          vesklib_Timestamp* correlatedTimestamp,
                                                          qzerr_Status* status);
VESKLIB_EXPORT const char* vesklib_TimestampCorrelator_getUri(TimestampCorrelatorInterface* handle,
                                                              qzerr_Status* status);
VESKLIB_EXPORT const char* vesklib_TimestampCorrelator_getTimescale1Uri(TimestampCorrelatorInterface* handle,
                                                                        qzerr_Status* status);
VESKLIB_EXPORT const char* vesklib_TimestampCorrelator_getTimescale2Uri(TimestampCorrelatorInterface* handle,
                                                                        qzerr_Status* status);
VESKLIB_EXPORT void vesklib_TimestampCorrelator_start(TimestampCorrelatorInterface* handle,
                                                      qzerr_Status* status);
VESKLIB_EXPORT void vesklib_TimestampCorrelator_stop(TimestampCorrelatorInterface* handle,
                                                     qzerr_Status* status);
VESKLIB_EXPORT bool vesklib_TimestampCorrelator_isRunning(TimestampCorrelatorInterface* handle,
                                                          qzerr_Status* status);
VESKLIB_EXPORT char* vesklib_TimestampCorrelator_toJson(TimestampCorrelatorInterface* handle,
                                                        qzerr_Status* status);
VESKLIB_EXPORT void vesklib_TimestampCorrelator_delete(TimestampCorrelatorInterface* handle);

// ---- Sync domains
VESKLIB_EXPORT SyncDomainInterface* vesklib_SyncDomain_create(const char* uri, TimescaleInterface* timescale,
                                                              uint32_t maxOffset_ns, uint32_t minSyncDuration_ms,
                                                              ThreadPoolInterface* threadPool,
                                                              qzerr_Status* status);
VESKLIB_EXPORT SyncDomainInterface* vesklib_NopSyncDomain_create(const char* uri, TimescaleInterface* timescale,
                                                                 qzerr_Status* status);
VESKLIB_EXPORT bool vesklib_SyncDomain_isMember(SyncDomainInterface* handle, const char* syncableDeviceUri,
                                                qzerr_Status* status);
VESKLIB_EXPORT void vesklib_SyncDomain_addSyncableDevice(SyncDomainInterface* handle,
                                                         SyncableDeviceInterface* device, qzerr_Status* status);
VESKLIB_EXPORT bool vesklib_SyncDomain_isCoherent(SyncDomainInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT bool vesklib_SyncDomain_isCoherentSinceLastChecked(SyncDomainInterface* handle,
                                                                  qzerr_Status* status);
VESKLIB_EXPORT bool vesklib_SyncDomain_isRunning(SyncDomainInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT bool vesklib_SyncDomain_start(SyncDomainInterface* handle, uint32_t timeoutInSeconds,
                                             qzerr_Status* status);
VESKLIB_EXPORT void vesklib_SyncDomain_startV2(SyncDomainInterface* handle, bool saveInitialCoherency,
                                               bool waitToBecomeCoherent, uint32_t timeout_s,
                                               qzerr_Status* status);
VESKLIB_EXPORT void vesklib_SyncDomain_stop(SyncDomainInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT const char* vesklib_SyncDomain_getTimescaleUri(SyncDomainInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT const char* vesklib_SyncDomain_getUri(SyncDomainInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT char* vesklib_SyncDomain_toJson(SyncDomainInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT void vesklib_SyncDomain_delete(SyncDomainInterface* handle);

// ---- Syncable devices
VESKLIB_EXPORT SyncableDeviceInterface* vesklib_SyncableDeviceProxy_create(const char* uri, qzerr_Status* status);
VESKLIB_EXPORT void vesklib_SyncableDevice_setCoherencyRequirements(SyncableDeviceInterface* handle,
                                                                    const char* jsonRequirements,
                                                                    const char* syncDomainUri,
                                                                    qzerr_Status* status);
VESKLIB_EXPORT void vesklib_SyncableDevice_clearCoherencyRequirements(SyncableDeviceInterface* handle,
                                                                      const char* syncDomainUri,
                                                                      qzerr_Status* status);
VESKLIB_EXPORT bool vesklib_SyncableDevice_isCoherent(SyncableDeviceInterface* handle,
                                                      uint32_t* coherencyLossCount, qzerr_Status* status);
VESKLIB_EXPORT const char* vesklib_SyncableDevice_getUri(SyncableDeviceInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT char* vesklib_SyncableDevice_toJson(SyncableDeviceInterface* handle, qzerr_Status* status);
VESKLIB_EXPORT void vesklib_SyncableDevice_delete(SyncableDeviceInterface* handle);

// ---- Remote resources
VESKLIB_EXPORT void vesklib_loadProxyResources(const char* networkDeviceParamsJson,
                                               SyncableDeviceInterface** deviceOut,
                                               TimescaleInterface*** timescalesOut, size_t* timescaleCount,
                                               vesklib_Allocator allocator, qzerr_Status* status);
VESKLIB_EXPORT void vesklib_getProxyResourceUriRootsToUnload(const char* networkDeviceParamsJson,
                                                             size_t bufferSize, char* deviceUriRootOut,
                                                             char* timescaleUriRootOut, qzerr_Status* status);
