// The concrete wrappers behind vesklibWrapperFactory.h's interfaces: each
// Base owns one core-library handle (deleted with the wrapper), and the named
// kinds only say which _create export made it. Code outside this folder gets
// them from the makers and the loader; tests may wrap a handle directly.
#pragma once

#include "vesklib_wrapper/vesklibWrapperFactory.h"

namespace vesklib::wrapper {

class SyncableDeviceBase : public SyncableDeviceInterface {
 public:
  explicit SyncableDeviceBase(::SyncableDeviceInterface* handle) : handle_(handle) {}
  ~SyncableDeviceBase() override;
  SyncableDeviceBase(const SyncableDeviceBase&) = delete;
  SyncableDeviceBase& operator=(const SyncableDeviceBase&) = delete;

  void setCoherencyRequirements(const std::string& syncDomainUri, const std::string& jsonRequirements) override;
  void clearCoherencyRequirements(const std::string& syncDomainUri) override;
  bool isCoherent(uint32_t* coherencyLossCount) override;
  const char* getUri() override;
  std::string toJson() override;
  ::SyncableDeviceInterface* getHandle() override { return handle_; }

 private:
  ::SyncableDeviceInterface* const handle_;
};

class TimescaleBase : public TimescaleInterface {
 public:
  explicit TimescaleBase(::TimescaleInterface* handle) : handle_(handle) {}
  ~TimescaleBase() override;
  TimescaleBase(const TimescaleBase&) = delete;
  TimescaleBase& operator=(const TimescaleBase&) = delete;

  const char* getUri() override;
  void getTime(vesklib_Timestamp* timestamp) override;
  std::string toJson() override;
  ::TimescaleInterface* getHandle() override { return handle_; }

 private:
  ::TimescaleInterface* const handle_;
};

class HostTimescale : public TimescaleBase {
 public:
  using TimescaleBase::TimescaleBase;
};

class SyncDomainBase : public SyncDomainInterface {
 public:
  explicit SyncDomainBase(::SyncDomainInterface* handle) : handle_(handle) {}
  ~SyncDomainBase() override;
  SyncDomainBase(const SyncDomainBase&) = delete;
  SyncDomainBase& operator=(const SyncDomainBase&) = delete;

  bool isMember(const std::string& syncableDeviceUri) override;
  void addSyncableDevice(SyncableDeviceInterface& device) override;
  bool isCoherent() override;
  bool isCoherentSinceLastChecked() override;
  bool isRunning() override;
  bool start(uint32_t timeout_s) override;
  void startV2(bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s) override;
  void stop() override;
  const char* getTimescaleUri() override;
  const char* getUri() override;
  std::string toJson() override;
  ::SyncDomainInterface* getHandle() override { return handle_; }

 private:
  ::SyncDomainInterface* const handle_;
};

class SyncDomain : public SyncDomainBase {
 public:
  using SyncDomainBase::SyncDomainBase;
};

class NopSyncDomain : public SyncDomainBase {
 public:
  using SyncDomainBase::SyncDomainBase;
};

class TimestampCorrelatorBase : public TimestampCorrelatorInterface {
 public:
  explicit TimestampCorrelatorBase(::TimestampCorrelatorInterface* handle) : handle_(handle) {}
  ~TimestampCorrelatorBase() override;
  TimestampCorrelatorBase(const TimestampCorrelatorBase&) = delete;
  TimestampCorrelatorBase& operator=(const TimestampCorrelatorBase&) = delete;

  void correlate(const vesklib_Timestamp* timestampInSourceTimescale, TimescaleInterface& sourceTimescale,
                 vesklib_Timestamp* correlatedTimestamp) override;
  const char* getUri() override;
  const char* getTimescale1Uri() override;
  const char* getTimescale2Uri() override;
  void start() override;
  void stop() override;
  bool isRunning() override;
  std::string toJson() override;
  ::TimestampCorrelatorInterface* getHandle() override { return handle_; }

 private:
  ::TimestampCorrelatorInterface* const handle_;
};

class LinearCorrelator : public TimestampCorrelatorBase {
 public:
  using TimestampCorrelatorBase::TimestampCorrelatorBase;
};

class NopCorrelator : public TimestampCorrelatorBase {
 public:
  using TimestampCorrelatorBase::TimestampCorrelatorBase;
};

// Stateless: loads a target's resources into wrappers and names the URI
// roots of what a target's unload must remove.
class ProxyResourceLoader : public ResourceLoaderInterface {
 public:
  void loadProxyResources(const std::string& networkDeviceParamsJson,
                          std::vector<std::shared_ptr<SyncableDeviceInterface>>& devices,
                          std::vector<std::shared_ptr<TimescaleInterface>>& timescales) override;
  void getProxyResourceUriRootsToUnload(const std::string& networkDeviceParamsJson,
                                        std::vector<std::string>& deviceUriRoots,
                                        std::vector<std::string>& timescaleUriRoots) override;
};

}  // namespace vesklib::wrapper
