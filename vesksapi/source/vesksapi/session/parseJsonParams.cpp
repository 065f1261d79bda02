#include "vesksapi/session/parseJsonParams.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "qzerr/errorDetail.h"
#include "vesksapi/session/jsonHelperFunctions.h"
#include "vesktools_json/jsonHelperFunctions.h"

namespace vesksapi {

namespace {

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr uint32_t kSupportedVersion = 1;

// What the common head of one kind of document reports.
struct DocumentKind {
  const char* invalidJsonMessage;
  const char* parserName;
  const char* documentKey;  // the member that carries the document text
  const char* versionMessage;
  const char* expectedType;  // null: any type, but "type" must be there
  const char* typeMessage;
  const char* paramsMessage;
};

constexpr DocumentKind kSyncDomainDocument{
    "Invalid json syncDomainParamsJson.",
    "parseSyncDomainParamsJson",
    "syncDomainParamsJson",
    "Unsupported version specified in syncDomainParamsJson or 'version' key is missing.",
    "syncDomainParams",
    "Unsupported type specified in syncDomainParamsJson or 'type' key is missing.",
    "Error parsing 'params' key from syncDomainParamsJson"};

constexpr DocumentKind kCreateAndAddDocument{
    "Invalid json paramsJson",
    "parseSdCreateAndAddRemoteDevicesParams",
    "paramsJson",
    "Unsupported version specified in the JSON parameters or version key was not found.",
    "syncDomainCreateAndAddRemoteDevicesParams",
    "Unsupported type specified in the JSON parameters or type key was not found.",
    "Error parsing 'params' key from paramsJson"};

constexpr DocumentKind kCorrelatorDocument{
    "Invalid json timestampCorrelatorParamsJson.",
    "parseCorrelatorParamsJson",
    "timestampCorrelatorParamsJson",
    "Unsupported version specified in timestampCorrelatorParamsJson or 'version' key is missing",
    nullptr,
    "You must specify a type in timestampCorrelatorParamsJson.",
    "Error parsing 'params' key from timestampCorrelatorParamsJson"};

// The one shape of most errors here: a message and the text concerned.
void require(bool found, const char* message, const char* textKey, const std::string& text) {
  if (found) return;
  QZERR_ERROR(qzerr::kInvalidParameter).channel(kChannel, message).add(textKey, text).raise();
}

void checkVersion(const JsonObjectText& document, const DocumentKind& kind) {
  uint32_t version = std::numeric_limits<uint32_t>::max();
  getJsonValue(document, "version", version);
  if (version == kSupportedVersion) return;
  QZERR_ERROR(qzerr::kInvalidParameter)
      .channel(kChannel, kind.versionMessage)
      .add("expectedVersion", static_cast<int32_t>(kSupportedVersion))
      .add("version", static_cast<int32_t>(version))
      .add(kind.documentKey, document.text())
      .raise();
}

void checkType(const JsonObjectText& document, const DocumentKind& kind, std::string& type) {
  const bool present = getJsonString(document, "type", type);
  if (kind.expectedType == nullptr) {
    require(present, kind.typeMessage, kind.documentKey, document.text());
    return;
  }
  if (type == kind.expectedType) return;
  QZERR_ERROR(qzerr::kInvalidParameter)
      .channel(kChannel, kind.typeMessage)
      .add("expectedType", kind.expectedType)
      .add("type", type)
      .add(kind.documentKey, document.text())
      .raise();
}

// The document text, once the validator let it through.
const std::string& validated(const std::string& json, const DocumentKind& kind) {
  vesktools::validateJsonString(json, kind.invalidJsonMessage, kind.parserName);
  return json;
}

// The common head: the document's version and type, then its "params" object.
const cJSON* readHead(const JsonObjectText& document, const DocumentKind& kind, std::string& type) {
  checkVersion(document, kind);
  checkType(document, kind, type);
  const cJSON* params = document.find("params");
  require(params != nullptr, kind.paramsMessage, kind.documentKey, document.text());
  CppJson::requireObject(params);
  return params;
}

// A valid document of the right version and type, and its "params" read in
// place: their text (what errors echo) is the object printed without
// formatting.
class ParamsDocument {
 public:
  ParamsDocument(const std::string& json, const DocumentKind& kind, std::string& type)
      : document_(validated(json, kind)), params_(readHead(document_, kind, type)) {}

