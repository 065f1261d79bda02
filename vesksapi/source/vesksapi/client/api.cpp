// The client library's exported functions. Each runs in the shared frame
// (incoming error, null checks in argument order, every exception into the
// caller's status) and forwards one operation to the process-wide session.
#include "vesksapi/vesksapi.h"

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "jsonz/jsonString.h"
#include "jsonz/jsonz.h"
#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"
#include "vesklib/exportFrame.h"
#include "vesksapi/client/paramsEnvelope.h"
#include "vesksapi/client/processSession.h"

namespace {

using vesklib::frame::call;
using vesksapi::getSession;
using vesksapi::makeParamsEnvelope;
using vesksapi::SessionInterface;

constexpr int32_t kApiVersion = 2380;
constexpr char kDebugChannel[] = "qzsyncdomain_debug";

// The detail keys of one info getter's text.
struct InfoKeys {
  const char* size;
  const char* text;
};

// The daemon's text, or none after a failure, into the caller's buffer, which
// is zeroed first and stays so when the text (and its terminator) do not fit.
template <typename Getter>
void getInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status,
             const vesklib::frame::Arguments& arguments, const InfoKeys& keys, Getter getter) {
  call(status, arguments, [&] {
    if (infoBufferSize > 0) std::memset(infoBuffer, 0, infoBufferSize);
    std::string info;
    getter(*getSession(), info);
    if (info.size() < infoBufferSize) {
      std::memcpy(infoBuffer, info.data(), info.size());
      return;
    }
    qzerr::ErrorDetail detail = QZERR_STATUS_ERROR(status, qzerr::kBufferTooSmall);
    detail.channel(kDebugChannel)
        .add("infoBufferSize", static_cast<uint64_t>(infoBufferSize))
        .add(keys.size, static_cast<uint64_t>(info.size()));
    // The daemon's JSON goes in as JSON; anything else only as a quoted text.
    if (jsonz_validate(info.c_str(), nullptr, nullptr)) detail.addRaw(keys.text, info);
    else detail.add(keys.text, info);
  });
}

// A URI buffer is refused when empty, else zeroed before the call.
bool clearUriBuffer(qzerr_Status* status, char* buffer, size_t size) {
  if (size == 0) {
    QZERR_STATUS_ERROR(status, qzerr::kBufferTooSmall)
        .channel(kDebugChannel, "URI Buffer Size should be greater than 0")
        .add("timescaleUriBufSize", static_cast<uint64_t>(size));
    return false;
  }
  std::memset(buffer, 0, size);
  return true;
}

// The URI and its terminator, or -52019 naming both sizes.
void copyUri(qzerr_Status* status, const std::string& uri, char* buffer, size_t size) {
  if (uri.size() < size) {
    std::memcpy(buffer, uri.data(), uri.size());
    return;
  }
  QZERR_STATUS_ERROR(status, qzerr::kBufferTooSmall)
      .channel(kDebugChannel)
      .add("Required timescaleUriBufSize", static_cast<uint64_t>(uri.size() + 1))
      .add("Actual timescaleUriBufSize", static_cast<uint64_t>(size));
}

// A text-returning operation on a status of its own: an error is thrown (and
// so reaches the caller's status through the frame), a warning is dropped.
template <typename Operation>
std::string remoteText(Operation operation) {
  std::string text;
  {
    qzerr::ScopedStatus local;
    operation(*getSession(), text, local.get());
  }
  return text;
}

// The first of the timescales the daemon loaded from the host; every one
// listed must be a text. An absent or null list lists none.
std::string firstTimescale(const std::string& loadedResourcesJson, const char* remoteHost) {
  CppJson resources(loadedResourcesJson.c_str());
  const cJSON* timescales = cJSON_GetObjectItem(resources.get(), "timescales");
  std::vector<std::string> uris;
  if (timescales != nullptr && !CppJson::isNull(timescales)) {
    for (CppJson::ArrayIterator element(timescales); !element.atEnd(); ++element) {
      uris.push_back(CppJson::getString(*element));
    }
  }
  if (uris.empty()) {
    QZERR_ERROR(qzerr::kNoTimescaleAvailable)
        .channel(kDebugChannel, "No timescales loaded from specified remoteHost.")
        .add("remoteHost", remoteHost)
        .raise();
  }
  return uris.front();
}

