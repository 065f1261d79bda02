#include "vesklib/jsonMemberRule.h"

#include <boost/numeric/conversion/cast.hpp>

#include "qzerr/exception.h"
#include "qzjsonlh/cppJson.h"
#include "vesktools_json/jsonHelperFunctions.h"

namespace vesklib {

namespace {

template <typename Read>
auto asMemberRule(const JsonObjectView& document, const char* key, Read read) {
  try {
    return read();
  } catch (const qzerr::Exception&) {
    vesktools::rethrowTypeMismatch(document.json, key);
  }
}

// A member that is absent reads like one that is null.
bool holdsNothing(const cJSON* member) { return member == nullptr || CppJson::isNull(member); }

}  // namespace

const cJSON* findMember(const JsonObjectView& document, const char* key) {
  return cJSON_GetObjectItem(document.object, key);
}

uint32_t uint32Value(const cJSON* member, uint32_t nullValue) {
  if (holdsNothing(member)) return nullValue;
  CppJson::requireNumber(member);
  return boost::numeric_cast<uint32_t>(member->valuedouble);
}

std::string stringValue(const cJSON* member, const std::string& nullValue) {
  if (holdsNothing(member)) return nullValue;
  return CppJson::getString(member);
}

uint32_t readUint32Member(const JsonObjectView& document, const char* key, const cJSON* member,
                          uint32_t nullValue) {
  return asMemberRule(document, key, [&] { return uint32Value(member, nullValue); });
}

bool readBoolMember(const JsonObjectView& document, const char* key, const cJSON* member, bool nullValue) {
  return asMemberRule(document, key, [&] { return holdsNothing(member) ? nullValue : CppJson::getBool(member); });
}

std::string readStringMember(const JsonObjectView& document, const char* key, const cJSON* member,
                             const std::string& nullValue) {
  return asMemberRule(document, key, [&] { return stringValue(member, nullValue); });
}

}  // namespace vesklib
