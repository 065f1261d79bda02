#include "vesktools_timescales/timescaleHelpers.h"

#include <algorithm>
#include <deque>
#include <map>

#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"
#include "vesktools_curl/webHelperFunctions.h"
#include "vesktools_json/jsonHelperFunctions.h"
#include "vesktools_timescales/apiWrapperInterface.h"
#include "vesktools_timescales/qzqlmClientApi.h"

namespace vesktools::pendulo {

namespace {

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr char kTimescalePrefix[] = "/veskwebs/timescales/pendulo/";
constexpr char kTimeReferencesKey[] = "timeReferences";
constexpr char kHostSynchronizedKey[] = "isHostTimeSynchronized";
constexpr char kNoSuchReference[] = "The specified Pendulo Time Reference does not exist.";
constexpr char kOlderManager[] =
    "Pendulo does not have the specified attr; maybe the target is running an older version of Pendulo.";

const std::vector<std::string> kUriKeys = {"remoteHost", "webService", "resource", "plugin", "trId", "gmId"};

const char* const kAlwaysUsableTypes[] = {"IEEE 1588-2008 BC", "IEEE 802.1AS-2011 TAB"};
const char* const kUsableByPortStateTypes[] = {"IEEE 1588-2008", "IEEE 802.1AS-2011"};

template <size_t N>
bool isOneOf(const std::string& text, const char* const (&choices)[N]) {
  return std::find(std::begin(choices), std::end(choices), text) != std::end(choices);
}

// The texts of the errors about one attribute of a time reference.
struct AttributeText {
  const char* key;
  const char* keyName;  // beside "timeReferenceId"
  const char* notSetMessage;
  const char* nullMessage;
  const char* absentMessage;
  const char* absentKeyName;
  const char* answerName;
  bool answerBeforeKey;  // in the detail of an absent member
};

const AttributeText kGrandmasterId{"gmClockId",
                                   "gmClockIdKey",
                                   "The specified Pendulo Time Reference has not set a Grandmaster ID.",
                                   "The specified Pendulo Time Reference's Grandmaster ID is null.",
                                   "Failed to parse gmClockId key from gmIdJson.",
                                   "gmClockIdKey",
                                   "gmIdJson",
                                   true};
const AttributeText kTimeReferenceType{"type",
                                       "timeReferenceTypeKey",
                                       "The specified Pendulo Time Reference has not set a Time Reference Type",
                                       "The specified Pendulo Time Reference's Type is null.",
                                       "Failed to parse typeKey key from trTypeJson.",
                                       "typeKey",
                                       "trTypeJson",
                                       false};
const AttributeText kPortState{"portState",
                               "portStateKey",
                               "The specified Pendulo Time Reference has not set a Port State",
                               "The specified Pendulo Time Reference's Port State is null.",
                               "Failed to parse portStateKey key from trStateJson.",
                               "portStateKey",
                               "trStateJson",
                               false};

// The answer's member named `key`, looked up without regard to case; null
// when absent (a top level that is not an object has no members).
const cJSON* findMember(const CppJson& answer, const char* key) {
  return CppJson::isObject(answer.get()) ? cJSON_GetObjectItem(answer.get(), key) : nullptr;
}

int32_t codeOf(const qzerr::Exception& error) { return error.status().code; }

std::string askTimeReferenceAttribute(qzpendulo::ApiWrapperInterface& api, const std::string& timeReferenceId,
                                      const AttributeText& attribute) {
  std::string answer;
  try {
    api.getTrAttrJson(timeReferenceId, attribute.key, &answer);
  } catch (const qzerr::Exception& error) {
    const char* message = codeOf(error) == qzqlm::kAttributeNotFound      ? attribute.notSetMessage
                          : codeOf(error) == qzqlm::kTimeReferenceNotFound ? kNoSuchReference
                                                                          : nullptr;
    if (message == nullptr) throw;
    QZERR_ERROR(qzerr::kResourceNotFound)
        .channel(kChannel, message)
        .add("timeReferenceId", timeReferenceId)
        .add(attribute.keyName, attribute.key)
        .nested(&error.status())
        .raise();
  }
  return answer;
}

// A text attribute of a time reference: absent -52005, null or empty -52006,
// another kind the rewrapped -52004.
std::string readTimeReferenceAttribute(qzpendulo::ApiWrapperInterface& api, const std::string& timeReferenceId,
                                       const AttributeText& attribute) {
  const std::string answer = askTimeReferenceAttribute(api, timeReferenceId, attribute);
  CppJson document(answer.c_str());
  const cJSON* member = findMember(document, attribute.key);
  if (member == nullptr) {
    qzerr::Error error(qzerr::kInvalidParameter.code, QZERR_SITE(qzerr::kInvalidParameter));
    error.channel(kChannel, attribute.absentMessage);
    if (attribute.answerBeforeKey) error.add(attribute.answerName, answer).add(attribute.absentKeyName, attribute.key);
    else error.add(attribute.absentKeyName, attribute.key).add(attribute.answerName, answer);
    error.raise();
  }
  std::string value;
  if (!CppJson::isNull(member)) {
    try {
      value = CppJson::getString(member);
    } catch (const qzerr::Exception&) {
      vesktools::rethrowTypeMismatch(answer, attribute.key);
    }
  }
  if (value.empty()) {
    QZERR_ERROR(qzerr::kResourceNotFound)
        .channel(kChannel, attribute.nullMessage)
        .add("timeReferenceId", timeReferenceId)
        .add(attribute.keyName, attribute.key)
        .raise();
  }
  return value;
}

// An attribute of the manager; its "not there" code means an older manager.
std::string askManagerAttribute(qzpendulo::ApiWrapperInterface& api, const char* key) {
  std::string answer;
  try {
    api.getQlmAttrJson(key, &answer);
  } catch (const qzerr::Exception& error) {
    if (codeOf(error) != qzqlm::kAttributeNotFound) throw;
    QZERR_ERROR(qzerr::kResourceNotFound)
        .channel(kChannel, kOlderManager)
        .add("attrKey", key)
        .nested(&error.status())
        .raise();
  }
  return answer;
}

// The manager's list of reference ids; false when the member is absent.
// Null is an empty list; a value that is not an array of strings fails with
// the JSON layer's own -52004.
bool readTimeReferenceIds(qzpendulo::ApiWrapperInterface& api, std::string* answer,
                          std::vector<std::string>* ids) {
  *answer = askManagerAttribute(api, kTimeReferencesKey);
  CppJson document(answer->c_str());
  const cJSON* member = findMember(document, kTimeReferencesKey);
  if (member == nullptr) return false;
  if (CppJson::isNull(member)) return true;
  for (CppJson::ArrayIterator element(member); !element.atEnd(); ++element) {
    ids->push_back(CppJson::getString(*element));
  }
  return true;
}

}  // namespace

TimescaleHelpers::TimescaleHelpers(std::shared_ptr<qzpendulo::ApiWrapperInterface> api) : api_(std::move(api)) {}

std::string& TimescaleHelpers::sanitize(std::string& text) {
  std::replace(text.begin(), text.end(), ' ', '-');
  return text;
}

std::string TimescaleHelpers::getHostlessUri(const std::string& uri) {
  std::map<std::string, std::string> parts;
  vesktools::parseUri(uri, kUriKeys, parts);
  std::string hostless;
  for (auto key = kUriKeys.begin() + 1; key != kUriKeys.end(); ++key) hostless += "/" + parts[*key];
  return hostless;
}

std::string TimescaleHelpers::getGrandmasterId(const std::string& timeReferenceId) {
  return readTimeReferenceAttribute(*api_, timeReferenceId, kGrandmasterId);
}

std::string TimescaleHelpers::getTimescaleUri(const std::string& timeReferenceId) {
  const std::string grandmasterId = getGrandmasterId(timeReferenceId);
  std::string uri = kTimescalePrefix + timeReferenceId + "/" + grandmasterId;
  return sanitize(uri);
}

std::string TimescaleHelpers::getFirstTimeReferenceId() {
  std::string answer;
  std::vector<std::string> ids;
  if (!readTimeReferenceIds(*api_, &answer, &ids) || ids.empty()) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Failed to parse TR ID from TR list JSON or TR list is empty.")
        .add("trListJson", answer)
        .add("trId", kTimeReferencesKey)
        .raise();
  }
  return ids.front();
}

