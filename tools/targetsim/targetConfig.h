// The configuration of one simulated remote target: where it listens, the
// devices and timescales its web service lists, how each kind of request is
// answered, and how its time-stamp daemon answers. The config file, the control requests and GET /control/state
// all use the one JSON form read and written here; in it, null sets a key
// back to its default and an unknown key is an error.
#pragma once

#include "httpMessage.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesktools::targetsim {

// How one kind of request (a device's GET or PUT, the resource list) is answered.
struct ReplyShape {
  unsigned status = 200;
  unsigned delayMs = 0;
  bool resultEnvelope = false;           // body is {"result": document}
  std::optional<std::string> errorJson;  // JSON text of a top-level "error" member
  std::optional<std::string> rawBody;    // exact body; replaces all of the above
  Delivery delivery = Delivery::whole;
};

struct DeviceConfig {
  std::string uri;  // without host, e.g. "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk"
  bool isCoherent = true;
  std::uint32_t coherencyLossCount = 0;
  std::string membersJson = "{}";  // members added to the document, or replacing its own
  ReplyShape get;
  ReplyShape put;
};

struct TimescaleConfig {
  std::string uri;  // without host, e.g. "/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01"
};

// A thrift_qzerr that the daemon raises instead of answering a time request.
struct ForcedError {
  std::int32_t code = 0;
  std::string json = "{}";  // sent as it is
};

// The time-stamp daemon serves the whole target: the protocol does not say
// which timescale a client is after, so every client gets the same answers.
struct TimestampDaemonConfig {
  std::optional<std::int32_t> apiVersion = 2;  // none: getApiVersion is unknown to it
  std::int64_t offsetNs = 0;                   // its clock's lead over the host clock
  double driftPpm = 0;                         // how much faster its clock runs
  std::optional<ForcedError> error;
  std::uint32_t delayMs = 0;  // before every answer
  // The local URIs it names; none: those of the target's timescales.
  std::optional<std::vector<std::string>> timescaleUris;
  // Time requests get a string that claims 2 GiB, then the connection ends.
  bool hugeStringLength = false;
};

struct TargetConfig {
  std::string address = "127.0.0.2";
  std::uint16_t httpPort = 80;  // remote resource URIs carry no port
  std::uint16_t timestampPort = 9123;  // where the resource loading looks for the daemon
  ReplyShape resourceList;
  std::vector<DeviceConfig> devices;
  std::vector<TimescaleConfig> timescales;
  TimestampDaemonConfig timestampDaemon;
};

// Says which key is wrong and why, e.g. "devices[1].get.status: expected ...".
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

TargetConfig parseTargetConfig(const std::string& jsonText);
// Changes only the keys the patch names; a device's "uri" cannot be changed.
void applyDevicePatch(const std::string& jsonText, DeviceConfig& device);
void applyReplyPatch(const std::string& jsonText, ReplyShape& reply);
void applyTimestampDaemonPatch(const std::string& jsonText, TimestampDaemonConfig& daemon);
std::string targetConfigToJson(const TargetConfig& config);
std::string deviceConfigToJson(const DeviceConfig& device);
std::string replyShapeToJson(const ReplyShape& reply);
std::string timestampDaemonConfigToJson(const TimestampDaemonConfig& daemon);

}  // namespace vesktools::targetsim
