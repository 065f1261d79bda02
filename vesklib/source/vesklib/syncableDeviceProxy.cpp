#include "vesklib/syncableDeviceProxy.h"

#include <boost/numeric/conversion/cast.hpp>

#include <cctype>
#include <map>
#include <utility>
#include <vector>

#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"
#include "vesktools_curl/vantorshared/tCURL.h"
#include "vesktools_curl/webHelperFunctions.h"
#include "vesktools_json/jsonHelperFunctions.h"

namespace vesklib {
namespace {

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr uint32_t kTimeoutMs = 10000;
constexpr uint32_t kMaxSupportedVersion = 1;

constexpr char kNoVersionMessage[] = "Remote syncable device did not specify its API version.";
constexpr char kUnsupportedVersionMessage[] = "Remote syncable device specified an unsupported API version.";

// One object of a received or passed document, with the text reported when
// one of its members has the wrong kind.
struct Document {
  const cJSON* object;
  const std::string& json;
};

// The member rule: names match in any letter case, a missing member fails
// with the reader's message, JSON null keeps the default, a wrong kind fails
// with -52004 "errCode".
const cJSON* requireMember(const Document& document, const char* key, const char* missingMessage,
                           const std::string& deviceUri) {
  const cJSON* member = cJSON_GetObjectItem(document.object, key);
  if (member == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, missingMessage)
        .add("JsonKey", key)
        .add("uri", deviceUri)
        .raise();
  }
  return member;
}

template <typename Check>
void requireKind(const Document& document, const char* key, const cJSON* member, Check check) {
  try {
    check(member);
  } catch (const qzerr::Exception&) {
    vesktools::rethrowTypeMismatch(document.json, key);
  }
}

// Truncated toward zero; -1 or less and 2^32 or more fail as a numeric
// conversion.
uint32_t readUint32(const Document& document, const char* key, const cJSON* member) {
  if (CppJson::isNull(member)) return 0;
  requireKind(document, key, member, CppJson::requireNumber);
  return boost::numeric_cast<uint32_t>(member->valuedouble);
}

bool readBool(const Document& document, const char* key, const cJSON* member) {
  if (CppJson::isNull(member)) return false;
  requireKind(document, key, member, CppJson::requireBool);
  return CppJson::getBool(member);
}

std::string readString(const Document& document, const char* key, const cJSON* member) {
  if (CppJson::isNull(member)) return "";
  requireKind(document, key, member, CppJson::requireString);
  return CppJson::getString(member);
}

struct Requirements {
  uint32_t maxOffset_ns;
  uint32_t minSyncDuration_ms;
  std::string requiredTimescaleUri;
};

Requirements readRequirements(const std::string& jsonRequirements, const std::string& deviceUri) {
  const CppJson document(jsonRequirements.c_str());
  const cJSON* member = cJSON_GetObjectItem(document.get(), "coherencyRequirements");
  if (member == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Unable to retrieve 'coherencyRequirements' key from JSON.")
        .add("JSON", jsonRequirements)
        .raise();
  }
  CppJson::requireObject(member);
  const std::string text = CppJson::print(member);
  const Document requirements{member, text};
  Requirements read;
  read.maxOffset_ns = readUint32(
      requirements, "maxOffset_ns",
      requireMember(requirements, "maxOffset_ns",
                    "SyncableDeviceProxy: maxOffset_ns key not found in coherencyRequirements", deviceUri));
  read.minSyncDuration_ms = readUint32(
      requirements, "minSyncDuration_ms",
      requireMember(requirements, "minSyncDuration_ms",
                    "SyncableDeviceProxy: minSyncDuration_ms key not found in coherencyRequirements", deviceUri));
  read.requiredTimescaleUri = readString(
      requirements, "requiredTimescaleUri",
      requireMember(requirements, "requiredTimescaleUri",
                    "SyncableDeviceProxy: requiredTimescaleUri key not found in coherencyRequirements", deviceUri));
  return read;
}

// Timescales are the same when their URIs end in the same grandmaster
// identity, whatever their hosts, letter case and '-' or ':' separators.
std::string grandmasterIdentity(const std::string& timescaleUri) {
  std::string identity = timescaleUri.substr(timescaleUri.rfind('/') + 1);
  for (char& c : identity) c = c == '-' ? ':' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return identity;
}

bool sameRequirements(const Requirements& a, const Requirements& b) {
  return a.maxOffset_ns == b.maxOffset_ns && a.minSyncDuration_ms == b.minSyncDuration_ms &&
         grandmasterIdentity(a.requiredTimescaleUri) == grandmasterIdentity(b.requiredTimescaleUri);
}

}  // namespace

SyncableDeviceProxy::SyncableDeviceProxy(const std::string& uri)
    : SyncableDeviceProxy(uri, std::make_shared<qz::vantor::shared::tCURL>()) {}

SyncableDeviceProxy::SyncableDeviceProxy(const std::string& uri, std::shared_ptr<qz::vantor::shared::iCURL> client)
    : uri_(uri), client_(std::move(client)) {
  std::map<std::string, std::string> parts;
  vesktools::parseUri(uri_, vesktools::remoteResourceUriKeys(), parts);
  urlPrefix_ = "http://" + parts["remoteHost"];
  webService_ = parts["webService"];
  resourcePath_ = parts["resource"] + "/" + parts["plugin"] + "/" + parts["type"] + "/" + parts["name"];
  hostlessUri_ = "/" + webService_ + "/" + resourcePath_;
  client_->init(urlPrefix_, webService_, kTimeoutMs);
  client_->setMediaType(vesktools::kSyncDomainMediaType);
}

