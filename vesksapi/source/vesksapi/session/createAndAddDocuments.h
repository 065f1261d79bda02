// The JSON texts of create-and-add-devices: the document each remote host is
// loaded with, the URI arrays read back from the load's answer, and the
// grouping of the hosts' devices by timescale name that its errors show.
// Every text written between quotes is escaped, so a host or a URI that holds
// a quote cannot change the document the next step reads.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace vesksapi {

// The devices found on one timescale, under the first URI its name was seen as.
struct TimescaleDevices {
  std::string timescaleUri;
  std::set<std::string> devices;  // each once, in ascending byte order
};
// Keyed by normaliseUriTail of the timescale URI.
using TimescaleGrouping = std::unordered_map<std::string, TimescaleDevices>;

// {"version":<version>,"type":<type>,"params":<params>}, params copied as it is.
std::string writeParamsEnvelope(uint32_t version, const std::string& type, const std::string& params);
// The network-device document of one host.
std::string networkDeviceParamsJson(const std::string& remoteHost);

// False when the key is absent; a null value leaves `list` as it was;
// otherwise the value must be an array of strings (-52004), which replaces
// `list`. Text that is not JSON fails with -52005.
bool readStringArray(const std::string& json, const std::string& key, std::vector<std::string>& list);

// [{"timescaleUri":...,"syncableDeviceUris":[...]},...] in the map's order.
std::string writeTimescalesAndDevices(const TimescaleGrouping& grouping);

}  // namespace vesksapi
