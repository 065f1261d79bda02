// vesksapi::SessionInterface: one operation per operation of the service, in
// one slot order shared by the daemon's Session and the client's SessionProxy.
// Every operation reports through the status (last argument), does nothing
// when the status already holds an error, and lets no exception out.
#pragma once

#include <cstdint>
#include <string>

#include "qzerr/status.h"
#include "vesklib/timestamp.h"

namespace vesksapi {

class SessionInterface {
 public:
  virtual ~SessionInterface() = default;

  virtual void loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson,
                             qzerr_Status* status) = 0;
  virtual void unloadResources(const std::string& deviceParamsJson, qzerr_Status* status) = 0;
  virtual void timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp,
                                 qzerr_Status* status) = 0;
  virtual void timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson,
                                          qzerr_Status* status) = 0;
  virtual void timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2,
                                          qzerr_Status* status) = 0;
  virtual void timestampCorrelator_correlate(const std::string& sourceTimescaleUri,
                                             const std::string& destTimescaleUri,
                                             const vesklib_Timestamp* timestampInSourceTimescale,
                                             vesklib_Timestamp* correlatedTimestamp, qzerr_Status* status) = 0;
  virtual void syncDomain_create(const std::string& syncDomainParamsJson, qzerr_Status* status) = 0;
  virtual bool syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status) = 0;
  virtual void syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                  bool waitToBecomeCoherent, uint32_t timeout_s, qzerr_Status* status) = 0;
  virtual void syncDomain_stop(const std::string& syncDomainUri, qzerr_Status* status) = 0;
  virtual void syncDomain_delete(const std::string& syncDomainUri, qzerr_Status* status) = 0;
  virtual void syncDomain_addSyncableDevice(const std::string& syncDomainUri, const std::string& syncableDeviceUri,
                                            qzerr_Status* status) = 0;
  virtual bool syncDomain_isCoherent(const std::string& syncDomainUri, qzerr_Status* status) = 0;
  virtual bool syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri, qzerr_Status* status) = 0;
  virtual void syncDomain_createAndAddDevices(std::string& result, const std::string& syncDomainParamsJson,
                                              qzerr_Status* status) = 0;
  virtual void getTimescaleInfo(std::string& info, qzerr_Status* status) = 0;
  virtual void getSyncableDeviceInfo(std::string& info, qzerr_Status* status) = 0;
  virtual void getSyncDomainInfo(std::string& info, qzerr_Status* status) = 0;
  virtual void getTimestampCorrelatorInfo(std::string& info, qzerr_Status* status) = 0;
};

}  // namespace vesksapi
