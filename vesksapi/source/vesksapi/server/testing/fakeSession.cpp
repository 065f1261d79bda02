#include "fakeSession.h"

namespace vesksapi::testing {

namespace {

std::string text(const vesklib_Timestamp& t) {
  return "{" + std::to_string(t.seconds) + "," + std::to_string(t.nanos) + "," + std::to_string(t.fractionalNanos) +
         "," + std::to_string(t.isNegative) + "}";
}

}  // namespace

std::vector<std::string> FakeSession::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void FakeSession::called(const std::string& call, qzerr_Status* status) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }
  if (outcome) outcome(status);
}

void FakeSession::loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson,
                                qzerr_Status* status) {
  loadedResourcesJson = "loadResources result";
  called("loadResources(" + deviceParamsJson + ")", status);
}

void FakeSession::unloadResources(const std::string& deviceParamsJson, qzerr_Status* status) {
  called("unloadResources(" + deviceParamsJson + ")", status);
}

void FakeSession::timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp,
                                    qzerr_Status* status) {
  called("timescale_getTime(" + timescaleUri + "," + text(*timestamp) + ")", status);
  *timestamp = kFakeTime;
}

void FakeSession::timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson,
                                             qzerr_Status* status) {
  called("timestampCorrelator_create(" + timestampCorrelatorParamsJson + ")", status);
}

void FakeSession::timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2,
                                             qzerr_Status* status) {
  called("timestampCorrelator_delete(" + timescaleUri1 + "," + timescaleUri2 + ")", status);
}

void FakeSession::timestampCorrelator_correlate(const std::string& sourceTimescaleUri,
                                                const std::string& destTimescaleUri,
                                                const vesklib_Timestamp* timestampInSourceTimescale,
                                                vesklib_Timestamp* correlatedTimestamp, qzerr_Status* status) {
  called("timestampCorrelator_correlate(" + sourceTimescaleUri + "," + destTimescaleUri + "," +
             text(*timestampInSourceTimescale) + "," + text(*correlatedTimestamp) + ")",
         status);
  *correlatedTimestamp = kFakeTime;
}

void FakeSession::syncDomain_create(const std::string& syncDomainParamsJson, qzerr_Status* status) {
  called("syncDomain_create(" + syncDomainParamsJson + ")", status);
}

bool FakeSession::syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status) {
  called("syncDomain_start(" + syncDomainUri + "," + std::to_string(timeout_s) + ")", status);
  return true;
}

void FakeSession::syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                     bool waitToBecomeCoherent, uint32_t timeout_s, qzerr_Status* status) {
  called("syncDomain_startV2(" + syncDomainUri + "," + std::to_string(saveInitialCoherency) + "," +
             std::to_string(waitToBecomeCoherent) + "," + std::to_string(timeout_s) + ")",
         status);
}

void FakeSession::syncDomain_stop(const std::string& syncDomainUri, qzerr_Status* status) {
  called("syncDomain_stop(" + syncDomainUri + ")", status);
}

void FakeSession::syncDomain_delete(const std::string& syncDomainUri, qzerr_Status* status) {
  called("syncDomain_delete(" + syncDomainUri + ")", status);
}

void FakeSession::syncDomain_addSyncableDevice(const std::string& syncDomainUri,
                                               const std::string& syncableDeviceUri, qzerr_Status* status) {
  called("syncDomain_addSyncableDevice(" + syncDomainUri + "," + syncableDeviceUri + ")", status);
}

bool FakeSession::syncDomain_isCoherent(const std::string& syncDomainUri, qzerr_Status* status) {
  called("syncDomain_isCoherent(" + syncDomainUri + ")", status);
  return true;
}

bool FakeSession::syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri, qzerr_Status* status) {
  called("syncDomain_isCoherentSinceLastChecked(" + syncDomainUri + ")", status);
  return true;
}

void FakeSession::syncDomain_createAndAddDevices(std::string& result, const std::string& syncDomainParamsJson,
                                                 qzerr_Status* status) {
  result = "syncDomain_createAndAddDevices result";
  called("syncDomain_createAndAddDevices(" + syncDomainParamsJson + ")", status);
}

void FakeSession::getTimescaleInfo(std::string& info, qzerr_Status* status) {
  info = "getTimescaleInfo result";
  called("getTimescaleInfo()", status);
}

void FakeSession::getSyncableDeviceInfo(std::string& info, qzerr_Status* status) {
  info = "getSyncableDeviceInfo result";
  called("getSyncableDeviceInfo()", status);
}

void FakeSession::getSyncDomainInfo(std::string& info, qzerr_Status* status) {
  info = "getSyncDomainInfo result";
  called("getSyncDomainInfo()", status);
}

void FakeSession::getTimestampCorrelatorInfo(std::string& info, qzerr_Status* status) {
  info = "getTimestampCorrelatorInfo result";
  called("getTimestampCorrelatorInfo()", status);
}

}  // namespace vesksapi::testing
