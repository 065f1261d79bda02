#include "vesksapi/client/thriftClient.h"

#include <utility>

#include <thrift/transport/TSocket.h>

#include "vesksapi/client/replyCheckingProtocol.h"
#include "vesksapi/libraryObjects.h"
#include "vesksapi/server/localEndpoint.h"
#include "vesksapi/server/wireValues.h"
#include "wireCheckingProtocol.h"

namespace vesksapi {

namespace {

using apache::thrift::transport::TTransport;

// What the daemon may send back: its texts (the info lists of every
// registered object among them) well below this, and no lists at all.
constexpr rpc::WireLimits kReplyLimits{/*stringBytes=*/64 * 1024 * 1024, /*containerElements=*/64 * 1024};

// Whatever answers on the socket is checked before Thrift reads it, as the
// daemon checks its callers.
std::shared_ptr<apache::thrift::protocol::TProtocol> makeProtocol(const std::shared_ptr<TTransport>& transport) {
  return std::make_shared<ReplyCheckingProtocol>(std::make_shared<rpc::WireCheckingProtocol>(transport, kReplyLimits));
}

// Text results are received apart and handed over only once the reply is
// whole: a reply cut short leaves the caller's text as it was.
template <typename Call>
void receiveText(std::string& output, Call call) {
  std::string received;
  call(received);
  output = std::move(received);
}

}  // namespace

ThriftClient::ThriftClient()
    : transport_(std::make_shared<apache::thrift::transport::TSocket>(
          localEndpoint::socketPath(libraryObjects::clientSocketName()))),
      protocol_(makeProtocol(transport_)),
      client_(protocol_) {}

// Thrift's socket keeps its descriptor when the connect fails, and would then
// take itself for open: the next call would write to a socket never
// connected. Closing it lets the next open connect afresh.
void ThriftClient::open() {
  try {
    transport_->open();
  } catch (...) {
    transport_->close();
    throw;
  }
}

void ThriftClient::close() { transport_->close(); }

void ThriftClient::loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson) {
  receiveText(loadedResourcesJson,
              [&](std::string& received) { client_.loadResources(received, deviceParamsJson); });
}

void ThriftClient::unloadResources(const std::string& deviceParamsJson) {
  client_.unloadResources(deviceParamsJson);
}

void ThriftClient::timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp) {
  vesksrpc::vesksrpc_Timestamp received;
  client_.timescale_getTime(received, timescaleUri);
  *timestamp = wire::fromWire(received);
}

void ThriftClient::timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson) {
  client_.timestampCorrelator_create(timestampCorrelatorParamsJson);
}

void ThriftClient::timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2) {
  client_.timestampCorrelator_delete(timescaleUri1, timescaleUri2);
}

void ThriftClient::timestampCorrelator_correlate(const std::string& sourceTimescaleUri,
                                                 const std::string& destTimescaleUri,
                                                 const vesklib_Timestamp* timestampInSourceTimescale,
                                                 vesklib_Timestamp* correlatedTimestamp) {
  vesksrpc::vesksrpc_Timestamp received;
  client_.timestampCorrelator_correlate(received, sourceTimescaleUri, destTimescaleUri,
                                        wire::toWire(*timestampInSourceTimescale));
  *correlatedTimestamp = wire::fromWire(received);
}

void ThriftClient::syncDomain_create(const std::string& syncDomainParamsJson) {
  client_.syncDomain_create(syncDomainParamsJson);
}

bool ThriftClient::syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s) {
  return client_.syncDomain_start(syncDomainUri, wire::timeoutToWire(timeout_s));
}

void ThriftClient::syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                      bool waitToBecomeCoherent, uint32_t timeout_s) {
  client_.syncDomain_startV2(syncDomainUri, saveInitialCoherency, waitToBecomeCoherent, wire::timeoutToWire(timeout_s));
}

void ThriftClient::syncDomain_stop(const std::string& syncDomainUri) { client_.syncDomain_stop(syncDomainUri); }

void ThriftClient::syncDomain_delete(const std::string& syncDomainUri) { client_.syncDomain_delete(syncDomainUri); }

void ThriftClient::syncDomain_addSyncableDevice(const std::string& syncDomainUri,
                                                const std::string& syncableDeviceUri) {
  client_.syncDomain_addSyncableDevice(syncDomainUri, syncableDeviceUri);
}

bool ThriftClient::syncDomain_isCoherent(const std::string& syncDomainUri) {
  return client_.syncDomain_isCoherent(syncDomainUri);
}

bool ThriftClient::syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri) {
  return client_.syncDomain_isCoherentSinceLastChecked(syncDomainUri);
}

void ThriftClient::syncDomain_createAndAddDevices(std::string& result, const std::string& syncDomainParamsJson) {
  receiveText(result,
              [&](std::string& received) { client_.syncDomain_createAndAddDevices(received, syncDomainParamsJson); });
}

void ThriftClient::getTimescaleInfo(std::string& info) {
  receiveText(info, [&](std::string& received) { client_.getTimescaleInfo(received); });
}

void ThriftClient::getSyncableDeviceInfo(std::string& info) {
  receiveText(info, [&](std::string& received) { client_.getSyncableDeviceInfo(received); });
}

void ThriftClient::getSyncDomainInfo(std::string& info) {
  receiveText(info, [&](std::string& received) { client_.getSyncDomainInfo(received); });
}

void ThriftClient::getTimestampCorrelatorInfo(std::string& info) {
  receiveText(info, [&](std::string& received) { client_.getTimestampCorrelatorInfo(received); });
}

}  // namespace vesksapi
