#include "targetState.h"

#include <algorithm>

namespace vesktools::targetsim {

TargetState::TargetState(TargetConfig config, std::size_t logLimit)
    : config_(std::move(config)), log_(logLimit) {}

std::optional<DeviceConfig> TargetState::device(const std::string& uri) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const DeviceConfig& device : config_.devices) {
    if (device.uri == uri) return device;
  }
  return std::nullopt;
}

ReplyShape TargetState::resourceList() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.resourceList;
}

std::vector<std::string> TargetState::resourceUris() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> uris;
  for (const DeviceConfig& device : config_.devices) uris.push_back(device.uri);
  for (const TimescaleConfig& timescale : config_.timescales) uris.push_back(timescale.uri);
  return uris;
}

std::optional<DeviceConfig> TargetState::patchDevice(const std::string& uri, const std::string& patchJson) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto device = std::find_if(config_.devices.begin(), config_.devices.end(),
                             [&](const DeviceConfig& d) { return d.uri == uri; });
  if (device == config_.devices.end()) return std::nullopt;
  applyDevicePatch(patchJson, *device);
  return *device;
}

ReplyShape TargetState::patchResourceList(const std::string& patchJson) {
  std::lock_guard<std::mutex> lock(mutex_);
  applyReplyPatch(patchJson, config_.resourceList);
  return config_.resourceList;
}

TimestampDaemonConfig TargetState::patchTimestampDaemon(const std::string& patchJson) {
  std::lock_guard<std::mutex> lock(mutex_);
  applyTimestampDaemonPatch(patchJson, config_.timestampDaemon);
  if (timestampDaemonListener_) timestampDaemonListener_(config_);
  return config_.timestampDaemon;
}

void TargetState::watchTimestampDaemon(TimestampDaemonListener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  timestampDaemonListener_ = std::move(listener);
  if (timestampDaemonListener_) timestampDaemonListener_(config_);
}

TargetConfig TargetState::config() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_;
}

std::string TargetState::toJson() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return targetConfigToJson(config_);
}

}  // namespace vesktools::targetsim
