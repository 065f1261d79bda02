// A named set of syncable devices held to one timescale and one set of
// coherency requirements. Every operation reports failure by throwing
// qzerr::Exception, except the accessors of stored values, which never throw.
// Calls on one domain must be serialised by the caller.
#pragma once

#include <cstdint>
#include <string>

class SyncableDeviceInterface;

class SyncDomainInterface {
 public:
  virtual ~SyncDomainInterface() = default;

  virtual bool isMember(const std::string& syncableDeviceUri) const = 0;
  // The device is not owned and must outlive its membership.
  virtual void addSyncableDevice(SyncableDeviceInterface* device) = 0;
  virtual bool isCoherent() = 0;
  virtual bool isCoherentSinceLastChecked() = 0;
  virtual bool isRunning() const noexcept = 0;
  virtual bool start(uint32_t timeoutInSeconds) = 0;
  virtual void startV2(bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s) = 0;
  virtual void stop() = 0;
  virtual const std::string& getTimescaleUri() const noexcept = 0;
  virtual const std::string& getUri() const noexcept = 0;
  virtual std::string toJson() = 0;
};
