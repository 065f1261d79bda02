// The system's error codes with the names written into "error_constant".
// Several names share a code; each constant pairs one code with one name.
#pragma once

#include <cstdint>

namespace qzerr {

struct ErrorConstant {
  int32_t code;
  const char* name;
};

#define QZERR_CONSTANT(id, value, text) inline constexpr ErrorConstant id{value, text};
QZERR_CONSTANT(kMemoryFull, -52000, "qzkormerr_memoryFull")
QZERR_CONSTANT(kFeatureUnsupported, -52002, "qzkormerr_featureUnsupported")
QZERR_CONSTANT(kSoftwareFault, -52003, "qzkormerr_softwareFaultKORMInternalUseOnly")
QZERR_CONSTANT(kJsonTypeMismatch, -52004, "jsonErrorsTypeMismatch")
QZERR_CONSTANT(kJsonNotAnObject, -52004, "jsonErrorsNotAnObject")
QZERR_CONSTANT(kJsonNotAnArray, -52004, "jsonErrorsNotAnArray")
QZERR_CONSTANT(kJsonErrCode, -52004, "errCode")
QZERR_CONSTANT(kInvalidParameter, -52005, "qzkormerr_invalidParameter")
QZERR_CONSTANT(kJsonInvalidJson, -52005, "jsonErrorsInvalidJSON")
QZERR_CONSTANT(kResourceNotFound, -52006, "qzkormerr_resourceNotFound")
QZERR_CONSTANT(kJsonObjectItemNotFound, -52006, "jsonErrorsObjectItemNotFound")
QZERR_CONSTANT(kOperationTimedOut, -52007, "qzkormerr_operationTimedOut")
QZERR_CONSTANT(kOsFault, -52008, "qzkormerr_osFault")
QZERR_CONSTANT(kResourceNotInitialized, -52010, "qzkormerr_resourceNotInitialized")
QZERR_CONSTANT(kObjectNameCollision, -52013, "qzkormerr_objectNameCollision")
QZERR_CONSTANT(kThreadAlreadyStarted, -52016, "qzkormerr_threadAlreadyStarted")
QZERR_CONSTANT(kInvalidStateTransition, -52017, "qzkormerr_invalidStateTransition")
QZERR_CONSTANT(kBufferTooSmall, -52019, "qzkormerr_bufferTooSmall")
QZERR_CONSTANT(kResourceRemoved, -52020, "qzkormerr_resourceRemoved")
QZERR_CONSTANT(kCommunicationsFault, -52024, "qzkormerr_communicationsFault")
QZERR_CONSTANT(kResourceBusy, -52031, "qzkormerr_resourceBusy")
QZERR_CONSTANT(kNoTimescaleAvailable, -1074100996, "qzsyncdomainerr_noTimescaleAvailable")
QZERR_CONSTANT(kNoSharedTimescale, -1074100995, "qzsyncdomainerr_noSharedTimescale")
QZERR_CONSTANT(kUnusableTimescale, -1074100994, "qzsyncdomainerr_unusableTimescale")
QZERR_CONSTANT(kConflictingCoherencyRequirements, -1074100993,
               "qzsyncdomainerr_conflictingCoherencyRequirements")
QZERR_CONSTANT(kInternalSoftwareError, -411350, "kInternalSoftwareError")
QZERR_CONSTANT(kInternalSoftwareErrorFailedInitialize, -411351, "kInternalSoftwareErrorFailedInitialize")
QZERR_CONSTANT(kInvalidEndStationUri, -411352, "kInvalidEndStationURI")
QZERR_CONSTANT(kInvalidUriPrefix, -411353, "kInvalidURIPrefix")
QZERR_CONSTANT(kNetworkClientBadRequestError, -411354, "kNetworkClientBadRequestError")
QZERR_CONSTANT(kNetworkClientUnauthorizedError, -411355, "kNetworkClientUnauthorizedError")
QZERR_CONSTANT(kNetworkClientNotFoundError, -411356, "kNetworkClientNotFoundError")
QZERR_CONSTANT(kNetworkClientRequestTimeoutError, -411357, "kNetworkClientRequestTimeoutError")
QZERR_CONSTANT(kNetworkClientError, -411358, "kNetworkClientError")
QZERR_CONSTANT(kNetworkServerError, -411359, "kNetworkServerError")
QZERR_CONSTANT(kInvalidJsonResponseFromServer, -411360, "kInvalidJSONResponseFromServer")
QZERR_CONSTANT(kInternalSoftwareErrorUnknownNetworkError, -411361,
               "kInternalSoftwareErrorUnknownNetworkError")
QZERR_CONSTANT(kNetworkClientUnsupportedMediaType, -411370, "kNetworkClientUnsupportedMediaType")
QZERR_CONSTANT(kNetworkClientInProgress, 411369, "kNetworkClientInProgress")
#undef QZERR_CONSTANT

}  // namespace qzerr
