// The type tests, checks, readers and builders of CppJson.
#include <cstdlib>
#include <new>

#include "qzerr/errorDetail.h"
#include "qzjsonlh/cppJson.h"

namespace {

bool hasType(const cJSON* item, int type) { return item != nullptr && item->type == type; }

// One site for every typed require.
void requireType(bool matches) {
  if (!matches) QZERR_ERROR(qzerr::kJsonTypeMismatch).raise();
}

template <typename T>
T* allocated(T* item) {
  if (item == nullptr) throw std::bad_alloc();
  return item;
}

}  // namespace

bool CppJson::isNull(const cJSON* item) { return hasType(item, cJSON_NULL); }
bool CppJson::isNumber(const cJSON* item) { return hasType(item, cJSON_Number); }
bool CppJson::isString(const cJSON* item) { return hasType(item, cJSON_String); }
bool CppJson::isBool(const cJSON* item) { return hasType(item, cJSON_False) || hasType(item, cJSON_True); }
bool CppJson::isArray(const cJSON* item) { return hasType(item, cJSON_Array); }
bool CppJson::isObject(const cJSON* item) { return hasType(item, cJSON_Object); }

void CppJson::requireObject(const cJSON* item) {
  if (!isObject(item)) QZERR_ERROR(qzerr::kJsonNotAnObject).raise();
}

void CppJson::requireArray(const cJSON* item) {
  if (!isArray(item)) QZERR_ERROR(qzerr::kJsonNotAnArray).raise();
}

void CppJson::requireString(const cJSON* item) { requireType(isString(item)); }
void CppJson::requireBool(const cJSON* item) { requireType(isBool(item)); }
void CppJson::requireNumber(const cJSON* item) { requireType(isNumber(item)); }

cJSON* CppJson::getObjectItem(const cJSON* object, const char* name) {
  requireObject(object);
  cJSON* item = cJSON_GetObjectItem(object, name);
  if (item == nullptr) QZERR_ERROR(qzerr::kJsonObjectItemNotFound).raise();
  return item;
}

std::string CppJson::getString(const cJSON* item) {
  requireString(item);
  return item->valuestring ? item->valuestring : "";
}

bool CppJson::getBool(const cJSON* item) {
  requireBool(item);
  return item->type == cJSON_True;
}

std::string CppJson::print(const cJSON* item) {
  char* printed = allocated(cJSON_PrintUnformatted(item));
  std::string text(printed);
  cJSON_free(printed);
  return text;
}

cJSON* CppJson::createArray() { return allocated(cJSON_CreateArray()); }

cJSON* CppJson::createString(const char* text) { return allocated(cJSON_CreateString(text)); }

void CppJson::addItemToObject(cJSON* object, const char* name, cJSON* item) {
  cJSON_AddItemToObject(object, name, item);
  if (item->string == nullptr) throw std::bad_alloc();
}

CppJson::ArrayIterator::ArrayIterator(const cJSON* array) : array_(array), element_(nullptr) {
  requireArray(array_);
  element_ = array_->child;
}

CppJson::ArrayIterator& CppJson::ArrayIterator::operator++() {
  requireArray(array_);
  element_ = element_ ? element_->next : nullptr;
  return *this;
}