  const JsonObjectText& params() const { return params_; }

 private:
  JsonObjectText document_;
  JsonObjectText params_;
};

// The same for params read in place, printed only when the error needs them.
void require(bool found, const char* message, const char* textKey, const JsonObjectText& params) {
  if (found) return;
  require(false, message, textKey, params.text());
}

void requireString(const JsonObjectText& params, const char* key, std::string& value, const char* message,
                   const char* textKey) {
  require(getJsonString(params, key, value), message, textKey, params);
}

void requireValue(const JsonObjectText& params, const char* key, uint32_t& value, const char* message,
                  const char* textKey) {
  require(getJsonValue(params, key, value), message, textKey, params);
}

uint32_t twiceSaturated(uint32_t value) {
  const uint64_t twice = 2ull * value;
  return twice > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                      : static_cast<uint32_t>(twice);
}

}  // namespace

void parseSyncDomainParamsJson(const std::string& json, SyncDomainParams& p) {
  std::string type;
  const ParamsDocument document(json, kSyncDomainDocument, type);
  const JsonObjectText& params = document.params();
  requireString(params, "uri", p.uri, "Error parsing 'uri' key from syncDomainParamsJson.", "paramsJson");
  requireString(params, "timescaleUri", p.timescaleUri,
                "Error parsing 'timescaleUri' key from syncDomainParamsJson.", "paramsJson");
  p.maxOffset_ns = getRequiredJsonUInt32(params, "maxOffset_ns");
  requireValue(params, "minSyncDuration_ms", p.minSyncDuration_ms,
               "Failed to parse 'minSyncDuration_ms' key. Ensure the parameter is present in the 'params' value",
               "paramsJson");
}

void parseSdCreateAndAddRemoteDevicesParams(const std::string& json, SdCreateAndAddRemoteDevicesParams& p) {
  constexpr char kParamsKey[] = "paramsJsonParamValues";
  std::string type;
  const ParamsDocument document(json, kCreateAndAddDocument, type);
  const JsonObjectText& params = document.params();
  requireString(params, "uri", p.uri,
                "Failed to parse 'uri' key. Ensure the parameter is present in the 'params' value", kParamsKey);
  requireString(params, "timescaleUri", p.timescaleUri,
                "Failed to parse 'timescaleUri' key. Ensure the parameter is present in the 'params' value",
                kParamsKey);
  require(getJsonStringArray(params, "remoteHosts", p.remoteHosts),
          "Failed to parse 'remoteHosts' key. Ensure the parameter is present in the 'params' value", kParamsKey,
          params);
  p.maxOffset_ns = getRequiredJsonUInt32(params, "maxOffset_ns");
  requireValue(params, "minSyncDuration_ms", p.minSyncDuration_ms,
               "Failed to parse 'minSyncDuration_ms' key. Ensure the parameter is present in the 'params' value",
               kParamsKey);
  require(!p.uri.empty() && !p.remoteHosts.empty(),
          "Empty parameter 'uri' or 'remoteHosts'. Ensure these parameters have a value.", "paramsJson", json);
}

void parseCorrelatorParamsJson(const std::string& json, CorrelatorParams& p) {
  const ParamsDocument document(json, kCorrelatorDocument, p.type);
  const JsonObjectText& params = document.params();
  requireString(params, "timescaleUri1", p.timescaleUri1,
                "Missing 'timescaleUri1' parameter encountered in paramsJson.", "paramsJson");
  requireString(params, "timescaleUri2", p.timescaleUri2,
                "Missing 'timescaleUri2' parameter encountered in paramsJson.", "paramsJson");
  requireValue(params, "samplingIntervalMs", p.samplingIntervalMs,
               "Missing 'samplingInterval_ms' parameter encountered in paramsJson.", "paramsJson");
  requireValue(params, "maxSampleSize", p.maxSampleSize,
               "Missing 'maxSampleSize' parameter encountered in paramsJson.", "paramsJson");
  if (!getJsonValue(params, "maxWaitForFirstCorrelate_ms", p.maxWaitForFirstCorrelate_ms)) {
    p.maxWaitForFirstCorrelate_ms = twiceSaturated(p.samplingIntervalMs);
  }
  getJsonString(params, "subType", p.subType);
  if (!getJsonValue(params, "maxCacheSize", p.maxCacheSize)) p.maxCacheSize = 0;
}

}  // namespace vesksapi
