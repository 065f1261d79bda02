#include "vesksapi/client/paramsEnvelope.h"

#include "jsonz/jsonString.h"

namespace vesksapi {

std::string makeParamsEnvelope(const std::string& type, const std::string& typeParamsJson) {
  return "{\"version\":1,\"type\":" + jsonz::jsonString(type) + ",\"params\":" + typeParamsJson + "}";
}

}  // namespace vesksapi
