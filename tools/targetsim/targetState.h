// What a running target knows: its configuration, which control requests
// change while it runs, and the log of the requests it received. Every
// accessor works on a copy taken under one lock, so each answer is built
// from one consistent view; safe to use from every server thread.
#pragma once

#include "requestLog.h"
#include "targetConfig.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vesktools::targetsim {

class TargetState {
 public:
  TargetState(TargetConfig config, std::size_t logLimit);

  std::optional<DeviceConfig> device(const std::string& uri) const;
  ReplyShape resourceList() const;
  // The URIs the resource list names: the devices, then the timescales, each in config order.
  std::vector<std::string> resourceUris() const;

  // Both throw ConfigError for a bad patch and then change nothing;
  // patchDevice gives the device as it is now, or nothing when there is no such device.
  std::optional<DeviceConfig> patchDevice(const std::string& uri, const std::string& patchJson);
  ReplyShape patchResourceList(const std::string& patchJson);
  TimestampDaemonConfig patchTimestampDaemon(const std::string& patchJson);

  // The one listener is called with the configuration at once and after
  // every change to the time-stamp daemon's keys, under the state's lock:
  // it sees the changes in order and must not call the state. An empty
  // function removes it.
  using TimestampDaemonListener = std::function<void(const TargetConfig& config)>;
  void watchTimestampDaemon(TimestampDaemonListener listener);

  TargetConfig config() const;

  std::string toJson() const;  // the whole configuration, in the config file's form

  RequestLog& log() { return log_; }

 private:
  mutable std::mutex mutex_;
  TargetConfig config_;
  TimestampDaemonListener timestampDaemonListener_;
  RequestLog log_;
};

}  // namespace vesktools::targetsim
