// vesklib::wrapper: the service's objects over the core library's handles.
// Each wrapper owns one handle, forwards every operation to the matching
// vesklib_* export, throws a core-library error as qzerr::Exception (warnings
// are dropped) and deletes the handle when it goes. Held by shared pointers;
// never copied or moved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vesklib/timestamp.h"

class SyncableDeviceInterface;
class TimescaleInterface;
class SyncDomainInterface;
class TimestampCorrelatorInterface;
class ThreadPoolInterface;

namespace vesklib::wrapper {

class SyncableDeviceInterface {
 public:
  virtual ~SyncableDeviceInterface() = default;
  virtual void setCoherencyRequirements(const std::string& syncDomainUri, const std::string& jsonRequirements) = 0;
  virtual void clearCoherencyRequirements(const std::string& syncDomainUri) = 0;
  virtual bool isCoherent(uint32_t* coherencyLossCount) = 0;
  virtual const char* getUri() = 0;
  virtual std::string toJson() = 0;
  virtual ::SyncableDeviceInterface* getHandle() = 0;
};

class TimescaleInterface {
 public:
  virtual ~TimescaleInterface() = default;
  virtual const char* getUri() = 0;
  virtual void getTime(vesklib_Timestamp* timestamp) = 0;
  virtual std::string toJson() = 0;
  virtual ::TimescaleInterface* getHandle() = 0;
};

class SyncDomainInterface {
 public:
  virtual ~SyncDomainInterface() = default;
  virtual bool isMember(const std::string& syncableDeviceUri) = 0;
  virtual void addSyncableDevice(SyncableDeviceInterface& device) = 0;
  virtual bool isCoherent() = 0;
  virtual bool isCoherentSinceLastChecked() = 0;
  virtual bool isRunning() = 0;
  virtual bool start(uint32_t timeout_s) = 0;
  virtual void startV2(bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s) = 0;
  virtual void stop() = 0;
  virtual const char* getTimescaleUri() = 0;
  virtual const char* getUri() = 0;
  virtual std::string toJson() = 0;
  virtual ::SyncDomainInterface* getHandle() = 0;
};

class TimestampCorrelatorInterface {
 public:
  virtual ~TimestampCorrelatorInterface() = default;
  virtual void correlate(const vesklib_Timestamp* timestampInSourceTimescale, TimescaleInterface& sourceTimescale,
                         vesklib_Timestamp* correlatedTimestamp) = 0;
  virtual const char* getUri() = 0;
  virtual const char* getTimescale1Uri() = 0;
  virtual const char* getTimescale2Uri() = 0;
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isRunning() = 0;
  virtual std::string toJson() = 0;
  virtual ::TimestampCorrelatorInterface* getHandle() = 0;
};

class ResourceLoaderInterface {
 public:
  virtual ~ResourceLoaderInterface() = default;
  // The target's one device and its timescales, in the order the core library lists them.
  virtual void loadProxyResources(const std::string& networkDeviceParamsJson,
                                  std::vector<std::shared_ptr<SyncableDeviceInterface>>& devices,
                                  std::vector<std::shared_ptr<TimescaleInterface>>& timescales) = 0;
  // One URI root of the target's devices and one of its timescales.
  virtual void getProxyResourceUriRootsToUnload(const std::string& networkDeviceParamsJson,
                                                std::vector<std::string>& deviceUriRoots,
                                                std::vector<std::string>& timescaleUriRoots) = 0;
};

// The makers of the service's objects: each calls the _create export and
// wraps the handle (throwing the export's error). Timescales and devices other
// than the host timescale come only from the loader.
std::shared_ptr<TimescaleInterface> makeHostTimescale(const std::string& uri);
std::shared_ptr<SyncDomainInterface> makeSyncDomain(const std::string& uri, TimescaleInterface& timescale,
                                                    uint32_t maxOffset_ns, uint32_t minSyncDuration_ms,
                                                    ThreadPoolInterface* threadPool);
std::shared_ptr<SyncDomainInterface> makeNopSyncDomain(const std::string& uri, TimescaleInterface& timescale);
std::shared_ptr<ResourceLoaderInterface> makeProxyResourceLoader();

// The correlator factory: the no-op correlator when the host follows its
// time reference (the manager says synchronised) and both timescales are the
// host's; the linear correlator otherwise.
std::shared_ptr<TimestampCorrelatorInterface> makeTimestampCorrelator(const std::string& uri,
                                                                      TimescaleInterface& timescale1,
                                                                      TimescaleInterface& timescale2,
                                                                      uint32_t samplingIntervalMs,
                                                                      uint32_t maxSampleSize,
                                                                      uint32_t maxWaitForFirstCorrelate_ms);
// Whether the timescale's URI names "localhost" in its first segment; an
// empty URI fails with -52005.
bool isLocalTimescale(TimescaleInterface& timescale);

}  // namespace vesklib::wrapper
