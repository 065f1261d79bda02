#include "vesktools_json/jsonHelperFunctions.h"

#include <boost/numeric/conversion/cast.hpp>

#include "jsonz/jsonz.h"
#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"

namespace vesktools {

void validateJsonString(const std::string& text, const std::string& message, const std::string& source) {
  const char* stoppedAt = nullptr;
  int32_t code = 0;
  if (jsonz_validateLength(text.c_str(), text.size(), &stoppedAt, &code)) return;
  QZERR_ERROR(qzerr::kInvalidParameter)
      .channel("qzsyncdomain_debug", message)
      .add("jsonzError", jsonz_errorName(code))
      .add("position", stoppedAt ? stoppedAt : "")
      .add("jsonString", text)
      .add("source", source)
      .raise();
}

void rethrowTypeMismatch(const std::string& json, const std::string& key) {
  try {
    throw;
  } catch (const qzerr::Exception& error) {
    if (error.status().code != qzerr::kJsonErrCode.code) throw;
  }
  QZERR_ERROR(qzerr::kJsonErrCode)
      .channel("qzsync_debug", "Error parsing: expected data type does not match the parsed value.")
      .add("JSON", json)
      .add("key", key)
      .raise();
}

namespace {

// The declared version, or none when the member is null.
bool readVersion(const std::string& uri, const std::string& json, const std::string& missingMessage,
                 double* version) {
  CppJson document(json.c_str());
  const cJSON* member = cJSON_GetObjectItem(document.get(), "version");
  if (member == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel("qzsyncdomain_debug", missingMessage)
        .add("JsonKey", "version")
        .add("uri", uri)
        .raise();
  }
  if (CppJson::isNull(member)) return false;
  try {
    CppJson::requireNumber(member);
  } catch (const qzerr::Exception&) {
    rethrowTypeMismatch(json, "version");
  }
  *version = member->valuedouble;
  return true;
}

}  // namespace

void checkRemoteApiVersion(const std::string& uri, const std::string& json, uint32_t maxSupportedVersion,
                           const std::string& missingMessage, const std::string& unsupportedMessage) {
  double declared = 0;
  if (!readVersion(uri, json, missingMessage, &declared)) return;
  const uint32_t version = boost::numeric_cast<uint32_t>(declared);
  if (version <= maxSupportedVersion) return;
  QZERR_ERROR(qzerr::kFeatureUnsupported)
      .channel("qzsyncdomain_debug", unsupportedMessage)
      .add("remoteVersion", version)
      .add("maxSupportedVersion", maxSupportedVersion)
      .add("uri", uri)
      .raise();
}

}  // namespace vesktools
