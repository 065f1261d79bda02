#include "vesksapi/session/session.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "jsonz/jsonString.h"
#include "qzerr/errorDetail.h"
#include "vesksapi/libraryObjects.h"
#include "vesksapi/session/createAndAddDocuments.h"
#include "vesksapi/session/parseJsonParams.h"
#include "vesktools_curl/webHelperFunctions.h"

namespace vesksapi {

namespace {

using vesklib::wrapper::SyncDomainInterface;
using vesklib::wrapper::TimescaleInterface;

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr uint32_t kWorkerThreads = 25;
// One: cJSON reads the decimal point through localeconv(), which rewrites
// one static structure of the C library on every call, so parses on several
// threads at once slow each other down (four took longer together than one
// alone). It also keeps a flood of documents to one processor and one tree.
constexpr uint32_t kDocumentParserThreads = 1;
constexpr char kTimekeeperDevicePath[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kLocateTimescaleMessage[] = "Could not locate specified timescale; try loadResources.";
// The busy messages are member keys; their tabs are written escaped.
const std::string kBusyIndent = std::string(5, '\t') + std::string(21, ' ');
const std::string kDeviceBusyMessage = "device to delete is in use and could not " + kBusyIndent + "be unloaded.";
const std::string kTimescaleBusyMessage =
    "timescale to delete is in use and could not " + kBusyIndent + "be unloaded.";

// The rules of every operation: nothing when the status already holds an
// error; every exception into the status, with `failed` as the result.
template <typename Result, typename Operation>
Result reported(qzerr_Status* status, Result failed, Operation operation) {
  if (status->code < 0) return failed;
  try {
    return operation();
  } catch (...) {
    qzerr_statusFromCurrentException(status);
    return failed;
  }
}

template <typename Operation>
void reported(qzerr_Status* status, Operation operation) {
  reported(status, true, [&] {
    operation();
    return true;
  });
}

[[noreturn]] void raiseNotFound(const char* member, const std::string& uri, const char* message = nullptr) {
  qzerr::Error error = QZERR_ERROR(qzerr::kResourceNotFound);
  if (message != nullptr) error.channel(kChannel, message);
  else error.channel(kChannel);
  error.add(member, uri).raise();
}

template <typename Map>
typename Map::mapped_type& findOrRaise(Map& map, const std::string& uri, const char* member,
                                       const char* message = nullptr) {
  const auto found = map.find(uri);
  if (found == map.end()) raiseNotFound(member, uri, message);
  return found->second;
}

// The elements of a JSON array, each written by `element`.
template <typename Range, typename Element>
std::string jsonArray(const Range& range, Element element) {
  std::string elements;
  for (const auto& entry : range) {
    if (!elements.empty()) elements += ",";
    elements += element(entry);
  }
  return "[" + elements + "]";
}

// Registers each loaded object unless its URI is known (the known object
// stays); returns the JSON array of all their URIs in the order loaded.
template <typename Pointer>
std::string registerLoaded(const std::vector<Pointer>& loaded, std::unordered_map<std::string, Pointer>& registry) {
  return jsonArray(loaded, [&](const Pointer& object) {
    const std::string uri = object->getUri();
    registry.try_emplace(uri, object);
    return jsonz::jsonString(uri);
  });
}

// A registered URI is under a root only when the root is followed by '/',
// so 127.0.0.1 does not take 127.0.0.12's objects; an empty root (no host)
// names no target's objects.
bool isUnderRoot(const std::string& uri, const std::string& root) {
  return !root.empty() && uri.size() > root.size() && uri.compare(0, root.size(), root) == 0 &&
         uri[root.size()] == '/';
}

template <typename Map>
std::vector<std::string> urisUnderRoots(const std::vector<std::string>& roots, const Map& registry) {
  std::vector<std::string> uris;
  for (const std::string& root : roots) {
    for (const auto& entry : registry) {
      if (isUnderRoot(entry.first, root)) uris.push_back(entry.first);
    }
  }
  return uris;
}

[[noreturn]] void raiseStopping() {
  QZERR_ERROR(qzerr::kResourceRemoved).channel(kChannel, "The service is stopping.").raise();
}

[[noreturn]] void raiseBusy(const std::string& message, const std::string& uri) {
  QZERR_ERROR(qzerr::kResourceBusy).channel(kChannel).add(message.c_str(), uri).raise();
}

std::string pairKeyOf(const std::string& uri1, const std::string& uri2) {
  return orderedPairKey(normalisedTimescaleName(uri1), normalisedTimescaleName(uri2));
}

// Runs one of the session's own operations with a status of its own; its
// error is thrown.
template <typename Operation>
void throwingStatus(Operation operation) {
  qzerr::ScopedStatus status;
  operation(status.get());
}

// One URI array of a load's answer; missing (or empty, where one is needed) is -52005.
std::vector<std::string> readLoadedUris(const std::string& answer, const char* key, const char* message,
                                        bool needsOne = false) {
  std::vector<std::string> uris;
  if (!readStringArray(answer, key, uris) || (needsOne && uris.empty())) {
    QZERR_ERROR(qzerr::kInvalidParameter).channel(kChannel, message).add("JSON", answer).raise();
  }
  return uris;
}

std::vector<std::string> chooseCandidates(const SdCreateAndAddRemoteDevicesParams& params,
                                          const TimescaleGrouping& grouping,
                                          const std::vector<std::string>& hostDevices) {
  const auto onEveryHost = [&](const TimescaleDevices& entry) { return entry.devices.size() == hostDevices.size(); };
  if (!params.timescaleUri.empty()) {
    if (onEveryHost(grouping.at(normaliseUriTail(params.timescaleUri)))) return {params.timescaleUri};
    QZERR_ERROR(qzerr::kUnusableTimescale)
        .channel(kChannel, "Not all of the syncableDevices were on the provided timescale")
        .add("timescaleUriProvided", params.timescaleUri)
        .addRaw("timescalesAndDevices", writeTimescalesAndDevices(grouping))
        .raise();
  }
  std::vector<std::string> candidates;
  for (const auto& entry : grouping) {
    if (onEveryHost(entry.second)) candidates.push_back(entry.second.timescaleUri);
  }
  if (!candidates.empty()) return candidates;
  if (hostDevices.size() == 1 && hostDevices.front().find("localhost") != std::string::npos) {
    return {libraryObjects::systemTimescaleUri()};
  }
  QZERR_ERROR(qzerr::kNoSharedTimescale)
      .channel(kChannel, "Could not find a timescale common to all the remote hosts")
      .addRaw("timescalesAndDevices", writeTimescalesAndDevices(grouping))
      .raise();
}

}  // namespace

Session::Session()
    : resourceLoader_(vesklib::wrapper::makeProxyResourceLoader()), threadPool_(kWorkerThreads),
      documentParsers_(kDocumentParserThreads) {
  const std::string& system = libraryObjects::systemTimescaleUri();
  timescales_.emplace(system, vesklib::wrapper::makeHostTimescale(system));
}

Session::~Session() = default;

void Session::beginShutdown() noexcept {
  shuttingDown_.store(true);
  threadPool_.announceStop();
  documentParsers_.announceStop();
  std::lock_guard<std::mutex> lock(correlatingMutex_);
  if (correlating_ == nullptr) return;
  try {
    correlating_->stop();
  } catch (...) {
    // Its sampling has ended all the same; the session goes next.
  }
}

// The correlation in progress (the lock admits one at a time) is known to
// beginShutdown, which stops its correlator: a wait for the first samples
// then ends with the correlator's own answer.
void Session::correlateUntilShutdown(vesklib::wrapper::TimestampCorrelatorInterface& correlator,
                                     const vesklib_Timestamp* question, TimescaleInterface& source,
                                     vesklib_Timestamp* answer) {
  {
    std::lock_guard<std::mutex> lock(correlatingMutex_);
    refuseOnceStopping();
    correlating_ = &correlator;
  }
  struct Forget {
    Session& session;
    ~Forget() {
      std::lock_guard<std::mutex> lock(session.correlatingMutex_);
      session.correlating_ = nullptr;
    }
  } forget{*this};
  correlator.correlate(question, source, answer);
}

// Once the session is shutting down no operation begins, so the calls queued
// for the lock, or received by thousands, do not hold up a stop.
void Session::refuseOnceStopping() const {
  if (shuttingDown_.load()) raiseStopping();
}

// The parsers are told of the stop with the session: no document is parsed
// once it has begun.
void Session::parseDocument(const std::string& json, const std::function<void()>& parse) {
  if (!documentParsers_.parse(json.size(), parse)) raiseStopping();
}

std::unique_lock<std::mutex> Session::lockForOperation() {
  std::unique_lock<std::mutex> lock(mutex_);
  refuseOnceStopping();
  return lock;
}

template <typename Result, typename Operation>
Result Session::locked(qzerr_Status* status, Result failed, Operation operation) {
  return reported(status, failed, [&] {
    const std::unique_lock<std::mutex> lock = lockForOperation();
    return operation();
  });
}

template <typename Operation>
void Session::locked(qzerr_Status* status, Operation operation) {
  reported(status, [&] {
    const std::unique_lock<std::mutex> lock = lockForOperation();
    operation();
  });
}

std::string Session::makeCorrelatorKey(const std::string& uri1, const std::string& uri2) {
  return std::max(uri1, uri2) + "-" + std::min(uri1, uri2);
}

// ---- Resources

void Session::loadResources(std::string& loadedResourcesJson, const std::string& deviceParamsJson,
                            qzerr_Status* status) {
  locked(status, [&] {
    std::vector<DevicePointer> devices;
    std::vector<TimescalePointer> timescales;
    resourceLoader_->loadProxyResources(deviceParamsJson, devices, timescales);
    std::string answer = "{\"syncableDevices\":" + registerLoaded(devices, syncableDevices_);
    answer += ",\"timescales\":" + registerLoaded(timescales, timescales_) + "}";
    loadedResourcesJson = std::move(answer);
  });
}

void Session::unloadResources(const std::string& deviceParamsJson, qzerr_Status* status) {
  locked(status, [&] {
    if (syncableDevices_.empty() && timescales_.size() == 1) return;
    std::vector<std::string> deviceRoots;
    std::vector<std::string> timescaleRoots;
    resourceLoader_->getProxyResourceUriRootsToUnload(deviceParamsJson, deviceRoots, timescaleRoots);
    const std::vector<std::string> devices = urisUnderRoots(deviceRoots, syncableDevices_);
    std::vector<std::string> timescales = urisUnderRoots(timescaleRoots, timescales_);
    timescales.erase(std::remove(timescales.begin(), timescales.end(), libraryObjects::systemTimescaleUri()),
                     timescales.end());
    // Every check before any removal: a busy object leaves the target whole.
    for (const std::string& uri : devices) {
      if (isDeviceInUse(uri)) raiseBusy(kDeviceBusyMessage, uri);
    }
    for (const std::string& uri : timescales) {
      if (isTimescaleInUse(uri)) raiseBusy(kTimescaleBusyMessage, uri);
    }
    for (const std::string& uri : devices) syncableDevices_.erase(uri);
    for (const std::string& uri : timescales) timescales_.erase(uri);
  });
}

bool Session::isDeviceInUse(const std::string& syncableDeviceUri) {
  return std::any_of(syncDomains_.begin(), syncDomains_.end(),
                     [&](const auto& entry) { return entry.second->isMember(syncableDeviceUri); });
}

bool Session::isTimescaleInUse(const std::string& timescaleUri) {
  for (const auto& entry : correlators_) {
    auto& correlator = *entry.second.correlator;
    if (timescaleUri == correlator.getTimescale1Uri() || timescaleUri == correlator.getTimescale2Uri()) return true;
  }
  return std::any_of(syncDomains_.begin(), syncDomains_.end(),
                     [&](const auto& entry) { return timescaleUri == entry.second->getTimescaleUri(); });
}

Session::DevicePointer Session::findTimekeeperDevice(const std::string& timescaleUri) {
  if (timescaleUri == libraryObjects::systemTimescaleUri()) return nullptr;
  std::map<std::string, std::string> parts;
  vesktools::parseUri(timescaleUri, libraryObjects::resourceUriKeys(), parts);
  return findOrRaise(syncableDevices_, parts["remoteHost"] + kTimekeeperDevicePath, "syncableDeviceUri");
}

// ---- Timescales and the registry's descriptions

void Session::timescale_getTime(const std::string& timescaleUri, vesklib_Timestamp* timestamp,
                                qzerr_Status* status) {
  locked(status, [&] { findOrRaise(timescales_, timescaleUri, "timescaleUri")->getTime(timestamp); });
}

void Session::getTimescaleInfo(std::string& info, qzerr_Status* status) {
  locked(status, [&] {
    info = jsonArray(timescales_, [](const auto& entry) { return jsonz::jsonString(entry.first); });
  });
}

void Session::getSyncableDeviceInfo(std::string& info, qzerr_Status* status) {
  locked(status, [&] {
    info = jsonArray(syncableDevices_, [](const auto& entry) { return entry.second->toJson(); });
  });
}

void Session::getSyncDomainInfo(std::string& info, qzerr_Status* status) {
  locked(status, [&] {
    info = jsonArray(syncDomains_, [](const auto& entry) { return entry.second->toJson(); });
  });
}

void Session::getTimestampCorrelatorInfo(std::string& info, qzerr_Status* status) {
  locked(status, [&] {
    info = jsonArray(correlators_, [](const auto& entry) { return entry.second.correlator->toJson(); });
  });
}

// ---- Sync domains

SyncDomainInterface& Session::syncDomain(const std::string& syncDomainUri) {
  return *findOrRaise(syncDomains_, syncDomainUri, "syncDomainUri");
}

void Session::syncDomain_create(const std::string& syncDomainParamsJson, qzerr_Status* status) {
  reported(status, [&] {
    SyncDomainParams params;
    parseDocument(syncDomainParamsJson, [&] { parseSyncDomainParamsJson(syncDomainParamsJson, params); });
    createSyncDomain(params.uri, params.timescaleUri, params.maxOffset_ns, params.minSyncDuration_ms);
  });
}

Session::SyncDomainPointer Session::createSyncDomain(const std::string& uri, const std::string& timescaleUri,
                                                     uint32_t maxOffset_ns, uint32_t minSyncDuration_ms) {
  const std::unique_lock<std::mutex> lock = lockForOperation();
  if (syncDomains_.count(uri) != 0) {
    QZERR_ERROR(qzerr::kObjectNameCollision).channel(kChannel).add("syncDomainUri", uri).raise();
  }
  TimescaleInterface& timescale = *findOrRaise(timescales_, timescaleUri, "timescaleUri");
  SyncDomainPointer domain =
      timescale.getUri() == libraryObjects::systemTimescaleUri()
          ? vesklib::wrapper::makeNopSyncDomain(uri, timescale)
          : vesklib::wrapper::makeSyncDomain(uri, timescale, maxOffset_ns, minSyncDuration_ms, &threadPool_);
  syncDomains_.emplace(uri, domain);
  return domain;
}

void Session::syncDomain_delete(const std::string& syncDomainUri, qzerr_Status* status) {
  locked(status, [&] { syncDomains_.erase(syncDomainUri); });
}

void Session::syncDomain_addSyncableDevice(const std::string& syncDomainUri, const std::string& syncableDeviceUri,
                                           qzerr_Status* status) {
  locked(status, [&] {
    SyncDomainInterface& domain = syncDomain(syncDomainUri);
    domain.addSyncableDevice(*findOrRaise(syncableDevices_, syncableDeviceUri, "syncableDeviceUri"));
  });
}

bool Session::syncDomain_start(const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status) {
  return locked(status, false, [&] { return syncDomain(syncDomainUri).start(timeout_s); });
}

void Session::syncDomain_startV2(const std::string& syncDomainUri, bool saveInitialCoherency,
                                 bool waitToBecomeCoherent, uint32_t timeout_s, qzerr_Status* status) {
  locked(status, [&] { syncDomain(syncDomainUri).startV2(saveInitialCoherency, waitToBecomeCoherent, timeout_s); });
}

void Session::syncDomain_stop(const std::string& syncDomainUri, qzerr_Status* status) {
  locked(status, [&] { syncDomain(syncDomainUri).stop(); });
}

bool Session::syncDomain_isCoherent(const std::string& syncDomainUri, qzerr_Status* status) {
  return locked(status, false, [&] { return syncDomain(syncDomainUri).isCoherent(); });
}

bool Session::syncDomain_isCoherentSinceLastChecked(const std::string& syncDomainUri, qzerr_Status* status) {
  return locked(status, false, [&] { return syncDomain(syncDomainUri).isCoherentSinceLastChecked(); });
}

// ---- Create-and-add-devices: a sequence of the session's own locked operations

void Session::syncDomain_createAndAddDevices(std::string& result, const std::string& syncDomainParamsJson,
                                             qzerr_Status* status) {
  reported(status, [&] {
    result.clear();  // a failure leaves no half answer
    result = createAndAddDevices(syncDomainParamsJson);
  });
}

std::string Session::createAndAddDevices(const std::string& syncDomainParamsJson) {
  SdCreateAndAddRemoteDevicesParams params;
  parseDocument(syncDomainParamsJson, [&] { parseSdCreateAndAddRemoteDevicesParams(syncDomainParamsJson, params); });
  TimescaleGrouping grouping;
  if (!params.timescaleUri.empty()) {
    grouping.emplace(normaliseUriTail(params.timescaleUri), TimescaleDevices{params.timescaleUri, {}});
  }
  const bool loneLocalhost = params.remoteHosts.size() == 1 && params.remoteHosts.front() == "localhost";
  std::vector<std::string> hostDevices;
  for (const std::string& host : params.remoteHosts) {
    const std::string answer = loadHost(host);
    // A load always names one device; needing it keeps front() safe.
    const std::vector<std::string> devices = readLoadedUris(
        answer, "syncableDevices", "Failed to parse 'syncableDevices' parameter from the loadResources JSON.", true);
    const std::vector<std::string> timescales =
        readLoadedUris(answer, "timescales", "Failed to parse 'timescales' parameter from the loadResources JSON.");
    const std::string& device = devices.front();
    hostDevices.push_back(device);
    if (timescales.empty() && !loneLocalhost) {
      QZERR_ERROR(qzerr::kNoTimescaleAvailable)
          .channel(kChannel, "No timescale returned from remote chassis to load.")
          .add("resourceType", "timescale")
          .add("remoteHost", host)
          .raise();
    }
    for (const std::string& timescale : timescales) {
      grouping.try_emplace(normaliseUriTail(timescale), TimescaleDevices{timescale, {}})
          .first->second.devices.insert(device);
    }
  }
  return addDevicesWithRequirements(params.uri, chooseCandidates(params, grouping, hostDevices), hostDevices,
                                    params.maxOffset_ns, params.minSyncDuration_ms);
}

std::string Session::loadHost(const std::string& remoteHost) {
  std::string answer;
  throwingStatus([&](qzerr_Status* status) { loadResources(answer, networkDeviceParamsJson(remoteHost), status); });
  return answer;
}

std::string Session::addDevicesWithRequirements(const std::string& uri, const std::vector<std::string>& candidates,
                                                const std::vector<std::string>& hostDevices, uint32_t maxOffset_ns,
                                                uint32_t minSyncDuration_ms) {
  // Only a domain this call made, and that is still the one registered, is
  // ever deleted here: another caller's domain of the same URI stays.
  std::weak_ptr<SyncDomainInterface> created;
  try {
    TimescaleGrouping conflicts;
    for (const std::string& timescale : candidates) {
      created = createSyncDomain(uri, timescale, maxOffset_ns, minSyncDuration_ms);
      std::set<std::string> conflicting;
      for (const std::string& device : hostDevices) {
        if (addConflicts(uri, device)) conflicting.insert(device);
      }
      if (conflicting.empty()) return timescale;
      conflicts[normaliseUriTail(timescale)] = TimescaleDevices{timescale, std::move(conflicting)};
      deleteOwnedSyncDomain(uri, created);
    }
    QZERR_ERROR(qzerr::kConflictingCoherencyRequirements)
        .channel(kChannel,
                 "One or more devices could not be added to the Sync Domain because they have existing coherency "
                 "requirements that conflict with the new requirements")
        .addRaw("conflictingDevicesPerTimescale", writeTimescalesAndDevices(conflicts))
        .raise();
  } catch (...) {
    deleteOwnedSyncDomain(uri, created);
    throw;
  }
}

// Whether the device refused the domain because another domain's
// requirements differ; any other failure is thrown.
bool Session::addConflicts(const std::string& syncDomainUri, const std::string& syncableDeviceUri) {
  qzerr::ScopedStatus status;
  syncDomain_addSyncableDevice(syncDomainUri, syncableDeviceUri, status);
  if (status.get()->code != qzerr::kConflictingCoherencyRequirements.code) return false;
  status.get()->code = 0;  // expected: the next candidate may suit the device
  return true;
}

void Session::deleteOwnedSyncDomain(const std::string& uri, const std::weak_ptr<SyncDomainInterface>& domain) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = syncDomains_.find(uri);
  if (found == syncDomains_.end()) return;
  const bool same = !domain.owner_before(found->second) && !found->second.owner_before(domain);
  if (same) syncDomains_.erase(found);
}

// ---- Timestamp correlators

bool Session::hasRunningCorrelatorForPair(const std::string& pairKey) {
  return std::any_of(correlators_.begin(), correlators_.end(), [&](const auto& entry) {
    auto& correlator = *entry.second.correlator;
    return pairKeyOf(correlator.getTimescale1Uri(), correlator.getTimescale2Uri()) == pairKey &&
           correlator.isRunning();
  });
}

void Session::timestampCorrelator_create(const std::string& timestampCorrelatorParamsJson, qzerr_Status* status) {
  reported(status, [&] {
    CorrelatorParams params;
    parseDocument(timestampCorrelatorParamsJson,
                  [&] { parseCorrelatorParamsJson(timestampCorrelatorParamsJson, params); });
    const std::string key = makeCorrelatorKey(params.timescaleUri1, params.timescaleUri2);
    const std::unique_lock<std::mutex> lock = lockForOperation();
    const std::string pairKey = pairKeyOf(params.timescaleUri1, params.timescaleUri2);
    if (!hasRunningCorrelatorForPair(pairKey)) correlationCaches_.erase(pairKey);
    correlationCacheLimit_ = std::max(correlationCacheLimit_, params.maxCacheSize);

    const auto existing = correlators_.find(key);
    if (existing != correlators_.end()) {
      CorrelatorEntry& entry = existing->second;
      ++entry.useCount;
      if (entry.correlator->isRunning() && entry.isStillCoherent()) return;
      entry.correlator->stop();
      entry.snapshotCoherency();
      entry.correlator->start();
      return;
    }
    TimescaleInterface& timescale1 =
        *findOrRaise(timescales_, params.timescaleUri1, "timescaleUri1", kLocateTimescaleMessage);
    TimescaleInterface& timescale2 =
        *findOrRaise(timescales_, params.timescaleUri2, "timescaleUri2", kLocateTimescaleMessage);
    CorrelatorEntry entry;
    entry.correlator = vesklib::wrapper::makeTimestampCorrelator(key, timescale1, timescale2,
                                                                 params.samplingIntervalMs, params.maxSampleSize,
                                                                 params.maxWaitForFirstCorrelate_ms);
    entry.device2 = findTimekeeperDevice(params.timescaleUri2);
    entry.device1 = findTimekeeperDevice(params.timescaleUri1);
    CorrelatorEntry& registered = correlators_.emplace(key, std::move(entry)).first->second;
    // A failure from here on leaves the entry registered: the next creation restarts it.
    registered.snapshotCoherency();
    registered.correlator->start();
  });
}

void Session::timestampCorrelator_delete(const std::string& timescaleUri1, const std::string& timescaleUri2,
                                         qzerr_Status* status) {
  const std::string key = makeCorrelatorKey(timescaleUri1, timescaleUri2);
  locked(status, [&] {
    const auto found = correlators_.find(key);
    if (found == correlators_.end()) return;
    if (found->second.useCount > 1) {
      --found->second.useCount;
      return;
    }
    found->second.correlator->stop();
    correlators_.erase(found);
    const std::string pairKey = pairKeyOf(timescaleUri1, timescaleUri2);
    if (!hasRunningCorrelatorForPair(pairKey)) correlationCaches_.erase(pairKey);
  });
}

void Session::timestampCorrelator_correlate(const std::string& sourceTimescaleUri,
                                            const std::string& destTimescaleUri,
                                            const vesklib_Timestamp* timestampInSourceTimescale,
                                            vesklib_Timestamp* correlatedTimestamp, qzerr_Status* status) {
  const std::string key = makeCorrelatorKey(sourceTimescaleUri, destTimescaleUri);
  locked(status, [&] {
    CorrelatorEntry& entry = findOrRaise(correlators_, key, "correlatorUri");
    TimescaleInterface& source = *findOrRaise(timescales_, sourceTimescaleUri, "sourceTimescaleUri");
    const std::string timescale1 = entry.correlator->getTimescale1Uri();
    const std::string timescale2 = entry.correlator->getTimescale2Uri();
    if (sourceTimescaleUri != timescale1 && sourceTimescaleUri != timescale2) {
      QZERR_ERROR(qzerr::kInvalidParameter)
          .channel(kChannel, "Provided timescale does not match either timescale in the correlator.")
          .raise();
    }
    const std::string sourceName = normalisedTimescaleName(sourceTimescaleUri);
    const std::string otherName =
        normalisedTimescaleName(sourceTimescaleUri == timescale1 ? timescale2 : timescale1);
    const std::string pairKey = orderedPairKey(sourceName, otherName);
    CorrelationResultCache& cache = correlationCaches_.try_emplace(pairKey).first->second;
    if (!hasRunningCorrelatorForPair(pairKey)) cache.clear();

    const vesklib_Timestamp& question = *timestampInSourceTimescale;
    if (auto answer = cache.findForward(sourceName, otherName, question)) {
      *correlatedTimestamp = *answer;
      return;
    }
    if (auto answer = cache.findInverse(sourceName, otherName, question)) {
      *correlatedTimestamp = *answer;
      return;
    }
    cache.evictOldestWhenFull(correlationCacheLimit_);
    vesklib_Timestamp answer{};
    correlateUntilShutdown(*entry.correlator, timestampInSourceTimescale, source, &answer);
    // Only answers given while both timekeepers held coherency are kept.
    if (entry.isStillCoherent()) cache.insert(CorrelationRecord{sourceName, question, otherName, answer});
    *correlatedTimestamp = answer;
  });
}

}  // namespace vesksapi
