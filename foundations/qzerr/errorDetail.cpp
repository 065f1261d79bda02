#include "qzerr/errorDetail.h"

#include <cstring>

namespace qzerr {

namespace {

// Texts echoed into a detail (documents, answers) come from callers and
// remote targets and can be megabytes; a reply must not grow with them.
constexpr size_t kEchoedTextLimit = 4096;
constexpr size_t kLongestUtf8Tail = 3;  // continuation bytes of one character

bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The text itself when short; else its head, cut before a character's first
// byte, and a marker with the whole length, built in `cut`.
const char* bounded(const char* text, std::string& cut) {
  const size_t length = strlen(text);
  if (length <= kEchoedTextLimit) return text;
  size_t end = kEchoedTextLimit;
  while (end > kEchoedTextLimit - kLongestUtf8Tail && isUtf8Continuation(text[end])) --end;
  cut.assign(text, end);
  cut += "...[cut from " + std::to_string(length) + " bytes]";
  return cut.c_str();
}

}  // namespace

std::string echoedText(const std::string& text) {
  std::string cut;
  return bounded(text.c_str(), cut);
}

ErrorDetail::ErrorDetail(qzerr_Status* status, int32_t code, const qzerr_ErrorSite& site)
    : status_(status), taken_(qzerr_setError(status, code, &site)) {}

// Positions are kept as offsets: any write may move the buffer.
template <typename Write>
ErrorDetail& ErrorDetail::write(Write write) {
  if (!taken_ || failed_) return *this;
  char* position = channelOffset_ >= 0 ? status_->json + channelOffset_ : qzerr_reserveJson(status_, 2);
  jsonz_GrowHandler grow = qzerr_growHandler(status_);
  char* after = write(position, &grow);
  if (after == nullptr) {
    failed_ = true;
    return *this;
  }
  if (channelOffset_ >= 0) channelOffset_ = after - status_->json;
  return *this;
}

ErrorDetail& ErrorDetail::channel(const char* name) {
  if (!taken_ || failed_) return *this;
  jsonz_GrowHandler grow = qzerr_growHandler(status_);
  char* inside = qzerr_openJsonObject(qzerr_reserveJson(status_, 2), name, &grow);
  if (inside == nullptr) {
    failed_ = true;
    return *this;
  }
  channelOffset_ = inside - status_->json;
  return *this;
}

ErrorDetail& ErrorDetail::channel(const char* name, const char* message) {
  return channel(name).add("message", message);
}

ErrorDetail& ErrorDetail::add(const char* key, const char* text) {
  std::string cut;
  const char* echoed = bounded(text, cut);
  return write([&](char* p, jsonz_GrowHandler* g) { return qzerr_addJsonString(p, key, echoed, g); });
}

ErrorDetail& ErrorDetail::add(const char* key, bool flag) {
  return write([&](char* p, jsonz_GrowHandler* g) { return qzerr_addJsonBool(p, key, flag, g); });
}

ErrorDetail& ErrorDetail::add(const char* key, int32_t value) {
  return write([&](char* p, jsonz_GrowHandler* g) { return qzerr_addJsonInt(p, key, value, g); });
}

ErrorDetail& ErrorDetail::add(const char* key, uint32_t value) {
  return write([&](char* p, jsonz_GrowHandler* g) { return qzerr_addJsonUInt(p, key, value, g); });
}

ErrorDetail& ErrorDetail::add(const char* key, int64_t value) {
  return write([&](char* p, jsonz_GrowHandler* g) { return qzerr_addJsonLong(p, key, value, g); });
}

ErrorDetail& ErrorDetail::add(const char* key, uint64_t value) {
  return write([&](char* p, jsonz_GrowHandler* g) { return qzerr_addJsonULong(p, key, value, g); });
}

ErrorDetail& ErrorDetail::addRaw(const char* key, const std::string& json) {
  return write([&](char* p, jsonz_GrowHandler* g) { return qzerr_addJsonRaw(p, key, json, g); });
}

ErrorDetail& ErrorDetail::addTopLevel(const char* key, const char* text) {
  if (!taken_ || failed_) return *this;
  std::string cut;
  jsonz_GrowHandler grow = qzerr_growHandler(status_);
  if (qzerr_addJsonString(qzerr_reserveJson(status_, 2), key, bounded(text, cut), &grow) == nullptr) failed_ = true;
  return *this;
}

ErrorDetail& ErrorDetail::nested(const qzerr_Status* cause) {
  if (taken_ && !failed_ && !qzerr_addNestedError(status_, cause)) failed_ = true;
  return *this;
}

Error::Error(int32_t code, const qzerr_ErrorSite& site)
    : ErrorDetail(exception_.mutableStatus(), code, site) {}

void Error::raise() { throw exception_; }

}  // namespace qzerr
