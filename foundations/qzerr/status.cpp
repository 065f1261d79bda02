#include "qzerr/status.h"

#include <cstdlib>
#include <cstring>

namespace {

// The largest text need that still leaves room for the two bytes of NUL and
// end mark in a buffer whose size fits a signed 32-bit capacity.
constexpr int64_t kMaxNeed = 2147483645;
constexpr int32_t kMinimumBuffer = 512;
// Above this the next power of two no longer fits a signed 32-bit capacity.
constexpr int32_t kLargestGrowable = 1 << 30;

int32_t roundedSize(int32_t size) {
  if (size <= kMinimumBuffer) return kMinimumBuffer;
  int32_t n = kMinimumBuffer;
  while (n < size) n <<= 1;
  return n;
}

bool callGrow(qzerr_Status* status, int64_t size) {
  return status->grow != nullptr && status->grow(status, static_cast<int32_t>(size));
}

// Makes sure the buffer holds at least `need` bytes.
bool ensureCapacity(qzerr_Status* status, int64_t need) {
  if (need > kMaxNeed + 2) return false;
  if (status->capacity >= need && status->json != nullptr) return true;
  return callGrow(status, need);
}

// Retries one jsonz write through the grow handler until it fits.
template <typename Write>
char* growing(char* position, jsonz_GrowHandler* grow, Write write) {
  while (position != nullptr) {
    if (char* after = write(position)) return after;
    if (grow == nullptr || grow->grow == nullptr) return nullptr;
    position = grow->grow(position, grow->context);
  }
  return nullptr;
}

// "file" names the source without its folders and extension.
void fileStem(const char* path, char* out, size_t size) {
  const char* start = strrchr(path, '/');
  start = start ? start + 1 : path;
  const char* dot = strrchr(start, '.');
  size_t length = dot ? static_cast<size_t>(dot - start) : strlen(start);
  if (length >= size) length = size - 1;
  memcpy(out, start, length);
  out[length] = '\0';
}

char* topLevelEnd(qzerr_Status* status) { return qzerr_reserveJson(status, 2); }

}  // namespace

bool qzerr_growJsonBuffer(qzerr_Status* status, int32_t newSize) {
  if (newSize == 0) {
    free(status->json);
    status->json = nullptr;
    status->capacity = 0;
    return true;
  }
  if (static_cast<uint32_t>(newSize) <= static_cast<uint32_t>(status->capacity)) return true;
  if (newSize < 0 || newSize > kLargestGrowable) return false;
  const int32_t size = roundedSize(newSize);
  char* buffer = static_cast<char*>(malloc(static_cast<size_t>(size)));
  if (buffer == nullptr) return false;
  jsonz_initBuffer(buffer, static_cast<size_t>(size), status->json ? status->json : "{}");
  free(status->json);
  status->json = buffer;
  status->capacity = size;
  return true;
}

void qzerr_releaseJson(qzerr_Status* status) {
  if ((status->json != nullptr || status->capacity != 0) && status->grow != nullptr) status->grow(status, 0);
}

bool qzerr_setCode(qzerr_Status* status, int32_t code) {
  const int32_t current = status->code;
  const bool taken = current == 0 ? code != 0 : current > 0 && code < 0;
  if (!taken) return false;
  status->code = code;
  if (status->json != nullptr) jsonz_initBuffer(status->json, static_cast<size_t>(status->capacity), "{}");
  return true;
}

char* qzerr_resetJson(qzerr_Status* status, const char* text) {
  const char* source = text ? text : "{}";
  const size_t length = strlen(source);
  if (text != nullptr && length > static_cast<size_t>(kMaxNeed)) return nullptr;
  const int64_t need = text ? static_cast<int64_t>(length) + 2 : 4;
  if (!ensureCapacity(status, need)) return nullptr;
  return jsonz_initBuffer(status->json, static_cast<size_t>(status->capacity), source);
}

char* qzerr_reserveJson(qzerr_Status* status, uint32_t n) {
  if (n > kMaxNeed) return nullptr;
  if (!ensureCapacity(status, static_cast<int64_t>(n) + 2)) return nullptr;
  const char* start = status->json;
  while (*start == ' ' || *start == '\t' || *start == '\n' || *start == '\r') ++start;
  return const_cast<char*>(jsonz_findEnd(start));
}

char* qzerr_growJsonAt(qzerr_Status* status, char* position) {
  if (status->json == nullptr || position == nullptr) return nullptr;
  const int64_t need = static_cast<int64_t>(status->capacity) * 2 - 2;
  if (need - 2 > kMaxNeed) return nullptr;
  const ptrdiff_t offset = position - status->json;
  if (!callGrow(status, need)) return nullptr;
  return status->json + offset;
}

char* qzerr_jsonGrowCallback(char* position, void* status) {
  return qzerr_growJsonAt(static_cast<qzerr_Status*>(status), position);
}

bool qzerr_copyStatus(qzerr_Status* status, const qzerr_Status* source) {
  bool copied = true;
  if (source->capacity == 0 || source->json == nullptr) qzerr_releaseJson(status);
  else copied = qzerr_resetJson(status, source->json) != nullptr;
  status->code = source->code;
  return copied;
}

