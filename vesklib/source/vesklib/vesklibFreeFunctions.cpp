// The exported resource functions of the core library, in the frame of
// exportFrame.h: what a remote target offers, and where its resources were
// registered.
#include <cstring>

#include "qzerr/errorDetail.h"
#include "vesklib/exportFrame.h"
#include "vesklib/proxyResources.h"
#include "vesklib/vesklib.h"
#include "vesktools_curl/webHelperFunctions.h"

namespace frame = vesklib::frame;

namespace {

// The caller's allocator gives the array; it receives the handles in list
// order only once every one of them exists.
TimescaleInterface** handOut(std::vector<std::unique_ptr<TimescaleInterface>>& timescales,
                             vesklib_Allocator allocator) {
  auto* array = static_cast<TimescaleInterface**>(allocator(timescales.size() * sizeof(TimescaleInterface*)));
  if (array == nullptr) {
    QZERR_ERROR(qzerr::kMemoryFull).channel("qzsyncdomain_debug", "Unable to allocate memory for Timescales").raise();
  }
  for (size_t i = 0; i < timescales.size(); ++i) array[i] = timescales[i].release();
  return array;
}

}  // namespace

void vesklib_loadProxyResources(const char* networkDeviceParamsJson, SyncableDeviceInterface** deviceOut,
                                TimescaleInterface*** timescalesOut, size_t* timescaleCount,
                                vesklib_Allocator allocator, qzerr_Status* status) {
  frame::call(status,
              VESKLIB_ARGS({"networkDeviceParamsJson", networkDeviceParamsJson}, {"deviceOut", deviceOut},
                           {"timescalesOut", timescalesOut}, {"timescaleCount", timescaleCount},
                           {"allocator", reinterpret_cast<const void*>(allocator)}),
              [&] {
                vesklib::ProxyResources loaded =
                    vesklib::loadProxyResources(networkDeviceParamsJson, "vesklib_loadProxyResources");
                const size_t count = loaded.timescales.size();
                if (count != 0) *timescalesOut = handOut(loaded.timescales, allocator);
                *timescaleCount = count;
                *deviceOut = loaded.device.release();
              });
}

void vesklib_getProxyResourceUriRootsToUnload(const char* networkDeviceParamsJson, size_t bufferSize,
                                              char* deviceUriRootOut, char* timescaleUriRootOut,
                                              qzerr_Status* status) {
  frame::call(status,
              VESKLIB_ARGS({"networkDeviceParamsJson", networkDeviceParamsJson},
                           {"deviceUriRootOut", deviceUriRootOut}, {"timescaleUriRootOut", timescaleUriRootOut}),
              [&] {
                const std::string remoteHost = vesklib::readRemoteHost(
                    networkDeviceParamsJson, "vesklib_getProxyResourceUriRootsToUnload");
                const std::string root = vesktools::bracketIpv6Host(remoteHost);
                if (bufferSize <= root.size()) {
                  QZERR_ERROR(qzerr::kBufferTooSmall)
                      .channel("qzsyncdomain_debug", "the uri root buffers is not large enough.")
                      .add("bufferSize", static_cast<uint64_t>(bufferSize))
                      .add("remoteHost", remoteHost)
                      .raise();
                }
                memcpy(deviceUriRootOut, root.c_str(), root.size() + 1);
                memcpy(timescaleUriRootOut, root.c_str(), root.size() + 1);
              });
}
