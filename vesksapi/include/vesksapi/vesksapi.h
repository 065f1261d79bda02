// The client library's exported functions: each one forwards one operation to
// the service daemon (vesks) over its local socket and reports through the
// caller's status record (last argument), or, for vesksapi_jx_*, through an
// error code only. No exception leaves any of them. A text output of n bytes
// needs a buffer of n + 1; a smaller one fails with -52019 and names the size.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "qzerr/statusRecord.h"
#include "vesklib/timestamp.h"

#ifdef __cplusplus
#define VESKSAPI_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define VESKSAPI_EXPORT __attribute__((visibility("default")))
#endif

// Local: no daemon is asked.
VESKSAPI_EXPORT int32_t vesksapi_getApiVersion(void);
// -1, 0 or 1 as lhs is earlier than, equal to or later than rhs.
VESKSAPI_EXPORT int32_t vesksapi_timestamp_compare(const vesklib_Timestamp* lhs, const vesklib_Timestamp* rhs);

VESKSAPI_EXPORT void vesksapi_timescale_getTime(const char* timescaleUri, vesklib_Timestamp* timestamp,
                                                qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_timestampCorrelator_delete(const char* timescaleUri1, const char* timescaleUri2,
                                                         qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_timestampCorrelator_correlate(const char* sourceTimescaleUri,
                                                            const char* destTimescaleUri,
                                                            const vesklib_Timestamp* timestampInSourceTimescale,
                                                            vesklib_Timestamp* correlatedTimestamp,
                                                            qzerr_Status* status);
VESKSAPI_EXPORT bool vesksapi_syncDomain_start(const char* syncDomainUri, uint32_t timeout_s, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_syncDomain_startV2(const char* syncDomainUri, bool saveInitialCoherency,
                                                 bool waitToBecomeCoherent, uint32_t timeout_s,
                                                 qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_syncDomain_stop(const char* syncDomainUri, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_syncDomain_delete(const char* syncDomainUri, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_syncDomain_addSyncableDevice(const char* syncDomainUri, const char* syncableDeviceUri,
                                                           qzerr_Status* status);
VESKSAPI_EXPORT bool vesksapi_syncDomain_isCoherent(const char* syncDomainUri, qzerr_Status* status);
VESKSAPI_EXPORT bool vesksapi_syncDomain_isCoherentSinceLastChecked(const char* syncDomainUri,
                                                                    qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_getTimescaleInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_getSyncableDeviceInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_getSyncDomainInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_getTimestampCorrelatorInfo(char* infoBuffer, size_t infoBufferSize,
                                                         qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_loadResources(const char* type, const char* typeParamsJson, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_unloadResources(const char* type, const char* typeParamsJson, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_getCurrentTimescale(const char* remoteHost, char* timescaleUriBuf,
                                                  size_t timescaleUriBufSize, qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_timestampCorrelator_create(const char* type, const char* typeParamsJson,
                                                         qzerr_Status* status);
VESKSAPI_EXPORT void vesksapi_syncDomain_create(const char* type, const char* typeParamsJson, qzerr_Status* status);
// timescaleUriBuf may be null: the chosen timescale is then not returned.
VESKSAPI_EXPORT void vesksapi_syncDomain_createAndAddDevices(const char* type, const char* typeParamsJson,
                                                             char* timescaleUriBuf, size_t timescaleUriBufSize,
                                                             qzerr_Status* status);

// The same operations for hosts that take an error code only.
VESKSAPI_EXPORT int32_t vesksapi_jx_syncDomain_start(const char* syncDomainUri, uint32_t timeout_s,
                                                     int32_t* errorOut);
VESKSAPI_EXPORT void vesksapi_jx_syncDomain_startV2(const char* syncDomainUri, int32_t saveInitialCoherency,
                                                    int32_t waitToBecomeCoherent, uint32_t timeout_s,
                                                    int32_t* errorOut);
VESKSAPI_EXPORT void vesksapi_jx_syncDomain_stop(const char* syncDomainUri, int32_t* errorOut);
VESKSAPI_EXPORT void vesksapi_jx_syncDomain_delete(const char* syncDomainUri, int32_t* errorOut);
VESKSAPI_EXPORT int32_t vesksapi_jx_syncDomain_isCoherent(const char* syncDomainUri, int32_t* errorOut);
VESKSAPI_EXPORT int32_t vesksapi_jx_syncDomain_isCoherentSinceLastChecked(const char* syncDomainUri,
                                                                          int32_t* errorOut);
VESKSAPI_EXPORT void vesksapi_jx_getSyncDomainInfo(char* infoBuffer, size_t infoBufferSize, int32_t* errorOut);
VESKSAPI_EXPORT void vesksapi_jx_syncDomain_createAndAddDevices(const char* type, const char* typeParamsJson,
                                                                int32_t* errorOut);

// The service's server inside the daemon process: start serves the local
// socket on a thread of its own and returns once it listens; stop ends it,
// after the calls in progress, and then the registry (it reports nothing).
VESKSAPI_EXPORT void vesksrpcs_start(qzerr_Status* status);
VESKSAPI_EXPORT void vesksrpcs_stop(void);
