#include "vesksapi/session/createAndAddDocuments.h"

#include <utility>

#include "jsonz/jsonString.h"
#include "vesksapi/session/jsonHelperFunctions.h"

namespace vesksapi {

namespace {

template <typename Strings>
std::string writeStringArray(const Strings& strings) {
  std::string elements;
  for (const std::string& text : strings) elements += (elements.empty() ? "" : ",") + jsonz::jsonString(text);
  return "[" + elements + "]";
}

}  // namespace

std::string writeParamsEnvelope(uint32_t version, const std::string& type, const std::string& params) {
  return "{\"version\":" + std::to_string(version) + ",\"type\":" + jsonz::jsonString(type) +
         ",\"params\":" + params + "}";
}

std::string networkDeviceParamsJson(const std::string& remoteHost) {
  return writeParamsEnvelope(1, "networkDeviceParams", "{\"remoteHost\":" + jsonz::jsonString(remoteHost) + "}");
}

bool readStringArray(const std::string& json, const std::string& key, std::vector<std::string>& list) {
  return getJsonStringArray(JsonObjectText(json), key, list);
}

std::string writeTimescalesAndDevices(const TimescaleGrouping& grouping) {
  std::string entries;
  for (const auto& entry : grouping) {
    entries += (entries.empty() ? "{" : ",{") + std::string("\"timescaleUri\":") +
               jsonz::jsonString(entry.second.timescaleUri) +
               ",\"syncableDeviceUris\":" + writeStringArray(entry.second.devices) + "}";
  }
  return "[" + entries + "]";
}

}  // namespace vesksapi