int32_t compareMagnitudes(const vesklib_Timestamp& lhs, const vesklib_Timestamp& rhs) {
  const auto magnitude = [](const vesklib_Timestamp& t) {
    return std::make_tuple(static_cast<uint64_t>(t.seconds), static_cast<uint32_t>(t.nanos),
                           static_cast<uint32_t>(t.fractionalNanos));
  };
  if (magnitude(lhs) < magnitude(rhs)) return -1;
  return magnitude(rhs) < magnitude(lhs) ? 1 : 0;
}

// The error-code-only form of a status: fresh, and on leaving its code goes
// to the caller (when asked for) and its detail is dropped.
class ErrorCodeOnly {
 public:
  explicit ErrorCodeOnly(int32_t* errorOut) : errorOut_(errorOut), status_(qzerr_freshStatus()) {}
  ErrorCodeOnly(const ErrorCodeOnly&) = delete;
  ErrorCodeOnly& operator=(const ErrorCodeOnly&) = delete;
  ~ErrorCodeOnly() {
    if (errorOut_ != nullptr) *errorOut_ = status_.code;
    qzerr_releaseJson(&status_);
  }

  qzerr_Status* get() { return &status_; }

 private:
  int32_t* const errorOut_;
  qzerr_Status status_;
};

}  // namespace

int32_t vesksapi_getApiVersion(void) { return kApiVersion; }

// Every stamp flagged negative lies before every other; between two negative
// stamps the larger magnitude is the earlier time.
int32_t vesksapi_timestamp_compare(const vesklib_Timestamp* lhs, const vesklib_Timestamp* rhs) {
  if (lhs == nullptr) return -1;
  if (rhs == nullptr) return 1;
  if (lhs->isNegative != rhs->isNegative) return lhs->isNegative ? -1 : 1;
  const int32_t order = compareMagnitudes(*lhs, *rhs);
  return lhs->isNegative ? -order : order;
}

void vesksapi_timescale_getTime(const char* timescaleUri, vesklib_Timestamp* timestamp, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"timescaleUri", timescaleUri}, {"timestamp", timestamp}),
       [&] { getSession()->timescale_getTime(timescaleUri, timestamp, status); });
}

void vesksapi_timestampCorrelator_delete(const char* timescaleUri1, const char* timescaleUri2,
                                         qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"timescaleUri1", timescaleUri1}, {"timescaleUri2", timescaleUri2}),
       [&] { getSession()->timestampCorrelator_delete(timescaleUri1, timescaleUri2, status); });
}

void vesksapi_timestampCorrelator_correlate(const char* sourceTimescaleUri, const char* destTimescaleUri,
                                            const vesklib_Timestamp* timestampInSourceTimescale,
                                            vesklib_Timestamp* correlatedTimestamp, qzerr_Status* status) {
  call(status,
       VESKLIB_ARGS({"sourceTimescaleUri", sourceTimescaleUri}, {"destTimescaleUri", destTimescaleUri},
                    {"timestampInSourceTimescale", timestampInSourceTimescale},
                    {"correlatedTimestamp", correlatedTimestamp}),
       [&] {
         getSession()->timestampCorrelator_correlate(sourceTimescaleUri, destTimescaleUri,
                                                     timestampInSourceTimescale, correlatedTimestamp, status);
       });
}

bool vesksapi_syncDomain_start(const char* syncDomainUri, uint32_t timeout_s, qzerr_Status* status) {
  return call(status, VESKLIB_ARGS({"syncDomainUri", syncDomainUri}),
              [&] { return getSession()->syncDomain_start(syncDomainUri, timeout_s, status); });
}

