// ThriftClient: the client library's connection to the daemon: a socket on
// the daemon's abstract local address, the binary protocol straight on it (no
// buffering layer: every write reaches the socket at once) and the generated
// client. Construction connects nothing; each operation is one request and
// one reply on the connection opened before it, with no time limit. A reply
// is bounded in its strings, containers and nesting, and one that answers
// another method or is no reply fails instead of being waited past.
#pragma once

#include <memory>

#include "vesksRpc.h"
#include "vesksapi/client/thriftClientInterface.h"

namespace vesksapi {

class ThriftClient final : public ThriftClientInterface {
 public:
  ThriftClient();

  void open() override;
  void close() override;

  void loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson) override;
  void unloadResources(const std::string& deviceParamsJson) override;
  void timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp) override;
  void timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson) override;
  void timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2) override;
  void timestampCorrelator_correlate(const std::string& sourceTimescaleUri, const std::string& destTimescaleUri,
                                     const vesklib_Timestamp* timestampInSourceTimescale,
                                     vesklib_Timestamp* correlatedTimestamp) override;
  void syncDomain_create(const std::string& syncDomainParamsJson) override;
  bool syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s) override;
  void syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency, bool waitToBecomeCoherent,
                          uint32_t timeout_s) override;
  void syncDomain_stop(const std::string& syncDomainUri) override;
  void syncDomain_delete(const std::string& syncDomainUri) override;
  void syncDomain_addSyncableDevice(const std::string& syncDomainUri,
                                    const std::string& syncableDeviceUri) override;
  bool syncDomain_isCoherent(const std::string& syncDomainUri) override;
  bool syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri) override;
  void syncDomain_createAndAddDevices(std::string& result, const std::string& syncDomainParamsJson) override;
  void getTimescaleInfo(std::string& info) override;
  void getSyncableDeviceInfo(std::string& info) override;
  void getSyncDomainInfo(std::string& info) override;
  void getTimestampCorrelatorInfo(std::string& info) override;

 private:
  std::shared_ptr<apache::thrift::transport::TTransport> transport_;
  std::shared_ptr<apache::thrift::protocol::TProtocol> protocol_;
  vesksrpc::vesksRpcClient client_;
};

}  // namespace vesksapi
