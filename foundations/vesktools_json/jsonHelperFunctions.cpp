#include "vesktools_json/jsonHelperFunctions.h"

#include <cstring>

#include <boost/numeric/conversion/cast.hpp>

#include "jsonz/jsonz.h"
#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"

namespace vesktools {

namespace {

// cJSON keeps strings as C strings, so an escaped NUL would end a string of
// the tree early: a URI cut short instead of the one sent. Finds the first in
// a valid text, or null.
const char* escapedNul(const char* text) {
  bool inString = false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '"') inString = !inString;
    if (!inString || *p != '\\') continue;
    if (strncmp(p + 1, "u0000", 5) == 0) return p;
    ++p;  // the escaped character, which never closes the string
  }
  return nullptr;
}

// Whether the tree layer can hold `text` as it is; else where and why not.
bool holdable(const std::string& text, const char** stoppedAt, int32_t* code) {
  if (!jsonz_validateLength(text.c_str(), text.size(), stoppedAt, code)) return false;
  *stoppedAt = escapedNul(text.c_str());
  *code = jsonz_errorInvalidStringSequence;
  return *stoppedAt == nullptr;
}

}  // namespace

void validateJsonString(const std::string& text, const std::string& message, const std::string& source) {
  const char* stoppedAt = nullptr;
  int32_t code = 0;
  if (holdable(text, &stoppedAt, &code)) return;
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
