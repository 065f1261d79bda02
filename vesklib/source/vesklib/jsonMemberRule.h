// How the core library reads a member of a JSON document: names match in any
// letter case, JSON null keeps the caller's default, a wrong kind fails with
// -52004 "errCode" naming the document and the key, and unsigned 32-bit
// numbers are truncated toward zero (out of range: the numeric conversion
// error). A missing member reads like a null one; where it must be present,
// the caller reports it with its own message.
#pragma once

#include <cstdint>
#include <string>

#include <cjson/cJSON.h>

namespace vesklib {

// One object of a document, with the text reported for a wrong kind.
struct JsonObjectView {
  const cJSON* object;
  const std::string& json;
};

// The member, or null when the object has none of that name.
const cJSON* findMember(const JsonObjectView& document, const char* key);

uint32_t readUint32Member(const JsonObjectView& document, const char* key, const cJSON* member,
                          uint32_t nullValue);
bool readBoolMember(const JsonObjectView& document, const char* key, const cJSON* member, bool nullValue);
std::string readStringMember(const JsonObjectView& document, const char* key, const cJSON* member,
                             const std::string& nullValue = "");

// The same readings where a wrong kind is the JSON layer's own -52004
// jsonErrorsTypeMismatch.
uint32_t uint32Value(const cJSON* member, uint32_t nullValue);
std::string stringValue(const cJSON* member, const std::string& nullValue = "");

}  // namespace vesklib