bool qzerr_mergeStatusCopy(qzerr_Status* status, const qzerr_Status* source, bool* written) {
  if (written) *written = true;
  if (!qzerr_setCode(status, source->code)) return false;
  if (qzerr_resetJson(status, source->json) == nullptr && written) *written = false;
  return true;
}

bool qzerr_mergeStatus(qzerr_Status* status, qzerr_Status* source, bool* written) {
  if (written) *written = true;
  if (!qzerr_setCode(status, source->code)) return false;
  if (status->grow == source->grow) {
    qzerr_releaseJson(status);
    status->json = source->json;
    status->capacity = source->capacity;
    source->json = nullptr;
    source->capacity = 0;
    return true;
  }
  if (qzerr_resetJson(status, source->json) == nullptr && written) *written = false;
  return true;
}

bool qzerr_setError(qzerr_Status* status, int32_t code, const qzerr_ErrorSite* site, bool* written) {
  if (written) *written = true;
  if (!qzerr_setCode(status, code)) return false;
  char file[256];
  fileStem(site->file, file, sizeof file);
  jsonz_GrowHandler grow = qzerr_growHandler(status);
  char* position = qzerr_resetJson(status, nullptr);
  position = qzerr_addJsonString(position, "error_constant", site->errorConstant, &grow);
  position = qzerr_addJsonString(position, "file", file, &grow);
  position = qzerr_addJsonInt(position, "line", site->line, &grow);
  if (site->component != nullptr) position = qzerr_addJsonString(position, "component", site->component, &grow);
  if (position == nullptr && written) *written = false;
  return true;
}

bool qzerr_addNestedError(qzerr_Status* status, const qzerr_Status* cause) {
  qzerr_Status copy = qzerr_freshStatus();
  bool ok = qzerr_copyStatus(&copy, cause);
  if (copy.json == nullptr) ok = qzerr_resetJson(&copy, nullptr) != nullptr && ok;
  jsonz_GrowHandler copyGrow = qzerr_growHandler(&copy);
  if (copy.json != nullptr && jsonz_findKey(copy.json, "code") == nullptr)
    ok = qzerr_addJsonInt(topLevelEnd(&copy), "code", copy.code, &copyGrow) != nullptr && ok;

  jsonz_GrowHandler grow = qzerr_growHandler(status);
  char* position = nullptr;
  if (status->json != nullptr) {
    if (const char* array = jsonz_findKey(status->json, "nested_error"))
      position = const_cast<char*>(jsonz_findEnd(array));
  }
  if (position == nullptr) position = qzerr_openJsonArray(topLevelEnd(status), "nested_error", &grow);
  ok = copy.json != nullptr && qzerr_addJsonRaw(position, nullptr, copy.json, &grow) != nullptr && ok;
  qzerr_releaseJson(&copy);
  return ok;
}

char* qzerr_addJsonString(char* position, const char* key, const char* text, jsonz_GrowHandler* grow) {
  return growing(position, grow, [&](char* p) { return jsonz_addString(p, key, text); });
}

char* qzerr_addJsonStdString(char* position, const char* key, const std::string& text,
                             jsonz_GrowHandler* grow) {
  return qzerr_addJsonString(position, key, text.c_str(), grow);
}

char* qzerr_addJsonRaw(char* position, const char* key, const std::string& json, jsonz_GrowHandler* grow) {
  return growing(position, grow, [&](char* p) { return jsonz_addRaw(p, key, json.c_str()); });
}

char* qzerr_addJsonBool(char* position, const char* key, bool flag, jsonz_GrowHandler* grow) {
  return growing(position, grow, [&](char* p) { return jsonz_addBool(p, key, flag); });
}

char* qzerr_addJsonInt(char* position, const char* key, int32_t value, jsonz_GrowHandler* grow) {
  return growing(position, grow, [&](char* p) { return jsonz_addInt(p, key, value); });
}

char* qzerr_addJsonLong(char* position, const char* key, int64_t value, jsonz_GrowHandler* grow) {
  return growing(position, grow, [&](char* p) { return jsonz_addLong(p, key, value); });
}

char* qzerr_addJsonUInt(char* position, const char* key, uint32_t value, jsonz_GrowHandler* grow) {
  return growing(position, grow, [&](char* p) { return jsonz_addUInt(p, key, value); });
}

char* qzerr_addJsonULong(char* position, const char* key, uint64_t value, jsonz_GrowHandler* grow) {
  return growing(position, grow, [&](char* p) { return jsonz_addULong(p, key, value); });
}

char* qzerr_openJsonObject(char* position, const char* key, jsonz_GrowHandler* grow) {
  char* after = growing(position, grow, [&](char* p) { return jsonz_addObject(p, key); });
  return after ? after - 1 : nullptr;
}

char* qzerr_openJsonArray(char* position, const char* key, jsonz_GrowHandler* grow) {
  char* after = growing(position, grow, [&](char* p) { return jsonz_addArray(p, key); });
  return after ? after - 1 : nullptr;
}

char* qzerr_closeJsonObject(char* position) { return position ? position + 1 : nullptr; }

char* qzerr_closeJsonArray(char* position) { return position ? position + 1 : nullptr; }
