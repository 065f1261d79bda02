#include "vesklib_wrapper/vesklibWrapperFactory.h"

#include "qzerr/errorDetail.h"
#include "vesklib/vesklib.h"
#include "vesklib_wrapper/vesklibCall.h"
#include "vesklib_wrapper/vesklibWrappers.h"
#include "vesksapi/libraryObjects.h"

namespace vesklib::wrapper {

using detail::adopt;
using detail::callVesklib;

std::shared_ptr<TimescaleInterface> makeHostTimescale(const std::string& uri) {
  return adopt<HostTimescale>(callVesklib(vesklib_HostTimescale_create, uri.c_str()), vesklib_Timescale_delete);
}

std::shared_ptr<SyncDomainInterface> makeSyncDomain(const std::string& uri, TimescaleInterface& timescale,
                                                    uint32_t maxOffset_ns, uint32_t minSyncDuration_ms,
                                                    ThreadPoolInterface* threadPool) {
  return adopt<SyncDomain>(callVesklib(vesklib_SyncDomain_create, uri.c_str(), timescale.getHandle(),
                                       maxOffset_ns, minSyncDuration_ms, threadPool),
                           vesklib_SyncDomain_delete);
}

std::shared_ptr<SyncDomainInterface> makeNopSyncDomain(const std::string& uri, TimescaleInterface& timescale) {
  return adopt<NopSyncDomain>(callVesklib(vesklib_NopSyncDomain_create, uri.c_str(), timescale.getHandle()),
                              vesklib_SyncDomain_delete);
}

std::shared_ptr<ResourceLoaderInterface> makeProxyResourceLoader() {
  return std::make_shared<ProxyResourceLoader>();
}

namespace {

// Made once per process, on the first correlator: a host without the
// manager's client library keeps an empty holder and is never asked again.
vesksapi::QlmClientApiHolder& qlmClientApi() {
  std::unique_ptr<vesksapi::QlmClientApiHolder>& holder = vesksapi::libraryObjects::qlmClientApiHolder();
  if (!holder) holder = std::make_unique<vesksapi::QlmClientApiHolder>(qzpendulo::makeQlmClientApi());
  return *holder;
}

// The no-op correlator serves only when both clocks are the host's own and
// the host follows its time reference; the manager is asked first, for every
// pair, so its failure fails the creation whatever the timescales.
bool bothFollowTheHostsReference(TimescaleInterface& timescale1, TimescaleInterface& timescale2) {
  const vesksapi::QlmClientApiHolder& api = qlmClientApi();
  if (!api.helpers || !api.helpers->isHostTimeSynchronized()) return false;
  return isLocalTimescale(timescale1) && isLocalTimescale(timescale2);
}

constexpr char kLocalHost[] = "localhost";

}  // namespace

std::shared_ptr<TimestampCorrelatorInterface> makeTimestampCorrelator(const std::string& uri,
                                                                      TimescaleInterface& timescale1,
                                                                      TimescaleInterface& timescale2,
                                                                      uint32_t samplingIntervalMs,
                                                                      uint32_t maxSampleSize,
                                                                      uint32_t maxWaitForFirstCorrelate_ms) {
  if (bothFollowTheHostsReference(timescale1, timescale2)) {
    return adopt<NopCorrelator>(callVesklib(vesklib_NopCorrelator_create, uri.c_str(), timescale1.getHandle(),
                                            timescale2.getHandle()),
                                vesklib_TimestampCorrelator_delete);
  }
  return adopt<LinearCorrelator>(
      callVesklib(vesklib_LinearCorrelator_create, uri.c_str(), timescale1.getHandle(), timescale2.getHandle(),
                  samplingIntervalMs, maxSampleSize, maxWaitForFirstCorrelate_ms),
      vesklib_TimestampCorrelator_delete);
}

bool isLocalTimescale(TimescaleInterface& timescale) {
  const std::string uri = timescale.getUri();
  if (uri.empty()) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel("qzsyncdomain_debug", "Failed to parse URI; URI is empty.")
        .add("uri", uri)
        .raise();
  }
  const size_t start = uri[0] == '/' ? 1 : 0;
  return uri.compare(start, uri.find('/', start) - start, kLocalHost) == 0;
}

}  // namespace vesklib::wrapper
