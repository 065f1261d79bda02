// vesksRpcHandler: the service's methods, served on the daemon's session. Each
// call runs the session operation of the same name with a status of its own;
// a negative status is thrown as thriftQzerr::thrift_qzerr {code, json}, which
// the processor puts into the reply, while success and warnings return
// normally (a warning and its detail never reach the client).
#pragma once

#include <cstdint>
#include <string>

#include "vesksRpc.h"
#include "vesksapi/sessionInterface.h"

namespace vesksapi {

class vesksRpcHandler : public vesksrpc::vesksRpcIf {
 public:
  // The session outlives every call: the server is stopped and joined first.
  explicit vesksRpcHandler(SessionInterface& session) : session_(session) {}

  void loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson) override;
  void unloadResources(const std::string& deviceParamsJson) override;
  void timescale_getTime(vesksrpc::vesksrpc_Timestamp& timestamp, const std::string& timescaleUri) override;
  void timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson) override;
  void timestampCorrelator_correlate(vesksrpc::vesksrpc_Timestamp& correlatedTimestamp,
                                     const std::string& sourceTimescaleUri, const std::string& destTimescaleUri,
                                     const vesksrpc::vesksrpc_Timestamp& timestampInSourceTimescale) override;
  void timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2) override;
  void syncDomain_create(const std::string& syncDomainParamsJson) override;
  void syncDomain_addSyncableDevice(const std::string& syncDomainUri, const std::string& syncableDeviceUri) override;
  bool syncDomain_start(const std::string& syncDomainUri, int32_t timeout_s) override;
  void syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency, bool waitToBecomeCoherent,
                          int32_t timeout_s) override;
  bool syncDomain_isCoherent(const std::string& syncDomainUri) override;
  bool syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri) override;
  void syncDomain_stop(const std::string& syncDomainUri) override;
  void syncDomain_delete(const std::string& syncDomainUri) override;
  void syncDomain_createAndAddDevices(std::string& timescaleUri, const std::string& syncDomainParamsJson) override;
  void getTimescaleInfo(std::string& info) override;
  void getSyncableDeviceInfo(std::string& info) override;
  void getSyncDomainInfo(std::string& info) override;
  void getTimestampCorrelatorInfo(std::string& info) override;

 private:
  SessionInterface& session_;
};

}  // namespace vesksapi
