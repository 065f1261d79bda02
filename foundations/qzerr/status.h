// qzerr_Status: the caller-owned record that carries every failure: a code
// (0 none, negative error, positive warning) and a JSON object text that says
// where and why. An error is never replaced; a warning only by an error. The
// buffer keeps the jsonz shape (text, NUL, zeros, 'J' in the last byte).
#pragma once

#include <cstdint>
#include <string>

#include "jsonz/jsonz.h"
#include "qzerr/statusRecord.h"

// The constant record of a place that raises an error. "file" is written as
// the source file's name without folder and extension.
struct qzerr_ErrorSite {
  const char* file;
  int32_t line;
  const char* component;  // null: no "component" member
  const char* errorConstant;
};

bool qzerr_growJsonBuffer(qzerr_Status* status, int32_t newSize);
inline qzerr_Status qzerr_freshStatus() { return qzerr_Status{0, 0, qzerr_growJsonBuffer, nullptr}; }

bool qzerr_setCode(qzerr_Status* status, int32_t code);
char* qzerr_resetJson(qzerr_Status* status, const char* text);
char* qzerr_reserveJson(qzerr_Status* status, uint32_t n);
char* qzerr_growJsonAt(qzerr_Status* status, char* position);
char* qzerr_jsonGrowCallback(char* position, void* status);
inline jsonz_GrowHandler qzerr_growHandler(qzerr_Status* status) {
  return jsonz_GrowHandler{qzerr_jsonGrowCallback, status};
}

bool qzerr_copyStatus(qzerr_Status* status, const qzerr_Status* source);
bool qzerr_mergeStatusCopy(qzerr_Status* status, const qzerr_Status* source, bool* written = nullptr);
bool qzerr_mergeStatus(qzerr_Status* status, qzerr_Status* source, bool* written = nullptr);
bool qzerr_setError(qzerr_Status* status, int32_t code, const qzerr_ErrorSite* site,
                    bool* written = nullptr);
bool qzerr_addNestedError(qzerr_Status* status, const qzerr_Status* cause);
// Only inside a handler that catches everything; never throws.
void qzerr_statusFromCurrentException(qzerr_Status* status);
// Releases the detail buffer through the status's own grow function.
void qzerr_releaseJson(qzerr_Status* status);

// Detail writers: the jsonz writers retried through the grow handler.
char* qzerr_addJsonString(char* position, const char* key, const char* text, jsonz_GrowHandler* grow);
char* qzerr_addJsonStdString(char* position, const char* key, const std::string& text,
                             jsonz_GrowHandler* grow);
char* qzerr_addJsonRaw(char* position, const char* key, const std::string& json, jsonz_GrowHandler* grow);
char* qzerr_addJsonBool(char* position, const char* key, bool flag, jsonz_GrowHandler* grow);
char* qzerr_addJsonInt(char* position, const char* key, int32_t value, jsonz_GrowHandler* grow);
char* qzerr_addJsonLong(char* position, const char* key, int64_t value, jsonz_GrowHandler* grow);
char* qzerr_addJsonUInt(char* position, const char* key, uint32_t value, jsonz_GrowHandler* grow);
char* qzerr_addJsonULong(char* position, const char* key, uint64_t value, jsonz_GrowHandler* grow);
char* qzerr_openJsonObject(char* position, const char* key, jsonz_GrowHandler* grow);
char* qzerr_openJsonArray(char* position, const char* key, jsonz_GrowHandler* grow);
char* qzerr_closeJsonObject(char* position);
char* qzerr_closeJsonArray(char* position);
