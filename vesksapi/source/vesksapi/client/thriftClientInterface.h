// The client end of the local link to the daemon, behind an interface so the
// session proxy can be driven without a daemon. One operation per session
// operation (without the status); failures leave only as Thrift's exceptions
// or the daemon's thriftQzerr::thrift_qzerr, and outputs are written only by a
// successful reply.
#pragma once

#include <cstdint>
#include <string>

#include "vesklib/timestamp.h"

namespace vesksapi {

class ThriftClientInterface {
 public:
  virtual ~ThriftClientInterface() = default;

  // Connects a new socket to the daemon.
  virtual void open() = 0;
  // Ends the connection; harmless when none is open; never throws.
  virtual void close() = 0;

  virtual void loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson) = 0;
  virtual void unloadResources(const std::string& deviceParamsJson) = 0;
  virtual void timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp) = 0;
  virtual void timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson) = 0;
  virtual void timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2) = 0;
  virtual void timestampCorrelator_correlate(const std::string& sourceTimescaleUri,
                                             const std::string& destTimescaleUri,
                                             const vesklib_Timestamp* timestampInSourceTimescale,
                                             vesklib_Timestamp* correlatedTimestamp) = 0;
  virtual void syncDomain_create(const std::string& syncDomainParamsJson) = 0;
  virtual bool syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s) = 0;
  virtual void syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                  bool waitToBecomeCoherent, uint32_t timeout_s) = 0;
  virtual void syncDomain_stop(const std::string& syncDomainUri) = 0;
  virtual void syncDomain_delete(const std::string& syncDomainUri) = 0;
  virtual void syncDomain_addSyncableDevice(const std::string& syncDomainUri,
                                            const std::string& syncableDeviceUri) = 0;
  virtual bool syncDomain_isCoherent(const std::string& syncDomainUri) = 0;
  virtual bool syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri) = 0;
  virtual void syncDomain_createAndAddDevices(std::string& result, const std::string& syncDomainParamsJson) = 0;
  virtual void getTimescaleInfo(std::string& info) = 0;
  virtual void getSyncableDeviceInfo(std::string& info) = 0;
  virtual void getSyncDomainInfo(std::string& info) = 0;
  virtual void getTimestampCorrelatorInfo(std::string& info) = 0;
};

}  // namespace vesksapi