std::string SyncableDeviceProxy::get() {
  return vesktools::sendGetRequest(client_, urlPrefix_, webService_, resourcePath_, kTimeoutMs);
}

void SyncableDeviceProxy::setCoherencyRequirements(const std::string& jsonRequirements,
                                                   const std::string& syncDomainUri) {
  vesktools::validateJsonString(
      jsonRequirements, "jsonRequirements passed to setCoherencyRequirements() contains an invalid JSON string.",
      url());
  Requirements next = readRequirements(jsonRequirements, uri_);

  // Check, PUT and take on as one step, so that two domains cannot both pass
  // the check against the old requirements.
  std::lock_guard<std::mutex> lock(mutex_);
  const Requirements current{maxOffset_ns_, minSyncDuration_ms_, requiredTimescaleUri_};
  if (!syncDomainUriSet_.empty() && !sameRequirements(current, next)) {
    QZERR_ERROR(qzerr::kConflictingCoherencyRequirements)
        .channel(kChannel,
                 "setCoherencyRequirements() was passed requirements that conflict with the requirements of "
                 "other Sync Domains already using the syncable device.")
        .add("New SyncDomain URI", syncDomainUri)
        .add("Current maxOffset_ns", current.maxOffset_ns)
        .add("New maxOffset_ns", next.maxOffset_ns)
        .add("Current minSyncDuration_ms", current.minSyncDuration_ms)
        .add("New minSyncDuration_ms", next.minSyncDuration_ms)
        .add("Current requiredTimescaleUri", current.requiredTimescaleUri)
        .add("New requiredTimescaleUri", next.requiredTimescaleUri)
        .add("syncDomainUriSet.size()", static_cast<uint64_t>(syncDomainUriSet_.size()))
        .raise();
  }
  vesktools::sendPutRequest(client_, urlPrefix_, webService_, resourcePath_, kTimeoutMs, jsonRequirements);
  syncDomainUriSet_.insert(syncDomainUri);
  maxOffset_ns_ = next.maxOffset_ns;
  minSyncDuration_ms_ = next.minSyncDuration_ms;
  requiredTimescaleUri_ = std::move(next.requiredTimescaleUri);
}

void SyncableDeviceProxy::clearCoherencyRequirements(const std::string& syncDomainUri) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  syncDomainUriSet_.erase(syncDomainUri);
}

bool SyncableDeviceProxy::isCoherent(uint32_t* coherencyLossCount) {
  if (coherencyLossCount == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Encountered missing parameter needed for task completion.")
        .add("coherencyLossCount", "nullptr")
        .raise();
  }
  std::string answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer = get();
  }
  vesktools::validateJsonString(answer, "Remote SyncableDevice returned invalid JSON while checking coherency.",
                                url());
  vesktools::checkRemoteApiVersion(uri_, answer, kMaxSupportedVersion, kNoVersionMessage,
                                   kUnsupportedVersionMessage);
  const CppJson parsed(answer.c_str());
  const Document document{parsed.get(), answer};
  const bool coherent =
      readBool(document, "isCoherent",
               requireMember(document, "isCoherent", "Remote syncable device did not specify its coherency state.",
                             uri_));
  const uint32_t count = readUint32(
      document, "coherencyLossCount",
      requireMember(document, "coherencyLossCount",
                    "Remote syncable device did not specify the number of times it has lost coherency.", uri_));
  *coherencyLossCount = count;
  return coherent;
}

std::string SyncableDeviceProxy::toJson() {
  std::string answer;
  std::vector<std::string> syncDomainUris;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer = get();
    syncDomainUris.assign(syncDomainUriSet_.begin(), syncDomainUriSet_.end());
  }
  vesktools::validateJsonString(answer, "Remote SyncableDevice returned invalid JSON in call to toJson().", url());
  vesktools::checkRemoteApiVersion(uri_, answer, kMaxSupportedVersion, kNoVersionMessage,
                                   kUnsupportedVersionMessage);
  CppJson parsed(answer.c_str());
  const Document document{parsed.get(), answer};
  const std::string remoteUri = readString(
      document, "uri",
      requireMember(document, "uri", "URI key not found in the JSON object received from the remote syncable device.",
                    uri_));
  if (remoteUri != hostlessUri_) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "URI received from remote syncableDevice didn't match expected value.")
        .add("Expected URI", hostlessUri_)
        .add("Remote syncable device URI", remoteUri)
        .raise();
  }

  // The member keeps its place and takes the name "uri".
  CppJson fullUri(CppJson::createString(uri_.c_str()));
  if (!cJSON_ReplaceItemInObject(parsed.get(), "uri", fullUri.get())) throw std::bad_alloc();
  fullUri.release();

  CppJson domains(CppJson::createArray());
  for (const std::string& syncDomainUri : syncDomainUris) {
    CppJson element(CppJson::createString(syncDomainUri.c_str()));
    if (!cJSON_AddItemToArray(domains.get(), element.get())) throw std::bad_alloc();
    element.release();
  }
  CppJson::addItemToObject(parsed.get(), "syncDomainUris", domains.get());
  domains.release();
  return CppJson::print(parsed.get());
}

}  // namespace vesklib
