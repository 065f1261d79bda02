// Loading a remote target's resources: from a network-device parameter
// document, one GET of the target's resource list gives a proxy for its first
// syncable device and one for each of its timescales. On any failure nothing
// made survives the call. The URI root of a target is its host in URI form
// (bracketed when it holds a ':'); every resource URI of the target begins
// with it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vesklib/syncableDeviceInterface.h"
#include "vesklib/timescaleInterface.h"

namespace vesklib {

struct ProxyResources {
  std::unique_ptr<SyncableDeviceInterface> device;
  std::vector<std::unique_ptr<TimescaleInterface>> timescales;
};

// `source` names the calling function in the detail of an invalid document.
ProxyResources loadProxyResources(const std::string& networkDeviceParamsJson, const char* source);
// The remote host the document names, as written there (not bracketed).
std::string readRemoteHost(const std::string& networkDeviceParamsJson, const char* source);

}  // namespace vesklib
