// vesklib::NopSyncDomain: a sync domain that never talks to its devices. It
// keeps its members in the order added, calls nothing on them but getUri
// (not even when deleted), and counts as coherent exactly while it runs.
#pragma once

#include <string>
#include <vector>

#include "vesklib/syncDomainInterface.h"

class SyncableDeviceInterface;
class TimescaleInterface;

namespace vesklib {

class NopSyncDomain : public SyncDomainInterface {
 public:
  // Reads the timescale's URI once; the timescale is not kept.
  NopSyncDomain(const std::string& uri, TimescaleInterface* timescale);

  bool isMember(const std::string& syncableDeviceUri) const override;
  void addSyncableDevice(SyncableDeviceInterface* device) override;
  bool isCoherent() override;
  bool isCoherentSinceLastChecked() override { return isCoherent(); }
  bool isRunning() const noexcept override { return running_; }
  bool start(uint32_t timeoutInSeconds) override;
  // The arguments are ignored: any start of a domain with members succeeds.
  void startV2(bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s) override;
  void stop() override { running_ = coherent_ = false; }
  const std::string& getTimescaleUri() const noexcept override { return timescaleUri_; }
  const std::string& getUri() const noexcept override { return uri_; }
  std::string toJson() override;

 private:
  std::string uri_;
  std::string timescaleUri_;
  std::vector<SyncableDeviceInterface*> members_;  // not owned
  bool running_ = false;
  bool coherent_ = false;
};

}  // namespace vesklib
