#include "vesksapi/session/jsonHelperFunctions.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>

#include <boost/numeric/conversion/cast.hpp>

#include "qzerr/errorDetail.h"
#include "vesktools_json/jsonHelperFunctions.h"

namespace vesksapi {

namespace {

[[noreturn]] void raiseUnparsedKey(const JsonObjectText& object, const std::string& key) {
  QZERR_ERROR(qzerr::kInvalidParameter)
      .channel("qzsyncdomain_debug", "Failed to parse for the given Json key.")
      .add("JsonKey", key)
      .add("Json", object.text())
      .raise();
}

// Runs a read of the JSON layer; its wrong-kind error names the object and key.
template <typename Read>
auto readMember(const JsonObjectText& object, const std::string& key, Read read) {
  try {
    return read();
  } catch (const qzerr::Exception&) {
    vesktools::rethrowTypeMismatch(object.text(), key);
  }
}

uint32_t checkedUInt32(const cJSON* number) { return boost::numeric_cast<uint32_t>(number->valuedouble); }

// The whole text must be the digits of a number that fits 32 bits: a number
// that silently wrapped, changed sign or lost its tail would configure
// something else than asked. A text without any digit fails as std::stoul
// fails on it.
uint32_t decimalUInt32(const JsonObjectText& object, const std::string& key, const std::string& text) {
  if (text.find_first_of("0123456789") == std::string::npos) throw std::invalid_argument("stoul");
  const char* end = text.data() + text.size();
  uint32_t value = 0;
  const std::from_chars_result read = std::from_chars(text.data(), end, value, 10);
  if (read.ec != std::errc() || read.ptr != end) raiseUnparsedKey(object, key);
  return value;
}

}  // namespace

JsonObjectText::JsonObjectText(std::string text)
    : text_(std::move(text)), tree_(text_->c_str()), root_(tree_.get()) {}

JsonObjectText::JsonObjectText(const cJSON* value) : root_(value) {}

const std::string& JsonObjectText::text() const {
  if (!text_) text_ = CppJson::print(root_);
  return *text_;
}

const cJSON* JsonObjectText::find(const std::string& key) const {
  if (!CppJson::isObject(root_)) return nullptr;
  return cJSON_GetObjectItem(root_, key.c_str());
}

bool getJsonString(const JsonObjectText& object, const std::string& key, std::string& value) {
  const cJSON* member = object.find(key);
  if (member == nullptr) return false;
  if (CppJson::isNull(member)) return true;
  value = readMember(object, key, [&] { return CppJson::getString(member); });
  return true;
}

bool getJsonStringArray(const JsonObjectText& object, const std::string& key, std::vector<std::string>& list) {
  const cJSON* member = object.find(key);
  if (member == nullptr) return false;
  if (CppJson::isNull(member)) return true;
  std::vector<std::string> read;
  for (CppJson::ArrayIterator it(member); !it.atEnd(); ++it) read.push_back(CppJson::getString(*it));
  list = std::move(read);
  return true;
}

bool getJsonValue(const JsonObjectText& object, const std::string& key, uint32_t& value) {
  const cJSON* member = object.find(key);
  if (member == nullptr) return false;
  if (CppJson::isNull(member)) return true;
  readMember(object, key, [&] { CppJson::requireNumber(member); return 0; });
  value = checkedUInt32(member);
  return true;
}

uint32_t getRequiredJsonUInt32(const JsonObjectText& object, const std::string& key) {
  const cJSON* member = object.find(key);
  if (member == nullptr) raiseUnparsedKey(object, key);
  if (CppJson::isNull(member)) return std::numeric_limits<uint32_t>::max();
  if (CppJson::isNumber(member)) return checkedUInt32(member);
  std::string text;
  getJsonString(object, key, text);
  return decimalUInt32(object, key, text);
}

}  // namespace vesksapi
