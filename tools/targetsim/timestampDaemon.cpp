#include "timestampDaemon.h"

#include "vesklib/testing/timestampDaemonStub.h"
#include "vesklib/testing/timestampNanos.h"

#include <thrift/TOutput.h>

#include <cmath>
#include <stdexcept>

namespace vesktools::targetsim {
namespace {

using vesklib::testing::hostNanos;
using vesklib::testing::kNanosPerSecond;
using vesklib::testing::TimestampDaemonBehaviour;
using vesklib::testing::TimestampDaemonStub;

// The wire's sign and magnitude.
timestampService::Timestamp toTimestamp(std::int64_t ns) {
  const std::uint64_t magnitude = ns < 0 ? 0 - static_cast<std::uint64_t>(ns) : static_cast<std::uint64_t>(ns);
  return vesklib::testing::wireTimestamp(static_cast<std::int64_t>(magnitude / kNanosPerSecond),
                                         static_cast<std::int32_t>(magnitude % kNanosPerSecond), 0, ns < 0);
}

std::vector<std::string> servedUris(const TargetConfig& config) {
  if (config.timestampDaemon.timescaleUris) return *config.timestampDaemon.timescaleUris;
  std::vector<std::string> uris;
  for (const TimescaleConfig& timescale : config.timescales) uris.push_back(timescale.uri);
  return uris;
}

TimestampDaemonBehaviour behaviourOf(const TargetConfig& config, const TimestampDaemon::Clock& clock) {
  const TimestampDaemonConfig& daemon = config.timestampDaemon;
  TimestampDaemonBehaviour behaviour;
  behaviour.apiVersion = daemon.apiVersion;
  behaviour.timescaleUris = servedUris(config);
  // A version-1 client asks for one reading: that of the first timescale.
  behaviour.readUri = behaviour.timescaleUris.empty() ? "" : behaviour.timescaleUris.front();
  behaviour.clock = [clock] { return toTimestamp(clock.readNs(hostNanos())); };
  if (daemon.error) behaviour.error = TimestampDaemonBehaviour::Error{daemon.error->code, daemon.error->json};
  behaviour.replyDelay = std::chrono::milliseconds(daemon.delayMs);
  behaviour.hugeStringLength = daemon.hugeStringLength;
  return behaviour;
}

std::unique_ptr<TimestampDaemonStub> listen(const std::string& address, std::uint16_t port,
                                            TimestampDaemonBehaviour behaviour) {
  try {
    return std::make_unique<TimestampDaemonStub>(address, port, std::move(behaviour));
  } catch (const std::exception& failure) {
    throw std::runtime_error(failure.what());
  }
}

}  // namespace

TimestampDaemon::Clock TimestampDaemon::Clock::changedTo(const TimestampDaemonConfig& config,
                                                         std::int64_t hostNs) const {
  return {config.offsetNs, config.driftPpm, hostNs,
          gatheredNs + driftPpm * static_cast<double>(hostNs - sinceNs) / 1e6};
}

std::int64_t TimestampDaemon::Clock::readNs(std::int64_t hostNs) const {
  const double drift = gatheredNs + driftPpm * static_cast<double>(hostNs - sinceNs) / 1e6;
  return hostNs + offsetNs + std::llround(drift);
}

TimestampDaemon::TimestampDaemon(TargetState& state, const std::string& address, std::uint16_t port, bool quiet)
    : state_(state) {
  if (quiet) apache::thrift::GlobalOutput.setOutputFunction([](const char*) {});
  const TargetConfig config = state.config();
  clock_ = Clock{}.changedTo(config.timestampDaemon, hostNanos());
  stub_ = listen(address, port, behaviourOf(config, clock_));
  // Calls follow() at once too, catching a change made meanwhile.
  state_.watchTimestampDaemon([this](const TargetConfig& changed) { follow(changed); });
}

TimestampDaemon::~TimestampDaemon() { state_.watchTimestampDaemon(nullptr); }

void TimestampDaemon::follow(const TargetConfig& config) {
  clock_ = clock_.changedTo(config.timestampDaemon, hostNanos());
  stub_->setBehaviour(behaviourOf(config, clock_));
}

}  // namespace vesktools::targetsim
