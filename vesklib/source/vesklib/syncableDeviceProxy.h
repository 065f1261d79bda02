// vesklib::SyncableDeviceProxy: a syncable device on a remote target, reached
// by HTTP with JSON bodies through the target's web service. It accepts the
// coherency requirements of every sync domain that takes it as a member as
// long as they agree with those in force (and forwards them by PUT), asks the
// device for its coherency by GET and describes it with its full URI and the
// domains using it. One proxy may be asked from several pool threads at once:
// it serialises its own requests and its domain set with a mutex of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "vesklib/syncableDeviceInterface.h"
#include "vesktools_curl/vantorshared/iCURL.h"

namespace vesklib {

class SyncableDeviceProxy : public SyncableDeviceInterface {
 public:
  // `uri`: remoteHost/webService/resource/plugin/type/name, one leading '/'
  // allowed; a malformed URI or an HTTP library that cannot be bound fails
  // here. Nothing is sent.
  explicit SyncableDeviceProxy(const std::string& uri);
  // The same over a client the caller made; the proxy initialises it.
  SyncableDeviceProxy(const std::string& uri, std::shared_ptr<qz::vantor::shared::iCURL> client);
  SyncableDeviceProxy(const SyncableDeviceProxy&) = delete;
  SyncableDeviceProxy& operator=(const SyncableDeviceProxy&) = delete;
  ~SyncableDeviceProxy() override = default;

  // Refuses (-1074100993, nothing sent) requirements that differ from those
  // in force while any domain holds the device; otherwise PUTs the document
  // unchanged and, once that succeeded, takes them on for the domain.
  void setCoherencyRequirements(const std::string& jsonRequirements, const std::string& syncDomainUri) override;
  // Sends nothing; the requirements in force stay as they are.
  void clearCoherencyRequirements(const std::string& syncDomainUri) noexcept override;
  bool isCoherent(uint32_t* coherencyLossCount) override;
  const std::string& getUri() const noexcept override { return uri_; }
  // The device's own document with the full URI and "syncDomainUris" last.
  std::string toJson() override;

 private:
  std::string url() const { return urlPrefix_ + hostlessUri_; }
  std::string get();

  const std::string uri_;
  std::string urlPrefix_;
  std::string resourcePath_;
  std::string webService_;
  std::string hostlessUri_;
  std::shared_ptr<qz::vantor::shared::iCURL> client_;

  // Guards the client's one request at a time and everything below.
  std::mutex mutex_;
  std::unordered_set<std::string> syncDomainUriSet_;
  uint32_t maxOffset_ns_ = 0;
  uint32_t minSyncDuration_ms_ = 0;
  std::string requiredTimescaleUri_;
};

}  // namespace vesklib
