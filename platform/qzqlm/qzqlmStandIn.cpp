// Our stand-in for the Pendulo manager client library. It answers from a
// JSON state file named by QZQLM_STATE_FILE, read anew at every call, so a
// test or a person can change the manager's answers while a process runs:
//
//   {
//     "reachable": true,                       // false: every call fails -52024
//     "apiVersion": 1,
//     "qlmAttributes": {"isHostTimeSynchronized": true, "timeReferences": ["PTP 0"]},
//     "selectedTrId": "PTP 0",                 // absent or null: none selected
//     "selectedTrOffsetNanos": 0,
//     "timeReferences": {"PTP 0": {"type": "IEEE 1588-2008", "portState": "PTP_SLAVE",
//                                  "gmClockId": "00:11:22:ff:fe:33:44:55"}},
//     "failures": {"getTrAttrJson": {"code": -52024, "message": "..."}},
//     "fillBuffers": false                     // true: an answer that does not fit
//   }                                          // fills the buffer without a NUL
//
// An attribute answer is {"<key>": value} with the value as the file holds it.
// A missing or unreadable file means the manager cannot be reached (-52024);
// an unknown reference gives -1074100991, an unknown attribute -1074100990.
// A forced failure with a positive code is a warning: the answer still comes.
// Failures are written through the caller's grow function, as the manager's
// own library does. Nothing here touches the host clock.
#include <cjson/cJSON.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "qzerr/status.h"

#pragma GCC visibility push(default)
#include "vesktools_timescales/qzqlmClientApi.h"
#pragma GCC visibility pop

namespace {

constexpr char kStateVariable[] = "QZQLM_STATE_FILE";
constexpr int32_t kCommunicationsFault = -52024;
constexpr int32_t kBufferTooSmall = -52019;

struct ManagerError {
  int32_t code;
  const char* constant;
};

constexpr ManagerError kUnreachable{kCommunicationsFault, "qzkormerr_communicationsFault"};
constexpr ManagerError kNoSuchReference{qzqlm::kTimeReferenceNotFound, "qzqlmerr_timeReferenceNotFound"};
constexpr ManagerError kNoSuchAttribute{qzqlm::kAttributeNotFound, "qzqlmerr_attributeNotFound"};
constexpr ManagerError kTooSmall{kBufferTooSmall, "qzkormerr_bufferTooSmall"};

cJSON* readStateFile() {
  const char* path = getenv(kStateVariable);
  if (path == nullptr) return nullptr;
  std::ifstream file(path);
  if (!file) return nullptr;
  std::stringstream text;
  text << file.rdbuf();
  return cJSON_Parse(text.str().c_str());
}

// Keeps the buffer in the caller's shape: text, NUL, zeros, 'J' last.
void writeDetail(qzerr_Status* status, const std::string& text) {
  const int32_t need = static_cast<int32_t>(text.size()) + 2;
  if (status->grow == nullptr || !status->grow(status, need) || status->capacity < need) return;
  memset(status->json, 0, static_cast<size_t>(status->capacity));
  memcpy(status->json, text.data(), text.size());
  status->json[status->capacity - 1] = 'J';
}

// One call into the library: the state as the file holds it now, and the
// caller's status, which takes at most one code (an error, or a warning that
// an error may still replace).
class Call {
 public:
  Call(const char* function, qzerr_Status* status) : function_(function), status_(status) {
    if (status_->code < 0) return;
    state_ = readStateFile();
    if (state_ == nullptr) {
      fail(kUnreachable, "Cannot reach the time-synchronisation manager: no readable state file.");
      return;
    }
    if (cJSON_IsFalse(member(state_, "reachable"))) {
      fail(kUnreachable, "Cannot reach the time-synchronisation manager.");
      return;
    }
    applyForcedFailure();
  }
  ~Call() { cJSON_Delete(state_); }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  bool failed() const { return status_->code < 0; }
  const cJSON* state() const { return state_; }

  static const cJSON* member(const cJSON* object, const char* name) {
    return cJSON_IsObject(object) ? cJSON_GetObjectItemCaseSensitive(object, name) : nullptr;
  }

  // The reference's attribute object, or null after failing.
  const cJSON* reference(const char* trId) {
    const cJSON* found = member(member(state_, "timeReferences"), trId);
    if (found == nullptr) fail(kNoSuchReference, "The time reference does not exist.", "trId", trId);
    return found;
  }

  void fail(const ManagerError& error, const std::string& message, const char* key = nullptr,
            const char* value = nullptr) {
    report(error.code, error.constant, message, key, value);
  }

  // {"<key>": value}, or a failure when the object lacks the attribute.
  void answerAttribute(const cJSON* attributes, const char* key, char* buffer, uint32_t size) {
    const cJSON* value = member(attributes, key);
    if (value == nullptr) {
      fail(kNoSuchAttribute, "The attribute is not set or not known.", "attrKey", key);
      return;
    }
    cJSON* answer = cJSON_CreateObject();
    cJSON_AddItemToObject(answer, key, cJSON_Duplicate(value, true));
    answerJson(answer, buffer, size);
    cJSON_Delete(answer);
  }

  void answerJson(const cJSON* value, char* buffer, uint32_t size) {
    char* printed = cJSON_PrintUnformatted(value);
    answerText(printed ? printed : "null", buffer, size);
    cJSON_free(printed);
  }

  void answerText(const std::string& text, char* buffer, uint32_t size) {
    if (text.size() < size) {
      memcpy(buffer, text.c_str(), text.size() + 1);
      return;
    }
    if (cJSON_IsTrue(member(state_, "fillBuffers"))) {
      memcpy(buffer, text.data(), size);
      return;
    }
    char required[24];
    snprintf(required, sizeof required, "%zu", text.size() + 1);
    fail(kTooSmall, "The answer does not fit the buffer.", "requiredSize", required);
  }