void vesksapi_syncDomain_startV2(const char* syncDomainUri, bool saveInitialCoherency, bool waitToBecomeCoherent,
                                 uint32_t timeout_s, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"syncDomainUri", syncDomainUri}), [&] {
    getSession()->syncDomain_startV2(syncDomainUri, saveInitialCoherency, waitToBecomeCoherent, timeout_s, status);
  });
}

void vesksapi_syncDomain_stop(const char* syncDomainUri, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"syncDomainUri", syncDomainUri}),
       [&] { getSession()->syncDomain_stop(syncDomainUri, status); });
}

void vesksapi_syncDomain_delete(const char* syncDomainUri, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"syncDomainUri", syncDomainUri}),
       [&] { getSession()->syncDomain_delete(syncDomainUri, status); });
}

void vesksapi_syncDomain_addSyncableDevice(const char* syncDomainUri, const char* syncableDeviceUri,
                                           qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"syncDomainUri", syncDomainUri}, {"syncableDeviceUri", syncableDeviceUri}),
       [&] { getSession()->syncDomain_addSyncableDevice(syncDomainUri, syncableDeviceUri, status); });
}

bool vesksapi_syncDomain_isCoherent(const char* syncDomainUri, qzerr_Status* status) {
  return call(status, VESKLIB_ARGS({"syncDomainUri", syncDomainUri}),
              [&] { return getSession()->syncDomain_isCoherent(syncDomainUri, status); });
}

bool vesksapi_syncDomain_isCoherentSinceLastChecked(const char* syncDomainUri, qzerr_Status* status) {
  return call(status, VESKLIB_ARGS({"syncDomainUri", syncDomainUri}),
              [&] { return getSession()->syncDomain_isCoherentSinceLastChecked(syncDomainUri, status); });
}

void vesksapi_getTimescaleInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status) {
  getInfo(infoBuffer, infoBufferSize, status, VESKLIB_ARGS({"infoBuffer", infoBuffer}),
          {"timescaleInfoSize", "timescaleInfo"},
          [&](SessionInterface& session, std::string& info) { session.getTimescaleInfo(info, status); });
}

void vesksapi_getSyncableDeviceInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status) {
  getInfo(infoBuffer, infoBufferSize, status, VESKLIB_ARGS({"infoBuffer", infoBuffer}),
          {"syncableDeviceInfoSize", "syncableDeviceInfo"},
          [&](SessionInterface& session, std::string& info) { session.getSyncableDeviceInfo(info, status); });
}

void vesksapi_getSyncDomainInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status) {
  getInfo(infoBuffer, infoBufferSize, status, VESKLIB_ARGS({"infoBuffer", infoBuffer}),
          {"syncDomainInfoSize", "syncDomainInfo"},
          [&](SessionInterface& session, std::string& info) { session.getSyncDomainInfo(info, status); });
}

void vesksapi_getTimestampCorrelatorInfo(char* infoBuffer, size_t infoBufferSize, qzerr_Status* status) {
  getInfo(infoBuffer, infoBufferSize, status, VESKLIB_ARGS({"infoBuffer", infoBuffer}),
          {"timestampCorrelatorInfoSize", "timestampCorrelatorInfo"},
          [&](SessionInterface& session, std::string& info) { session.getTimestampCorrelatorInfo(info, status); });
}

// The daemon's answer (the loaded resources) is not wanted here.
void vesksapi_loadResources(const char* type, const char* typeParamsJson, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"type", type}, {"typeParamsJson", typeParamsJson}), [&] {
    std::string loaded;
    getSession()->loadResources(loaded, makeParamsEnvelope(type, typeParamsJson), status);
  });
}

void vesksapi_unloadResources(const char* type, const char* typeParamsJson, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"type", type}, {"typeParamsJson", typeParamsJson}),
       [&] { getSession()->unloadResources(makeParamsEnvelope(type, typeParamsJson), status); });
}

