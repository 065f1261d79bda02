#include "requestLog.h"

#include "jsonHandle.h"

namespace vesktools::targetsim {
namespace {

cJSON* headersToJson(const HttpRequest& request) {
  cJSON* headers = cJSON_CreateArray();
  for (const auto& [name, value] : request.headers) {
    cJSON* header = cJSON_CreateObject();
    cJSON_AddStringToObject(header, "name", name.c_str());
    cJSON_AddStringToObject(header, "value", value.c_str());
    cJSON_AddItemToArray(headers, header);
  }
  return headers;
}

}  // namespace

RequestLog::RequestLog(std::size_t limit) : limit_(limit) {}

void RequestLog::add(const HttpRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back({nextSeq_++, request});
  while (entries_.size() > limit_) {
    entries_.pop_front();
    ++dropped_;
  }
}

void RequestLog::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
  dropped_ = 0;
}

std::string RequestLog::toJson() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const JsonHandle root(cJSON_CreateObject());
  cJSON_AddNumberToObject(root.get(), "dropped", static_cast<double>(dropped_));
  cJSON* requests = cJSON_AddArrayToObject(root.get(), "requests");
  for (const Entry& entry : entries_) {
    cJSON* item = cJSON_CreateObject();
    cJSON_AddNumberToObject(item, "seq", static_cast<double>(entry.seq));
    cJSON_AddStringToObject(item, "method", entry.request.method.c_str());
    cJSON_AddStringToObject(item, "target", entry.request.target.c_str());
    cJSON_AddStringToObject(item, "version", entry.request.version.c_str());
    cJSON_AddItemToObject(item, "headers", headersToJson(entry.request));
    cJSON_AddStringToObject(item, "body", entry.request.body.c_str());
    cJSON_AddItemToArray(requests, item);
  }
  return printJson(root.get());
}

}  // namespace vesktools::targetsim
