// Owning handle of a cJSON tree and the two conversions the simulator needs.
// A null handle means "no tree" (text that did not parse, or nothing built).
#pragma once

#include <cjson/cJSON.h>

#include <memory>
#include <string>

namespace vesktools::targetsim {

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using JsonHandle = std::unique_ptr<cJSON, JsonDeleter>;

// One complete JSON text, nothing after it but white space; null otherwise.
inline JsonHandle parseJson(const std::string& text) {
  const char* end = nullptr;
  return JsonHandle(cJSON_ParseWithOpts(text.c_str(), &end, true));
}

// Without white space, as the web service writes its answers.
inline std::string printJson(const cJSON* item) {
  char* text = cJSON_PrintUnformatted(item);
  if (text == nullptr) return "null";
  std::string result(text);
  cJSON_free(text);
  return result;
}

}  // namespace vesktools::targetsim
