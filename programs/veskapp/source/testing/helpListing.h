// For tests: the console's whole help text, as `veskapp help` prints it.
#pragma once

#include <string>

namespace veskapp::testing {

// What `veskapp help` prints, byte for byte (one trailing space after the
// timescaleUri note).
inline const std::string kFullHelp = R"(
   help [arg]
      getApiVersion
      list
      getCurrentTimescale
      timescale
      syncDomain
      timestampCorrelator
      unloadResources
      loadResources

   loadResources --[optionN] [valN]
      --remoteHost

   unloadResources --[optionN] [valN]
      --remoteHost

   timestampCorrelator [arg] --[optionN] [valN]
      correlate
         --fns
         --ns
         --s
         --dstTimescaleUri
         --srcTimescaleUri
      delete
         --timescaleUri2
         --timescaleUri1
      create
         --historyLength
         --samplingInterval
         --timescaleUri2
         --timescaleUri1

   syncDomain [arg] --[optionN] [valN]
      isCoherentSinceLastChecked
         --uri
      isCoherent
         --uri
      addSyncableDevice
         --syncableDeviceUri
         --uri
      stop
         --uri
      startV2
         --timeout_s
         --waitToBecomeCoherent
         --saveInitialCoherency
         --uri
      start
         --timeout_s
         --uri
      delete
         --uri
      createAndAddDevices
         --minSyncDuration_ms
         --maxOffset_ns
         --remoteHosts  (e.g. [\"192.0.2.10\",\"192.0.2.20\"])
         --timescaleUri  (For automatic timescaleUri selection, supply "null") )"
                              "\n"
                              R"(         --uri
      create
         --minSyncDuration_ms
         --maxOffset_ns
         --timescaleUri
         --uri

   timescale [arg] --[optionN] [valN]
      getTime
         --timescaleUri

   getCurrentTimescale --[optionN] [valN]
      --remoteHost

   list [arg]
      correlators
      timescales
      syncableDevices
      syncDomains

   getApiVersion
)";

}  // namespace veskapp::testing
