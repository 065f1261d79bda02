#include "syncDomainCommand.h"

#include <boost/algorithm/string/predicate.hpp>

#include "jsonz/jsonString.h"
#include "qzerr/exception.h"

namespace veskapp {
namespace {

using jsonz::jsonBool;
using jsonz::jsonString;

// "null" in any letter case asks the service to choose the timescale.
std::string timescaleUriMember(const std::string& timescaleUri) {
  const bool automatic = boost::algorithm::iequals(timescaleUri, "null");
  return ",\"timescaleUri\":" + (automatic ? std::string("null") : jsonString(timescaleUri));
}

void create(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  const std::string timescaleUri = getStringOption("timescaleUri", options);
  const uint32_t maxOffset_ns = getUInt32Option("maxOffset_ns", options);
  const uint32_t minSyncDuration_ms = getUInt32Option("minSyncDuration_ms", options);
  const std::string document = "{\"uri\":" + jsonString(uri) + ",\"timescaleUri\":" + jsonString(timescaleUri) +
                               ",\"maxOffset_ns\":" + std::to_string(maxOffset_ns) +
                               ",\"minSyncDuration_ms\":" + std::to_string(minSyncDuration_ms) + "}";
  context.api.syncDomain_create("syncDomainParams", document, qzerr::ScopedStatus());
  context.printSuccess("Created Sync Domain with uri = " + uri);
}

void createAndAddDevices(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  const std::string timescaleUri = getStringOption("timescaleUri", options);
  // The user writes the hosts as a JSON array; it goes in as written.
  const std::string remoteHosts = getStringOption("remoteHosts", options);
  const uint32_t maxOffset_ns = getUInt32Option("maxOffset_ns", options);
  const uint32_t minSyncDuration_ms = getUInt32Option("minSyncDuration_ms", options);
  const std::string document = "{\"uri\":" + jsonString(uri) + ",\"remoteHosts\":" + remoteHosts +
                               ",\"maxOffset_ns\":" + std::to_string(maxOffset_ns) +
                               ",\"minSyncDuration_ms\":" + std::to_string(minSyncDuration_ms) +
                               timescaleUriMember(timescaleUri) + "}";
  std::vector<char> chosenTimescale(kTimescaleUriBufferSize, '\0');
  context.api.syncDomain_createAndAddDevices("syncDomainCreateAndAddRemoteDevicesParams", document,
                                             chosenTimescale.data(), chosenTimescale.size(),
                                             qzerr::ScopedStatus());
  context.printSuccess("Created and added devices to Sync Domain with uri = " + uri +
                       " and timescaleUri = " + bufferText(chosenTimescale));
}

void deleteDomain(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  context.api.syncDomain_delete(uri, qzerr::ScopedStatus());
  context.printSuccess("Deleted Sync Domain where uri = " + uri);
}

void start(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  const uint32_t timeout_s = getUInt32Option("timeout_s", options);
  const bool started = context.api.syncDomain_start(uri, timeout_s, qzerr::ScopedStatus());
  if (started) context.printSuccess("Started Sync Domain where uri = " + uri);
}

void startV2(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  const bool saveInitialCoherency = getBoolOption("saveInitialCoherency", options);
  const bool waitToBecomeCoherent = getBoolOption("waitToBecomeCoherent", options);
  const uint32_t timeout_s = getUInt32Option("timeout_s", options);
  context.api.syncDomain_startV2(uri, saveInitialCoherency, waitToBecomeCoherent, timeout_s,
                                 qzerr::ScopedStatus());
  if (context.quiet) return;
  context.printSuccess("Started Sync Domain where uri = " + uri);
  context.printResult(std::string(" Save initial coherency = ") + jsonBool(saveInitialCoherency));
  context.printResult(std::string(" Wait to become coherent = ") + jsonBool(waitToBecomeCoherent));
}

void stop(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  context.api.syncDomain_stop(uri, qzerr::ScopedStatus());
  context.printSuccess("Stopped Sync Domain where uri = " + uri);
}

void addSyncableDevice(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  const std::string syncableDeviceUri = getStringOption("syncableDeviceUri", options);
  context.api.syncDomain_addSyncableDevice(uri, syncableDeviceUri, qzerr::ScopedStatus());
  context.printSuccess("Added Syncable Device with uri = " + syncableDeviceUri + " to Domain.");
}

void isCoherent(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  const bool coherent = context.api.syncDomain_isCoherent(uri, qzerr::ScopedStatus());
  context.printResult(jsonBool(coherent));
}

void isCoherentSinceLastChecked(const OptionValues& options, const CommandContext& context) {
  const std::string uri = getStringOption("uri", options);
  const bool coherent = context.api.syncDomain_isCoherentSinceLastChecked(uri, qzerr::ScopedStatus());
  context.printResult(jsonBool(coherent));
}

const Action kActions[] = {
    {"create", create},
    {"createAndAddDevices", createAndAddDevices},
    {"delete", deleteDomain},
    {"start", start},
    {"startV2", startV2},
    {"stop", stop},
    {"addSyncableDevice", addSyncableDevice},
    {"isCoherent", isCoherent},
    {"isCoherentSinceLastChecked", isCoherentSinceLastChecked},
};

}  // namespace

void runSyncDomainCommand(const std::string& action, const OptionValues& commandOptionValues,
                          const CommandContext& context) {
  runAction(kActions, action, commandOptionValues, context);
}

}  // namespace veskapp
