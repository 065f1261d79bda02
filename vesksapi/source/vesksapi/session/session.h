// vesksapi::Session: the daemon's one registry of live objects (timescales,
// syncable devices, sync domains, correlators and their result caches), each
// under its URI, and every operation of the service on them. Each operation
// does nothing when its status already holds an error, holds the one mutex
// for its whole run (create-and-add-devices runs as a sequence of such
// operations), and reports every failure through its status, never by an
// exception. The host's timescale "/localhost/vesks/timescales/system" is
// always registered.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "vesklib_wrapper/vesklibWrapperFactory.h"
#include "vesksapi/correlation/correlationResultCache.h"
#include "vesksapi/correlation/correlatorEntry.h"
#include "vesksapi/session/documentParsers.h"
#include "vesksapi/sessionInterface.h"
#include "vesktools/threadPool.h"

namespace vesksapi {

class Session : public SessionInterface {
 public:
  // Throws qzerr::Exception when the host timescale cannot be made.
  Session();
  // Stops the pool after its queued tasks, then releases the sync domains,
  // the correlators, the devices, the timescales, the loader and the caches.
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson,
                     qzerr_Status* status) override;
  void unloadResources(const std::string& deviceParamsJson, qzerr_Status* status) override;
  void timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp,
                         qzerr_Status* status) override;
  void timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson, qzerr_Status* status) override;
  void timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2,
                                  qzerr_Status* status) override;
  void timestampCorrelator_correlate(const std::string& sourceTimescaleUri, const std::string& destTimescaleUri,
                                     const vesklib_Timestamp* timestampInSourceTimescale,
                                     vesklib_Timestamp* correlatedTimestamp, qzerr_Status* status) override;
  void syncDomain_create(const std::string& syncDomainParamsJson, qzerr_Status* status) override;
  bool syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status) override;
  void syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency, bool waitToBecomeCoherent,
                          uint32_t timeout_s, qzerr_Status* status) override;
  void syncDomain_stop(const std::string& syncDomainUri, qzerr_Status* status) override;
  void syncDomain_delete(const std::string& syncDomainUri, qzerr_Status* status) override;
  void syncDomain_addSyncableDevice(const std::string& syncDomainUri, const std::string& syncableDeviceUri,
                                    qzerr_Status* status) override;
  bool syncDomain_isCoherent(const std::string& syncDomainUri, qzerr_Status* status) override;
  bool syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri, qzerr_Status* status) override;
  void syncDomain_createAndAddDevices(std::string& result, const std::string& syncDomainParamsJson,
                                      qzerr_Status* status) override;
  void getTimescaleInfo(std::string& info, qzerr_Status* status) override;
  void getSyncableDeviceInfo(std::string& info, qzerr_Status* status) override;
  void getSyncDomainInfo(std::string& info, qzerr_Status* status) override;
  void getTimestampCorrelatorInfo(std::string& info, qzerr_Status* status) override;

  // For the daemon's stop: the waits of the operations in progress end as
  // their time-outs would (a sync domain's start answers -52007; a
  // correlation waiting for its correlator's first samples is answered from
  // what it has, its correlator stopped), and every operation that begins
  // later fails with -52020, so create-and-add takes no further step.
  // Callable from any thread, once the server stops serving.
  void beginShutdown() noexcept;

  // The greater URI, "-", the lesser: one key (and correlator URI) for both orders.
  static std::string makeCorrelatorKey(const std::string& uri1, const std::string& uri2);

 private:
  using TimescalePointer = std::shared_ptr<vesklib::wrapper::TimescaleInterface>;
  using DevicePointer = std::shared_ptr<vesklib::wrapper::SyncableDeviceInterface>;
  using SyncDomainPointer = std::shared_ptr<vesklib::wrapper::SyncDomainInterface>;

  // -52020 once the shutdown has begun.
  void refuseOnceStopping() const;
  // The same, without parsing the document.
  void parseDocument(const std::string& json, const std::function<void()>& parse);
  std::unique_lock<std::mutex> lockForOperation();
  template <typename Result, typename Operation>
  Result locked(qzerr_Status* status, Result failed, Operation operation);
  template <typename Operation>
  void locked(qzerr_Status* status, Operation operation);

  // Lookups under the lock; a missing URI is -52006 naming it.
  vesklib::wrapper::SyncDomainInterface& syncDomain(const std::string& syncDomainUri);
  bool isDeviceInUse(const std::string& syncableDeviceUri);
  bool isTimescaleInUse(const std::string& timescaleUri);
  DevicePointer findTimekeeperDevice(const std::string& timescaleUri);
  bool hasRunningCorrelatorForPair(const std::string& pairKey);
  void correlateUntilShutdown(vesklib::wrapper::TimestampCorrelatorInterface& correlator,
                              const vesklib_Timestamp* question, vesklib::wrapper::TimescaleInterface& source,
                              vesklib_Timestamp* answer);

  // Steps of create-and-add-devices, each taking the lock for its own run.
  std::string createAndAddDevices(const std::string& syncDomainParamsJson);
  std::string loadHost(const std::string& remoteHost);
  SyncDomainPointer createSyncDomain(const std::string& uri, const std::string& timescaleUri,
                                     uint32_t maxOffset_ns, uint32_t minSyncDuration_ms);
  std::string addDevicesWithRequirements(const std::string& uri, const std::vector<std::string>& candidates,
                                         const std::vector<std::string>& hostDevices, uint32_t maxOffset_ns,
                                         uint32_t minSyncDuration_ms);
  bool addConflicts(const std::string& syncDomainUri, const std::string& syncableDeviceUri);
  void deleteOwnedSyncDomain(const std::string& uri,
                             const std::weak_ptr<vesklib::wrapper::SyncDomainInterface>& domain);

  // Declared so that they are released in the reverse order (pool first).
  std::mutex mutex_;
  std::atomic<bool> shuttingDown_{false};
  std::mutex correlatingMutex_;  // guards correlating_ alone
  vesklib::wrapper::TimestampCorrelatorInterface* correlating_ = nullptr;
  uint32_t correlationCacheLimit_ = 100;  // only ever raised
  std::unordered_map<std::string, CorrelationResultCache> correlationCaches_;  // by orderedPairKey
  std::shared_ptr<vesklib::wrapper::ResourceLoaderInterface> resourceLoader_;
  std::unordered_map<std::string, TimescalePointer> timescales_;
  std::unordered_map<std::string, DevicePointer> syncableDevices_;
  std::unordered_map<std::string, CorrelatorEntry> correlators_;  // by makeCorrelatorKey
  std::unordered_map<std::string, SyncDomainPointer> syncDomains_;
  vesktools::ThreadPool threadPool_;
  DocumentParsers documentParsers_;
};

}  // namespace vesksapi