void vesksapi_getCurrentTimescale(const char* remoteHost, char* timescaleUriBuf, size_t timescaleUriBufSize,
                                  qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"remoteHost", remoteHost}, {"timescaleUriBuf", timescaleUriBuf}), [&] {
    if (!clearUriBuffer(status, timescaleUriBuf, timescaleUriBufSize)) return;
    const std::string deviceParams =
        makeParamsEnvelope("networkDeviceParams", "{\"remoteHost\":" + jsonz::jsonString(remoteHost) + "}");
    const std::string loaded = remoteText([&](SessionInterface& session, std::string& text, qzerr_Status* local) {
      session.loadResources(text, deviceParams, local);
    });
    copyUri(status, firstTimescale(loaded, remoteHost), timescaleUriBuf, timescaleUriBufSize);
  });
}

void vesksapi_timestampCorrelator_create(const char* type, const char* typeParamsJson, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"type", type}, {"typeParamsJson", typeParamsJson}),
       [&] { getSession()->timestampCorrelator_create(makeParamsEnvelope(type, typeParamsJson), status); });
}

void vesksapi_syncDomain_create(const char* type, const char* typeParamsJson, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"type", type}, {"typeParamsJson", typeParamsJson}),
       [&] { getSession()->syncDomain_create(makeParamsEnvelope(type, typeParamsJson), status); });
}

// The chosen timescale is returned only into a buffer given; the new domain
// stays when it does not fit.
void vesksapi_syncDomain_createAndAddDevices(const char* type, const char* typeParamsJson, char* timescaleUriBuf,
                                             size_t timescaleUriBufSize, qzerr_Status* status) {
  call(status, VESKLIB_ARGS({"type", type}, {"typeParamsJson", typeParamsJson}), [&] {
    if (timescaleUriBuf != nullptr && !clearUriBuffer(status, timescaleUriBuf, timescaleUriBufSize)) return;
    const std::string params = makeParamsEnvelope(type, typeParamsJson);
    const std::string uri = remoteText([&](SessionInterface& session, std::string& text, qzerr_Status* local) {
      session.syncDomain_createAndAddDevices(text, params, local);
    });
    if (timescaleUriBuf != nullptr) copyUri(status, uri, timescaleUriBuf, timescaleUriBufSize);
  });
}

int32_t vesksapi_jx_syncDomain_start(const char* syncDomainUri, uint32_t timeout_s, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  return vesksapi_syncDomain_start(syncDomainUri, timeout_s, error.get()) ? 1 : 0;
}

void vesksapi_jx_syncDomain_startV2(const char* syncDomainUri, int32_t saveInitialCoherency,
                                    int32_t waitToBecomeCoherent, uint32_t timeout_s, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  vesksapi_syncDomain_startV2(syncDomainUri, saveInitialCoherency != 0, waitToBecomeCoherent != 0, timeout_s,
                              error.get());
}

void vesksapi_jx_syncDomain_stop(const char* syncDomainUri, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  vesksapi_syncDomain_stop(syncDomainUri, error.get());
}

void vesksapi_jx_syncDomain_delete(const char* syncDomainUri, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  vesksapi_syncDomain_delete(syncDomainUri, error.get());
}

int32_t vesksapi_jx_syncDomain_isCoherent(const char* syncDomainUri, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  return vesksapi_syncDomain_isCoherent(syncDomainUri, error.get()) ? 1 : 0;
}

int32_t vesksapi_jx_syncDomain_isCoherentSinceLastChecked(const char* syncDomainUri, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  return vesksapi_syncDomain_isCoherentSinceLastChecked(syncDomainUri, error.get()) ? 1 : 0;
}

void vesksapi_jx_getSyncDomainInfo(char* infoBuffer, size_t infoBufferSize, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  vesksapi_getSyncDomainInfo(infoBuffer, infoBufferSize, error.get());
}

void vesksapi_jx_syncDomain_createAndAddDevices(const char* type, const char* typeParamsJson, int32_t* errorOut) {
  ErrorCodeOnly error(errorOut);
  vesksapi_syncDomain_createAndAddDevices(type, typeParamsJson, nullptr, 0, error.get());
}