 private:
  void applyForcedFailure() {
    const cJSON* forced = member(member(state_, "failures"), function_);
    const cJSON* code = member(forced, "code");
    if (!cJSON_IsNumber(code)) return;
    const cJSON* message = member(forced, "message");
    report(static_cast<int32_t>(code->valuedouble), "qzqlmerr_forced",
           cJSON_IsString(message) ? message->valuestring : "Forced failure.", nullptr, nullptr);
  }

  void report(int32_t code, const char* constant, const std::string& message, const char* key,
              const char* value) {
    const bool takes = status_->code == 0 ? code != 0 : status_->code > 0 && code < 0;
    if (!takes) return;
    status_->code = code;
    cJSON* detail = cJSON_CreateObject();
    cJSON_AddStringToObject(detail, "error_constant", constant);
    cJSON_AddStringToObject(detail, "component", "qzqlm_clientapi");
    cJSON* channel = cJSON_AddObjectToObject(detail, "qzqlm_debug");
    cJSON_AddStringToObject(channel, "message", message.c_str());
    cJSON_AddStringToObject(channel, "function", function_);
    if (key != nullptr) cJSON_AddStringToObject(channel, key, value);
    char* printed = cJSON_PrintUnformatted(detail);
    if (printed != nullptr) writeDetail(status_, printed);
    cJSON_free(printed);
    cJSON_Delete(detail);
  }

  const char* function_;
  qzerr_Status* status_;
  cJSON* state_ = nullptr;
};

int32_t numberOr(const cJSON* value, int32_t fallback) {
  return cJSON_IsNumber(value) ? static_cast<int32_t>(value->valuedouble) : fallback;
}

// A call that only checks that the manager answers (and, with an id, that
// the reference exists).
void serviceCall(const char* function, const char* trId, qzerr_Status* status) {
  Call call(function, status);
  if (!call.failed() && trId != nullptr) call.reference(trId);
}

}  // namespace

int32_t qzqlmclientapi_getApiVersion(void) {
  cJSON* state = readStateFile();
  const int32_t version = numberOr(Call::member(state, "apiVersion"), 1);
  cJSON_Delete(state);
  return version;
}

bool qzqlmclientapi_getSelectedTrId(char* trId, uint32_t trIdSize, qzerr_Status* status) {
  Call call("getSelectedTrId", status);
  if (call.failed()) return false;
  const cJSON* selected = Call::member(call.state(), "selectedTrId");
  if (!cJSON_IsString(selected)) return false;
  call.answerText(selected->valuestring, trId, trIdSize);
  return !call.failed();
}

int32_t qzqlmclientapi_getSelectedTrOffsetNanos(int64_t, qzerr_Status* status) {
  Call call("getSelectedTrOffsetNanos", status);
  if (call.failed()) return 0;
  return numberOr(Call::member(call.state(), "selectedTrOffsetNanos"), 0);
}

void qzqlmclientapi_getQlmAttrJson(const char* attrKey, char* json, uint32_t jsonSize, qzerr_Status* status) {
  Call call("getQlmAttrJson", status);
  if (call.failed()) return;
  call.answerAttribute(Call::member(call.state(), "qlmAttributes"), attrKey, json, jsonSize);
}

void qzqlmclientapi_getQlmMetadataJson(char* json, uint32_t jsonSize, qzerr_Status* status) {
  Call call("getQlmMetadataJson", status);
  if (call.failed()) return;
  const cJSON* attributes = Call::member(call.state(), "qlmAttributes");
  if (attributes == nullptr) {
    call.answerText("{}", json, jsonSize);
    return;
  }
  call.answerJson(attributes, json, jsonSize);
}

void qzqlmclientapi_getTrAttrJson(const char* trId, const char* attrKey, char* json, uint32_t jsonSize,
                                  qzerr_Status* status) {
  Call call("getTrAttrJson", status);
  if (call.failed()) return;
  const cJSON* reference = call.reference(trId);
  if (reference != nullptr) call.answerAttribute(reference, attrKey, json, jsonSize);
}

void qzqlmclientapi_getTrMetadataJson(const char* trId, char* json, uint32_t jsonSize, qzerr_Status* status) {
  Call call("getTrMetadataJson", status);
  if (call.failed()) return;
  const cJSON* reference = call.reference(trId);
  if (reference != nullptr) call.answerJson(reference, json, jsonSize);
}

// The stand-in keeps no state of its own: a set attribute is not remembered.
void qzqlmclientapi_setTrAttr(const char* trId, const char*, const char*, qzerr_Status* status) {
  serviceCall("setTrAttr", trId, status);
}

void qzqlmclientapi_restartService(qzerr_Status* status) { serviceCall("restartService", nullptr, status); }
void qzqlmclientapi_bringDownService(qzerr_Status* status) { serviceCall("bringDownService", nullptr, status); }
void qzqlmclientapi_bringUpService(qzerr_Status* status) { serviceCall("bringUpService", nullptr, status); }
void qzqlmclientapi_updateTrFromConfig(const char* trId, qzerr_Status* status) {
  serviceCall("updateTrFromConfig", trId, status);
}
void qzqlmclientapi_persistConfig(qzerr_Status* status) { serviceCall("persistConfig", nullptr, status); }

// The build for the tests of a library that lacks a function leaves this one out.
#ifndef QZQLM_STANDIN_WITHOUT_ADJUST_TIME
int32_t qzqlmclientapi_adjustTime(int64_t, int64_t, qzerr_Status* status) {
  Call call("adjustTime", status);
  return call.failed() ? -1 : 0;
}
#endif