std::string TimescaleHelpers::getFirstTimescaleUri() { return getTimescaleUri(getFirstTimeReferenceId()); }

std::vector<std::string> TimescaleHelpers::getUsableTimescaleUris() {
  std::deque<std::string> usable;
  for (const std::string& id : getTimeReferenceIds()) {
    const std::string type = getTimeReferenceType(id);
    if (isOneOf(type, kAlwaysUsableTypes)) {
      usable.push_front(getTimescaleUri(id));
    } else if (isOneOf(type, kUsableByPortStateTypes)) {
      if (isMasterOrDisabled(id)) usable.push_back(getTimescaleUri(id));
      else if (isSlaveOf(id)) usable.push_front(getTimescaleUri(id));
    }
  }
  return std::vector<std::string>(usable.begin(), usable.end());
}

std::string TimescaleHelpers::getFirstGrandmasterId() { return getGrandmasterId(getFirstTimeReferenceId()); }

bool TimescaleHelpers::isHostTimeSynchronized() {
  std::string answer;
  try {
    answer = askManagerAttribute(*api_, kHostSynchronizedKey);
  } catch (const qzerr::Exception& error) {
    if (codeOf(error) == qzerr::kCommunicationsFault.code) return false;
    throw;
  }
  CppJson document(answer.c_str());
  const cJSON* member = findMember(document, kHostSynchronizedKey);
  if (member == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Failed to parse isHostTimeSynchronized from QLM JSON.")
        .add("isHostTimeSynchronizedJson", answer)
        .raise();
  }
  if (CppJson::isNull(member)) return true;
  try {
    return CppJson::getBool(member);
  } catch (const qzerr::Exception&) {
    vesktools::rethrowTypeMismatch(answer, kHostSynchronizedKey);
  }
}

std::vector<std::string> TimescaleHelpers::getTimeReferenceIds() {
  std::string answer;
  std::vector<std::string> ids;
  if (!readTimeReferenceIds(*api_, &answer, &ids)) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Failed to parse TR IDs from TR list JSON.")
        .add("trListJson", answer)
        .add("trIds", kTimeReferencesKey)
        .raise();
  }
  return ids;
}

std::string TimescaleHelpers::getTimeReferenceType(const std::string& timeReferenceId) {
  return readTimeReferenceAttribute(*api_, timeReferenceId, kTimeReferenceType);
}

std::string TimescaleHelpers::getPortState(const std::string& timeReferenceId) {
  return readTimeReferenceAttribute(*api_, timeReferenceId, kPortState);
}

bool TimescaleHelpers::isMasterOrDisabled(const std::string& timeReferenceId) {
  const std::string portState = getPortState(timeReferenceId);
  return portState == "PTP_MASTER" || portState == "PTP_DISABLED";
}

bool TimescaleHelpers::isSlaveOf(const std::string& timeReferenceId) {
  const std::string portState = getPortState(timeReferenceId);
  std::string selectedId;
  if (!api_->getSelectedTrId(&selectedId)) return false;
  return selectedId == timeReferenceId && portState == "PTP_SLAVE";
}

}  // namespace vesktools::pendulo
