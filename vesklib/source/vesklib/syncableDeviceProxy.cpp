#include "vesklib/syncableDeviceProxy.h"

#include <map>
#include <utility>
#include <vector>

#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"
#include "vesklib/grandmasterIdentity.h"
#include "vesklib/jsonMemberRule.h"
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

// The member a reader requires: a missing one fails with the reader's message.
const cJSON* requireMember(const JsonObjectView& document, const char* key, const char* missingMessage,
                           const std::string& deviceUri) {
  const cJSON* member = findMember(document, key);
  if (member == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, missingMessage)
        .add("JsonKey", key)
        .add("uri", deviceUri)
        .raise();
  }
  return member;
}

// Reads a required member by the member rule; null gives the type's zero.
uint32_t readUint32(const JsonObjectView& document, const char* key, const char* missingMessage,
                    const std::string& deviceUri) {
  return readUint32Member(document, key, requireMember(document, key, missingMessage, deviceUri), 0);
}

bool readBool(const JsonObjectView& document, const char* key, const char* missingMessage,
              const std::string& deviceUri) {
  return readBoolMember(document, key, requireMember(document, key, missingMessage, deviceUri), false);
}

std::string readString(const JsonObjectView& document, const char* key, const char* missingMessage,
                       const std::string& deviceUri) {
  return readStringMember(document, key, requireMember(document, key, missingMessage, deviceUri));
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
  const JsonObjectView requirements{member, text};
  Requirements read;
  read.maxOffset_ns = readUint32(requirements, "maxOffset_ns",
                                 "SyncableDeviceProxy: maxOffset_ns key not found in coherencyRequirements",
                                 deviceUri);
  read.minSyncDuration_ms = readUint32(
      requirements, "minSyncDuration_ms",
      "SyncableDeviceProxy: minSyncDuration_ms key not found in coherencyRequirements", deviceUri);
  read.requiredTimescaleUri = readString(
      requirements, "requiredTimescaleUri",
      "SyncableDeviceProxy: requiredTimescaleUri key not found in coherencyRequirements", deviceUri);
  return read;
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
  const JsonObjectView document{parsed.get(), answer};
  const bool coherent =
      readBool(document, "isCoherent", "Remote syncable device did not specify its coherency state.", uri_);
  const uint32_t count =
      readUint32(document, "coherencyLossCount",
                 "Remote syncable device did not specify the number of times it has lost coherency.", uri_);
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
  const JsonObjectView document{parsed.get(), answer};
  const std::string remoteUri = readString(
      document, "uri", "URI key not found in the JSON object received from the remote syncable device.", uri_);
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
