#include "apiWrapper.h"

#include "vesksapi/vesksapi.h"

namespace vesksapi {

uint32_t ApiWrapper::getApiVersion() { return static_cast<uint32_t>(vesksapi_getApiVersion()); }

void ApiWrapper::loadResources(const std::string& type, const std::string& typeParamsJson, qzerr_Status* status) {
  vesksapi_loadResources(type.c_str(), typeParamsJson.c_str(), status);
}

void ApiWrapper::unloadResources(const std::string& type, const std::string& typeParamsJson,
                                 qzerr_Status* status) {
  vesksapi_unloadResources(type.c_str(), typeParamsJson.c_str(), status);
}

void ApiWrapper::timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp,
                                   qzerr_Status* status) {
  vesksapi_timescale_getTime(timescaleUri.c_str(), timestamp, status);
}

void ApiWrapper::getCurrentTimescale(const std::string& remoteHost, char* buffer, size_t size,
                                     qzerr_Status* status) {
  vesksapi_getCurrentTimescale(remoteHost.c_str(), buffer, size, status);
}

void ApiWrapper::timestampCorrelator_create(const std::string& type, const std::string& typeParamsJson,
                                            qzerr_Status* status) {
  vesksapi_timestampCorrelator_create(type.c_str(), typeParamsJson.c_str(), status);
}

void ApiWrapper::timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2,
                                            qzerr_Status* status) {
  vesksapi_timestampCorrelator_delete(timescaleUri1.c_str(), timescaleUri2.c_str(), status);
}

void ApiWrapper::timestampCorrelator_correlate(const std::string& sourceTimescaleUri,
                                               const std::string& destTimescaleUri,
                                               const vesklib_Timestamp* timestampIn,
                                               vesklib_Timestamp* timestampOut, qzerr_Status* status) {
  vesksapi_timestampCorrelator_correlate(sourceTimescaleUri.c_str(), destTimescaleUri.c_str(), timestampIn,
                                         timestampOut, status);
}

void ApiWrapper::syncDomain_create(const std::string& type, const std::string& typeParamsJson,
                                   qzerr_Status* status) {
  vesksapi_syncDomain_create(type.c_str(), typeParamsJson.c_str(), status);
}

bool ApiWrapper::syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status) {
  return vesksapi_syncDomain_start(syncDomainUri.c_str(), timeout_s, status);
}

void ApiWrapper::syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                    bool waitToBecomeCoherent, uint32_t timeout_s, qzerr_Status* status) {
  vesksapi_syncDomain_startV2(syncDomainUri.c_str(), saveInitialCoherency, waitToBecomeCoherent, timeout_s,
                              status);
}

void ApiWrapper::syncDomain_stop(const std::string& syncDomainUri, qzerr_Status* status) {
  vesksapi_syncDomain_stop(syncDomainUri.c_str(), status);
}

void ApiWrapper::syncDomain_delete(const std::string& syncDomainUri, qzerr_Status* status) {
  vesksapi_syncDomain_delete(syncDomainUri.c_str(), status);
}

void ApiWrapper::syncDomain_addSyncableDevice(const std::string& syncDomainUri,
                                              const std::string& syncableDeviceUri, qzerr_Status* status) {
  vesksapi_syncDomain_addSyncableDevice(syncDomainUri.c_str(), syncableDeviceUri.c_str(), status);
}

bool ApiWrapper::syncDomain_isCoherent(const std::string& syncDomainUri, qzerr_Status* status) {
  return vesksapi_syncDomain_isCoherent(syncDomainUri.c_str(), status);
}

bool ApiWrapper::syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri, qzerr_Status* status) {
  return vesksapi_syncDomain_isCoherentSinceLastChecked(syncDomainUri.c_str(), status);
}

void ApiWrapper::syncDomain_createAndAddDevices(const std::string& type, const std::string& typeParamsJson,
                                                char* buffer, size_t size, qzerr_Status* status) {
  vesksapi_syncDomain_createAndAddDevices(type.c_str(), typeParamsJson.c_str(), buffer, size, status);
}

void ApiWrapper::getTimescaleInfo(char* buffer, size_t size, qzerr_Status* status) {
  vesksapi_getTimescaleInfo(buffer, size, status);
}

void ApiWrapper::getSyncableDeviceInfo(char* buffer, size_t size, qzerr_Status* status) {
  vesksapi_getSyncableDeviceInfo(buffer, size, status);
}

void ApiWrapper::getSyncDomainInfo(char* buffer, size_t size, qzerr_Status* status) {
  vesksapi_getSyncDomainInfo(buffer, size, status);
}

void ApiWrapper::getTimestampCorrelatorInfo(char* buffer, size_t size, qzerr_Status* status) {
  vesksapi_getTimestampCorrelatorInfo(buffer, size, status);
}

}  // namespace vesksapi
