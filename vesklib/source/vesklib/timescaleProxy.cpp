#include "vesklib/timescaleProxy.h"

#include <utility>

#include "jsonz/jsonString.h"
#include "vesklib/timescaleProxyIpc/thriftClient.h"

namespace vesklib {

using jsonz::jsonString;

TimescaleProxy::TimescaleProxy(std::string uri, const std::string& host, int32_t port)
    : uri_(std::move(uri)), client_(std::make_shared<TimescaleProxyThriftClient>(host, port)) {}

const std::string& TimescaleProxy::getUri() const noexcept { return uri_; }

void TimescaleProxy::getTime(vesklib_Timestamp* timestamp) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!session_) session_ = std::make_shared<TimescaleProxySession>(client_, uri_);
  session_->getTime(timestamp);
}

std::string TimescaleProxy::toJson() { return "{\"uri\":" + jsonString(uri_) + "}"; }

}  // namespace vesklib
