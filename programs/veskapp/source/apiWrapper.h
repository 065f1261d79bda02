// The console's one road to the client library: one operation per export the
// console uses, each a plain forward (texts as their NUL-terminated strings,
// results unchanged). Commands take the interface, so a test can hand them a
// fake; the program owns one ApiWrapper for its whole run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "qzerr/statusRecord.h"
#include "vesklib/timestamp.h"

namespace vesksapi {

class ApiWrapperInterface {
 public:
  virtual ~ApiWrapperInterface() = default;

  virtual uint32_t getApiVersion() = 0;
  virtual void loadResources(const std::string& type, const std::string& typeParamsJson,
                             qzerr_Status* status) = 0;
  virtual void unloadResources(const std::string& type, const std::string& typeParamsJson,
                               qzerr_Status* status) = 0;
  virtual void timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp,
                                 qzerr_Status* status) = 0;
  virtual void getCurrentTimescale(const std::string& remoteHost, char* buffer, size_t size,
                                   qzerr_Status* status) = 0;
  virtual void timestampCorrelator_create(const std::string& type, const std::string& typeParamsJson,
                                          qzerr_Status* status) = 0;
  virtual void timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2,
                                          qzerr_Status* status) = 0;
  virtual void timestampCorrelator_correlate(const std::string& sourceTimescaleUri,
                                             const std::string& destTimescaleUri,
                                             const vesklib_Timestamp* timestampIn,
                                             vesklib_Timestamp* timestampOut, qzerr_Status* status) = 0;
  virtual void syncDomain_create(const std::string& type, const std::string& typeParamsJson,
                                 qzerr_Status* status) = 0;
  virtual bool syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status) = 0;
  virtual void syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                  bool waitToBecomeCoherent, uint32_t timeout_s, qzerr_Status* status) = 0;
  virtual void syncDomain_stop(const std::string& syncDomainUri, qzerr_Status* status) = 0;
  virtual void syncDomain_delete(const std::string& syncDomainUri, qzerr_Status* status) = 0;
  virtual void syncDomain_addSyncableDevice(const std::string& syncDomainUri,
                                            const std::string& syncableDeviceUri, qzerr_Status* status) = 0;
  virtual bool syncDomain_isCoherent(const std::string& syncDomainUri, qzerr_Status* status) = 0;
  virtual bool syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri,
                                                     qzerr_Status* status) = 0;
  virtual void syncDomain_createAndAddDevices(const std::string& type, const std::string& typeParamsJson,
                                              char* buffer, size_t size, qzerr_Status* status) = 0;
  virtual void getTimescaleInfo(char* buffer, size_t size, qzerr_Status* status) = 0;
  virtual void getSyncableDeviceInfo(char* buffer, size_t size, qzerr_Status* status) = 0;
  virtual void getSyncDomainInfo(char* buffer, size_t size, qzerr_Status* status) = 0;
  virtual void getTimestampCorrelatorInfo(char* buffer, size_t size, qzerr_Status* status) = 0;
};

class ApiWrapper : public ApiWrapperInterface {
 public:
  uint32_t getApiVersion() override;
  void loadResources(const std::string& type, const std::string& typeParamsJson, qzerr_Status* status) override;
  void unloadResources(const std::string& type, const std::string& typeParamsJson, qzerr_Status* status) override;
  void timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp,
                         qzerr_Status* status) override;
  void getCurrentTimescale(const std::string& remoteHost, char* buffer, size_t size,
                           qzerr_Status* status) override;
  void timestampCorrelator_create(const std::string& type, const std::string& typeParamsJson,
                                  qzerr_Status* status) override;
  void timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2,
                                  qzerr_Status* status) override;
  void timestampCorrelator_correlate(const std::string& sourceTimescaleUri, const std::string& destTimescaleUri,
                                     const vesklib_Timestamp* timestampIn, vesklib_Timestamp* timestampOut,
                                     qzerr_Status* status) override;
  void syncDomain_create(const std::string& type, const std::string& typeParamsJson,
                         qzerr_Status* status) override;
  bool syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status) override;
  void syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency, bool waitToBecomeCoherent,
                          uint32_t timeout_s, qzerr_Status* status) override;
  void syncDomain_stop(const std::string& syncDomainUri, qzerr_Status* status) override;
  void syncDomain_delete(const std::string& syncDomainUri, qzerr_Status* status) override;
  void syncDomain_addSyncableDevice(const std::string& syncDomainUri, const std::string& syncableDeviceUri,
                                    qzerr_Status* status) override;
  bool syncDomain_isCoherent(const std::string& syncDomainUri, qzerr_Status* status) override;
  bool syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri, qzerr_Status* status) override;
  void syncDomain_createAndAddDevices(const std::string& type, const std::string& typeParamsJson, char* buffer,
                                      size_t size, qzerr_Status* status) override;
  void getTimescaleInfo(char* buffer, size_t size, qzerr_Status* status) override;
  void getSyncableDeviceInfo(char* buffer, size_t size, qzerr_Status* status) override;
  void getSyncDomainInfo(char* buffer, size_t size, qzerr_Status* status) override;
  void getTimestampCorrelatorInfo(char* buffer, size_t size, qzerr_Status* status) override;
};

}  // namespace vesksapi
