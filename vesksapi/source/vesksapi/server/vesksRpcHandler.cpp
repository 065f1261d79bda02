#include "vesksapi/server/vesksRpcHandler.h"

#include <type_traits>

#include "qzerr/status.h"
#include "vesksapi/server/wireValues.h"

namespace vesksapi {

namespace {

// The status of one call; its detail buffer is released however the call
// ends, a thrown error included.
class RpcStatus {
 public:
  RpcStatus() : status_(qzerr_freshStatus()) {}
  RpcStatus(const RpcStatus&) = delete;
  RpcStatus& operator=(const RpcStatus&) = delete;
  ~RpcStatus() { qzerr_releaseJson(&status_); }

  qzerr_Status* get() { return &status_; }

  // A negative code travels to the client; zero and warnings stay here.
  void throwIfError() const {
    if (status_.code >= 0) return;
    thriftQzerr::thrift_qzerr error;
    error.code = status_.code;
    error.json = status_.json != nullptr ? status_.json : "";
    throw error;
  }

 private:
  qzerr_Status status_;
};

// Runs one session operation, operation(status), with a fresh status.
template <typename Operation>
auto serve(Operation operation) {
  RpcStatus status;
  if constexpr (std::is_void_v<decltype(operation(status.get()))>) {
    operation(status.get());
    status.throwIfError();
  } else {
    auto result = operation(status.get());
    status.throwIfError();
    return result;
  }
}

}  // namespace

void vesksRpcHandler::loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson) {
  serve([&](qzerr_Status* status) { session_.loadResources(loadedResourcesJson, deviceParamsJson, status); });
}

void vesksRpcHandler::unloadResources(const std::string& deviceParamsJson) {
  serve([&](qzerr_Status* status) { session_.unloadResources(deviceParamsJson, status); });
}

void vesksRpcHandler::timescale_getTime(vesksrpc::vesksrpc_Timestamp& timestamp, const std::string& timescaleUri) {
  vesklib_Timestamp reading{};
  serve([&](qzerr_Status* status) { session_.timescale_getTime(timescaleUri, &reading, status); });
  timestamp = wire::toWire(reading);
}

void vesksRpcHandler::timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson) {
  serve([&](qzerr_Status* status) { session_.timestampCorrelator_create(timestampCorrelatorParamsJson, status); });
}

void vesksRpcHandler::timestampCorrelator_correlate(vesksrpc::vesksrpc_Timestamp& correlatedTimestamp,
                                                    const std::string& sourceTimescaleUri,
                                                    const std::string& destTimescaleUri,
                                                    const vesksrpc::vesksrpc_Timestamp& timestampInSourceTimescale) {
  const vesklib_Timestamp source = wire::fromWire(timestampInSourceTimescale);
  vesklib_Timestamp correlated{};
  serve([&](qzerr_Status* status) {
    session_.timestampCorrelator_correlate(sourceTimescaleUri, destTimescaleUri, &source, &correlated, status);
  });
  correlatedTimestamp = wire::toWire(correlated);
}

void vesksRpcHandler::timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2) {
  serve([&](qzerr_Status* status) { session_.timestampCorrelator_delete(timescaleUri1, timescaleUri2, status); });
}

void vesksRpcHandler::syncDomain_create(const std::string& syncDomainParamsJson) {
  serve([&](qzerr_Status* status) { session_.syncDomain_create(syncDomainParamsJson, status); });
}

void vesksRpcHandler::syncDomain_addSyncableDevice(const std::string& syncDomainUri,
                                                   const std::string& syncableDeviceUri) {
  serve([&](qzerr_Status* status) {
    session_.syncDomain_addSyncableDevice(syncDomainUri, syncableDeviceUri, status);
  });
}

bool vesksRpcHandler::syncDomain_start(const std::string& syncDomainUri, int32_t timeout_s) {
  return serve([&](qzerr_Status* status) {
    return session_.syncDomain_start(syncDomainUri, wire::timeoutFromWire(timeout_s), status);
  });
}

void vesksRpcHandler::syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                         bool waitToBecomeCoherent, int32_t timeout_s) {
  serve([&](qzerr_Status* status) {
    session_.syncDomain_startV2(syncDomainUri, saveInitialCoherency, waitToBecomeCoherent,
                                wire::timeoutFromWire(timeout_s), status);
  });
}

bool vesksRpcHandler::syncDomain_isCoherent(const std::string& syncDomainUri) {
  return serve([&](qzerr_Status* status) { return session_.syncDomain_isCoherent(syncDomainUri, status); });
}

bool vesksRpcHandler::syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri) {
  return serve([&](qzerr_Status* status) {
    return session_.syncDomain_isCoherentSinceLastChecked(syncDomainUri, status);
  });
}

void vesksRpcHandler::syncDomain_stop(const std::string& syncDomainUri) {
  serve([&](qzerr_Status* status) { session_.syncDomain_stop(syncDomainUri, status); });
}

void vesksRpcHandler::syncDomain_delete(const std::string& syncDomainUri) {
  serve([&](qzerr_Status* status) { session_.syncDomain_delete(syncDomainUri, status); });
}

void vesksRpcHandler::syncDomain_createAndAddDevices(std::string& timescaleUri,
                                                     const std::string& syncDomainParamsJson) {
  serve([&](qzerr_Status* status) {
    session_.syncDomain_createAndAddDevices(timescaleUri, syncDomainParamsJson, status);
  });
}

void vesksRpcHandler::getTimescaleInfo(std::string& info) {
  serve([&](qzerr_Status* status) { session_.getTimescaleInfo(info, status); });
}

void vesksRpcHandler::getSyncableDeviceInfo(std::string& info) {
  serve([&](qzerr_Status* status) { session_.getSyncableDeviceInfo(info, status); });
}

void vesksRpcHandler::getSyncDomainInfo(std::string& info) {
  serve([&](qzerr_Status* status) { session_.getSyncDomainInfo(info, status); });
}

void vesksRpcHandler::getTimestampCorrelatorInfo(std::string& info) {
  serve([&](qzerr_Status* status) { session_.getTimestampCorrelatorInfo(info, status); });
}

}  // namespace vesksapi
