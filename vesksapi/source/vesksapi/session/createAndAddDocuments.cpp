#include "vesksapi/session/createAndAddDocuments.h"

#include <utility>

#include "jsonz/jsonString.h"
#include "qzjsonlh/cppJson.h"

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
  const CppJson document(json.c_str());
  const cJSON* member = CppJson::isObject(document.get()) ? cJSON_GetObjectItem(document.get(), key.c_str())
                                                          : nullptr;
  if (member == nullptr) return false;
  if (CppJson::isNull(member)) return true;
  std::vector<std::string> read;
  for (CppJson::ArrayIterator it(member); !it.atEnd(); ++it) read.push_back(CppJson::getString(*it));
  list = std::move(read);
  return true;
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
