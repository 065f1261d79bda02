// For tests: a session that records each operation as "name(arguments)" and
// answers with fixed results ("<name> result", true, a fixed time stamp).
// `outcome` runs inside every operation with its status: it may set a code,
// block, or throw.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vesksapi/sessionInterface.h"

namespace vesksapi::testing {

inline constexpr vesklib_Timestamp kFakeTime{1234, 500, 7, true};

class FakeSession : public SessionInterface {
 public:
  std::function<void(qzerr_Status*)> outcome;

  std::vector<std::string> calls() const;

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

 private:
  // Records the call, then runs the outcome.
  void called(const std::string& call, qzerr_Status* status);

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

}  // namespace vesksapi::testing
