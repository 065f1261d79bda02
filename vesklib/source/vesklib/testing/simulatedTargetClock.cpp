#include "vesklib/testing/simulatedTargetClock.h"

#include "vesklib/testing/timestampNanos.h"

namespace vesklib::testing {

namespace {
constexpr char kLocalUri[] = "/veskwebs/timescales/pendulo/PTP-0/00-1b-21-ff-fe-aa-bb-cc";
}

SimulatedTargetClock::SimulatedTargetClock(const std::string& host, int64_t offsetNanos, int64_t driftPpb)
    : host_(host),
      timescaleUri_("/" + host + kLocalUri),
      origin_(hostNanos()),
      offsetNanos_(offsetNanos),
      driftPpb_(driftPpb),
      daemon_(host, kPort, behaviour()) {}

int64_t SimulatedTargetClock::truth(int64_t hostNanos) const {
  return hostNanos + offsetNanos_ + (hostNanos - origin_) * driftPpb_ / kNanosPerSecond;
}

TimestampDaemonBehaviour SimulatedTargetClock::behaviour() const {
  TimestampDaemonBehaviour behaviour;
  behaviour.readUri = kLocalUri;
  behaviour.timescaleUris = {kLocalUri};
  behaviour.clock = [this] {
    const vesklib_Timestamp now = timestampOf(truth(hostNanos()));
    return wireTimestamp(now.seconds, now.nanos, 0, false);
  };
  return behaviour;
}

}  // namespace vesklib::testing
