// The readers of the three parameter documents the service receives as text:
// {"version":1,"type":...,"params":{...}} for a sync domain, a sync domain
// built from remote hosts, and a timestamp correlator. Each fills the record
// the caller preset (a member given as null keeps its preset) and throws
// qzerr::Exception (or a numeric conversion's exception) for a bad document;
// fields read before a failure keep what they were given. A string holding an
// escaped NUL fails as invalid JSON; a number too large for a double (1e400)
// fails as out of range, not as null.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesksapi {

struct SyncDomainParams {
  std::string uri;
  std::string timescaleUri;
  uint32_t maxOffset_ns = 0;
  uint32_t minSyncDuration_ms = 0;
};

struct SdCreateAndAddRemoteDevicesParams {
  std::string uri;
  std::string timescaleUri;  // empty: the session chooses
  std::vector<std::string> remoteHosts;
  uint32_t maxOffset_ns = 0;
  uint32_t minSyncDuration_ms = 0xFFFFFFFF;
};

struct CorrelatorParams {
  std::string type;
  std::string subType;
  std::string timescaleUri1;
  std::string timescaleUri2;
  uint32_t samplingIntervalMs = 0;
  uint32_t maxSampleSize = 0;
  uint32_t maxWaitForFirstCorrelate_ms = 0;
  uint32_t maxCacheSize = 0;
};

void parseSyncDomainParamsJson(const std::string& json, SyncDomainParams& params);
void parseSdCreateAndAddRemoteDevicesParams(const std::string& json, SdCreateAndAddRemoteDevicesParams& params);
// Without "maxWaitForFirstCorrelate_ms" the wait is twice the sampling
// interval, at most 4294967295.
void parseCorrelatorParamsJson(const std::string& json, CorrelatorParams& params);

}  // namespace vesksapi
