// The C functions of the Pendulo manager client library
// libqzqlm_clientapi.so.1, declared once for the side that binds them by name
// (clientApiLibrary.h) and for our stand-in of the library (platform/qzqlm).
// Every function but the first reports failure in the caller's status: a
// negative code, and a detail text grown through the status's own grow
// function. Text answers are written into the caller's buffer of the given
// size; a well-behaved library ends them with a NUL inside it, but a caller
// must not rely on that.
#pragma once

#include <cstdint>

#include "qzerr/status.h"

// Codes of the manager, besides -52024 (qzkormerr_communicationsFault) when
// the manager cannot be reached.
namespace qzqlm {
inline constexpr int32_t kTimeReferenceNotFound = -1074100991;
inline constexpr int32_t kAttributeNotFound = -1074100990;
}  // namespace qzqlm

extern "C" {

int32_t qzqlmclientapi_getApiVersion(void);
// True when the manager follows a time reference; its id is then in `trId`.
bool qzqlmclientapi_getSelectedTrId(char* trId, uint32_t trIdSize, qzerr_Status* status);
// The selected reference's offset from the host clock in ns at the host time
// `atHostTimeNanos` (0: now), clamped to 32 bits.
int32_t qzqlmclientapi_getSelectedTrOffsetNanos(int64_t atHostTimeNanos, qzerr_Status* status);
// {"<attrKey>": value} for one attribute of the manager.
void qzqlmclientapi_getQlmAttrJson(const char* attrKey, char* json, uint32_t jsonSize, qzerr_Status* status);
void qzqlmclientapi_getQlmMetadataJson(char* json, uint32_t jsonSize, qzerr_Status* status);
// {"<attrKey>": value} for one attribute of time reference `trId`.
void qzqlmclientapi_getTrAttrJson(const char* trId, const char* attrKey, char* json, uint32_t jsonSize,
                                  qzerr_Status* status);
void qzqlmclientapi_getTrMetadataJson(const char* trId, char* json, uint32_t jsonSize, qzerr_Status* status);
void qzqlmclientapi_setTrAttr(const char* trId, const char* attrKey, const char* value, qzerr_Status* status);
void qzqlmclientapi_restartService(qzerr_Status* status);
void qzqlmclientapi_bringDownService(qzerr_Status* status);
void qzqlmclientapi_bringUpService(qzerr_Status* status);
void qzqlmclientapi_updateTrFromConfig(const char* trId, qzerr_Status* status);
void qzqlmclientapi_persistConfig(qzerr_Status* status);
// Steps the host clock by seconds + nanos (signed); 0 when done.
int32_t qzqlmclientapi_adjustTime(int64_t seconds, int64_t nanos, qzerr_Status* status);

}  // extern "C"
