#include "vesklib/proxyResources.h"

#include <malloc.h>

#include <cstdint>
#include <map>

#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"
#include "vesklib/jsonMemberRule.h"
#include "vesklib/syncableDeviceProxy.h"
#include "vesklib/timescaleProxy.h"
#include "vesktools_curl/webHelperFunctions.h"
#include "vesktools_json/jsonHelperFunctions.h"

namespace vesklib {

namespace {

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr char kParamsType[] = "networkDeviceParams";
constexpr uint32_t kSupportedVersion = 1;
constexpr uint32_t kNoVersion = 4294967295u;
constexpr uint32_t kTimeoutMs = 10000;
constexpr int32_t kTimestampDaemonPort = 9123;
constexpr char kDeviceResource[] = "syncableDevices";
constexpr char kTimescaleResource[] = "timescales";

// The element texts of the target's resource list, in order.
std::vector<std::string> readResourceList(const std::string& remoteHost, const std::string& answer) {
  const CppJson parsed(answer.c_str());
  const uint32_t version = uint32Value(cJSON_GetObjectItem(parsed.get(), "version"), kNoVersion);
  if (version != kSupportedVersion) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Sync Domain API version in JSON response from chassis missing or incorrect.")
        .add("remoteHost", remoteHost)
        .add("response", answer)
        .add("version", version)
        .raise();
  }
  const cJSON* resources = cJSON_GetObjectItem(parsed.get(), "resources");
  if (resources == nullptr) {
    QZERR_ERROR(qzerr::kResourceNotFound)
        .channel(kChannel, "Error parsing 'resources' key from JSON response.")
        .add("response", answer)
        .raise();
  }
  std::vector<std::string> elements;
  if (CppJson::isNull(resources)) return elements;
  for (CppJson::ArrayIterator it(resources); !it.atEnd(); ++it) {
    CppJson::requireObject(*it);
    elements.push_back(CppJson::print(*it));
  }
  return elements;
}

// Adds the proxy of one listed resource to `loaded`. Only the first device
// is handed out, so a later one is checked but never made: each proxy holds
// an HTTP connection of its own, and a target may list very many devices.
void loadResource(const std::string& remoteHost, const std::string& element, ProxyResources* loaded) {
  const CppJson parsed(element.c_str());
  const cJSON* uri = cJSON_GetObjectItem(parsed.get(), "uri");
  if (uri == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Error parsing 'uri' key from resource JSON array element.")
        .add("resource", element)
        .raise();
  }
  const std::string resourceUri = vesktools::bracketIpv6Host(remoteHost) + stringValue(uri);
  std::map<std::string, std::string> parts;
  vesktools::parseUri(resourceUri, vesktools::remoteResourceUriKeys(), parts);
  const std::string& resource = parts["resource"];
  if (resource == kDeviceResource) {
    // The proxy would split the URI by the same keys: a later device is
    // refused exactly as it would be at its making.
    if (loaded->device == nullptr) loaded->device = std::make_unique<SyncableDeviceProxy>(resourceUri);
  } else if (resource == kTimescaleResource) {
    loaded->timescales.push_back(std::make_unique<TimescaleProxy>(resourceUri, remoteHost, kTimestampDaemonPort));
  } else {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "ResourceType in one of the resources returned from chassis is missing or invalid.")
        .add("expectedType1", kDeviceResource)
        .add("expectedType2", kTimescaleResource)
        .add("resourceType", resource)
        .add("resourceUri", resourceUri)
        .raise();
  }
}

}  // namespace

std::string readRemoteHost(const std::string& json, const char* source) {
  vesktools::validateJsonString(json, "networkDeviceParamsJson contains an invalid JSON string.", source);
  const CppJson parsed(json.c_str());
  const JsonObjectView document{parsed.get(), json};

  const uint32_t version = readUint32Member(document, "version", findMember(document, "version"), kNoVersion);
  if (version != kSupportedVersion) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Sync Domain API version in networkDeviceParamsJson missing or incorrect.")
        .addRaw("networkDeviceParamsJson", json)
        .add("version", version)
        .raise();
  }
  const std::string type = readStringMember(document, "type", findMember(document, "type"));
  if (type != kParamsType) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Type in networkDeviceParamsJson missing or invalid.")
        .add("expectedType", kParamsType)
        .add("type", type)
        .addRaw("networkDeviceParamsJson", json)
        .raise();
  }
  const cJSON* params = findMember(document, "params");
  if (params == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Error parsing 'params' key from networkDeviceParamsJson")
        .addRaw("networkDeviceParamsJson", json)
        .raise();
  }
  CppJson::requireObject(params);
  // A wrong kind names the object searched, which is "params" here.
  const std::string paramsText = CppJson::print(params);
  const JsonObjectView paramsView{params, paramsText};
  const cJSON* remoteHost = findMember(paramsView, "remoteHost");
  if (remoteHost == nullptr) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Error parsing 'remoteHost' key from networkDeviceParamsJson")
        .addRaw("networkDeviceParamsJson", json)
        .raise();
  }
  return readStringMember(paramsView, "remoteHost", remoteHost);
}

namespace {

ProxyResources loadListedResources(const std::string& networkDeviceParamsJson, const char* source) {
  const std::string remoteHost = readRemoteHost(networkDeviceParamsJson, source);
  const std::string answer = vesktools::sendSyncDomainGetRequest(
      "http://" + vesktools::bracketIpv6Host(remoteHost), "veskwebs", "resources", kTimeoutMs);
  ProxyResources loaded;
  for (const std::string& element : readResourceList(remoteHost, answer)) loadResource(remoteHost, element, &loaded);
  if (loaded.device == nullptr) {
    QZERR_ERROR(qzerr::kResourceNotFound)
        .channel(kChannel, "No syncableDevices returned from remote chassis to load.")
        .add("resourceType", "syncableDevice")
        .add("remoteHost", remoteHost)
        .raise();
  }
  return loaded;
}

// Freed, the many small blocks that reading a long list takes stay with the
// allocator: a daemon that once loaded such a target would hold their size
// for good.
struct ReturnFreedMemory {
  ~ReturnFreedMemory() { malloc_trim(0); }
};

}  // namespace

ProxyResources loadProxyResources(const std::string& networkDeviceParamsJson, const char* source) {
  const ReturnFreedMemory returnFreedMemory;
  return loadListedResources(networkDeviceParamsJson, source);
}

}  // namespace vesklib
