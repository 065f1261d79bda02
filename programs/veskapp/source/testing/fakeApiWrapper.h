// For tests: a client API that records every call as one line of text
// ("name(arg, arg)") and answers from its public settings. A failure set in
// failCode/failDetail is written into the status of every call that takes
// one; output buffers receive uriText or the info text as the client library
// writes them, an info text that does not fit failing with -52019 and the
// sizes in its detail.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "apiWrapper.h"
#include "qzerr/errorConstants.h"
#include "qzerr/errorDetail.h"

namespace veskapp::testing {

class FakeApiWrapper : public vesksapi::ApiWrapperInterface {
 public:
  std::vector<std::string> calls;
  int32_t failCode = 0;
  std::string failDetail;
  uint32_t apiVersion = 2380;
  bool boolResult = true;
  vesklib_Timestamp timestamp = {0, 0, 0, false};
  std::string uriText;
  // Asked once per info call.
  std::function<std::string()> infoText = [] { return std::string("[]"); };

  uint32_t getApiVersion() override {
    calls.push_back("getApiVersion()");
    return apiVersion;
  }
  void loadResources(const std::string& type, const std::string& json, qzerr_Status* status) override {
    record(status, "loadResources(" + type + ", " + json + ")");
  }
  void unloadResources(const std::string& type, const std::string& json, qzerr_Status* status) override {
    record(status, "unloadResources(" + type + ", " + json + ")");
  }
  void timescale_getTime(const std::string& uri, vesklib_Timestamp* out, qzerr_Status* status) override {
    if (record(status, "timescale_getTime(" + uri + ", " + text(*out) + ")")) *out = timestamp;
  }
  void getCurrentTimescale(const std::string& host, char* buffer, size_t size, qzerr_Status* status) override {
    if (record(status, "getCurrentTimescale(" + host + ", " + std::to_string(size) + ")")) {
      writeUri(buffer, size);
    }
  }
  void timestampCorrelator_create(const std::string& type, const std::string& json, qzerr_Status* status) override {
    record(status, "timestampCorrelator_create(" + type + ", " + json + ")");
  }
  void timestampCorrelator_delete(const std::string& uri1, const std::string& uri2, qzerr_Status* status) override {
    record(status, "timestampCorrelator_delete(" + uri1 + ", " + uri2 + ")");
  }
  void timestampCorrelator_correlate(const std::string& source, const std::string& dest,
                                     const vesklib_Timestamp* in, vesklib_Timestamp* out,
                                     qzerr_Status* status) override {
    const std::string call = "timestampCorrelator_correlate(" + source + ", " + dest + ", " + text(*in) + ", " +
                             text(*out) + ")";
    if (record(status, call)) *out = timestamp;
  }
  void syncDomain_create(const std::string& type, const std::string& json, qzerr_Status* status) override {
    record(status, "syncDomain_create(" + type + ", " + json + ")");
  }
  bool syncDomain_start(const std::string& uri, uint32_t timeout_s, qzerr_Status* status) override {
    return record(status, "syncDomain_start(" + uri + ", " + std::to_string(timeout_s) + ")") && boolResult;
  }
  void syncDomain_startV2(const std::string& uri, bool save, bool wait, uint32_t timeout_s,
                          qzerr_Status* status) override {
    record(status, "syncDomain_startV2(" + uri + ", " + flag(save) + ", " + flag(wait) + ", " +
                       std::to_string(timeout_s) + ")");
  }
  void syncDomain_stop(const std::string& uri, qzerr_Status* status) override {
    record(status, "syncDomain_stop(" + uri + ")");
  }
  void syncDomain_delete(const std::string& uri, qzerr_Status* status) override {
    record(status, "syncDomain_delete(" + uri + ")");
  }
  void syncDomain_addSyncableDevice(const std::string& uri, const std::string& device,
                                    qzerr_Status* status) override {
    record(status, "syncDomain_addSyncableDevice(" + uri + ", " + device + ")");
  }
  bool syncDomain_isCoherent(const std::string& uri, qzerr_Status* status) override {
    return record(status, "syncDomain_isCoherent(" + uri + ")") && boolResult;
  }
  bool syncDomain_isCoherentSinceLastChecked(const std::string& uri, qzerr_Status* status) override {
    return record(status, "syncDomain_isCoherentSinceLastChecked(" + uri + ")") && boolResult;
  }
  void syncDomain_createAndAddDevices(const std::string& type, const std::string& json, char* buffer, size_t size,
                                      qzerr_Status* status) override {
    if (record(status, "syncDomain_createAndAddDevices(" + type + ", " + json + ", " + std::to_string(size) + ")")) {
      writeUri(buffer, size);
    }
  }
  void getTimescaleInfo(char* buffer, size_t size, qzerr_Status* status) override {
    info("getTimescaleInfo", "timescaleInfo", buffer, size, status);
  }
  void getSyncableDeviceInfo(char* buffer, size_t size, qzerr_Status* status) override {
    info("getSyncableDeviceInfo", "syncableDeviceInfo", buffer, size, status);
  }
  void getSyncDomainInfo(char* buffer, size_t size, qzerr_Status* status) override {
    info("getSyncDomainInfo", "syncDomainInfo", buffer, size, status);
  }
  void getTimestampCorrelatorInfo(char* buffer, size_t size, qzerr_Status* status) override {
    info("getTimestampCorrelatorInfo", "timestampCorrelatorInfo", buffer, size, status);
  }

  static std::string text(const vesklib_Timestamp& t) {
    return "{" + std::to_string(t.seconds) + "," + std::to_string(t.nanos) + "," +
           std::to_string(t.fractionalNanos) + "," + flag(t.isNegative) + "}";
  }

 private:
  static std::string flag(bool value) { return value ? "true" : "false"; }

  // Records the call and writes the set failure; true when the call succeeds.
  bool record(qzerr_Status* status, const std::string& call) {
    calls.push_back(call);
    if (failCode == 0) return true;
    qzerr_setCode(status, failCode);
    qzerr_resetJson(status, failDetail.c_str());
    return false;
  }

  void writeUri(char* buffer, size_t size) {
    memset(buffer, 0, size);
    memcpy(buffer, uriText.data(), std::min(uriText.size(), size - 1));
  }

  void info(const char* name, const std::string& key, char* buffer, size_t size, qzerr_Status* status) {
    if (!record(status, std::string(name) + "(" + std::to_string(size) + ")")) return;
    const std::string answer = infoText();
    memset(buffer, 0, size);
    if (answer.size() < size) {
      memcpy(buffer, answer.data(), answer.size());
      return;
    }
    QZERR_STATUS_ERROR(status, qzerr::kBufferTooSmall)
        .channel("qzsyncdomain_debug")
        .add("infoBufferSize", static_cast<uint64_t>(size))
        .add((key + "Size").c_str(), static_cast<uint64_t>(answer.size()))
        .addRaw(key.c_str(), answer);
  }
};

}  // namespace veskapp::testing
