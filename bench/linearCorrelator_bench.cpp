// Correlates the host clock with the clock of a simulated target that runs
// 5 s ahead and drifts by +20 ppm, read through its time-stamp daemon (an
// in-process daemon on 127.0.0.2:9123, so run it inside a private network
// namespace: tools/netns/runInNetns.sh). Reports:
//   remoteClockRead: the round trip of one remote clock read;
//   correlate/<direction>: correlate calls per second once the window is full;
//   conversionError/<direction>: how far the correlated time lies from the
//     true line, median and worst, in ns, sampled 1 ms apart.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/linearCorrelator.h"
#include "vesklib/testing/simulatedTargetClock.h"
#include "vesklib/testing/timestampNanos.h"
#include "vesklib/timescaleProxy.h"

namespace {

using vesklib::testing::hostNanos;
using vesklib::testing::nanosOf;
using vesklib::testing::timestampOf;

constexpr int64_t kOffsetNanos = 5 * vesklib::testing::kNanosPerSecond;
constexpr int64_t kDriftPpb = 20000;
// What the service would typically ask for: a window of 100 samples, 10 ms apart.
constexpr uint32_t kSamplingIntervalMs = 10;
constexpr uint32_t kMaxSampleSize = 100;
constexpr uint32_t kMaxWaitMs = 10000;

// The simulated target's clock, the host clock and a started correlator
// between them with a full window.
class CorrelatedTarget {
 public:
  CorrelatedTarget()
      : clock_("127.0.0.2", kOffsetNanos, kDriftPpb),
        remote_(clock_.timescaleUri(), clock_.host(), vesklib::testing::SimulatedTargetClock::kPort),
        host_(vesklib::kHostTimescaleUri),
        correlator_("/bench/correlator", &host_, &remote_, kSamplingIntervalMs, kMaxSampleSize, kMaxWaitMs) {
    correlator_.start();
    vesklib_Timestamp out{};
    const vesklib_Timestamp now = timestampOf(hostNanos());
    correlator_.correlate(&now, &host_, &out);  // waits for a full window
  }

  // The target's true time at a host time.
  int64_t truth(int64_t host) const { return clock_.truth(host); }

  vesklib::TimescaleProxy& remote() { return remote_; }
  vesklib::HostTimescale& host() { return host_; }
  vesklib::LinearCorrelator& correlator() { return correlator_; }

 private:
  const vesklib::testing::SimulatedTargetClock clock_;
  vesklib::TimescaleProxy remote_;
  vesklib::HostTimescale host_;
  vesklib::LinearCorrelator correlator_;
};

CorrelatedTarget& target() {
  static CorrelatedTarget simulated;
  return simulated;
}

void remoteClockRead(benchmark::State& state) {
  vesklib_Timestamp reading{};
  for (auto _ : state) {
    target().remote().getTime(&reading);
    benchmark::DoNotOptimize(reading);
  }
}

// Argument 0: host to target; 1: target to host.
void correlate(benchmark::State& state) {
  const bool fromHost = state.range(0) == 0;
  TimescaleInterface& source = fromHost ? static_cast<TimescaleInterface&>(target().host())
                                        : static_cast<TimescaleInterface&>(target().remote());
  const vesklib_Timestamp in = timestampOf(fromHost ? hostNanos() : target().truth(hostNanos()));
  vesklib_Timestamp out{};
  for (auto _ : state) {
    target().correlator().correlate(&in, &source, &out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
}

void conversionError(benchmark::State& state) {
  const bool fromHost = state.range(0) == 0;
  TimescaleInterface& source = fromHost ? static_cast<TimescaleInterface&>(target().host())
                                        : static_cast<TimescaleInterface&>(target().remote());
  std::vector<int64_t> errors;
  for (auto _ : state) {
    const int64_t host = hostNanos();
    const int64_t truth = target().truth(host);
    const vesklib_Timestamp in = timestampOf(fromHost ? host : truth);
    vesklib_Timestamp out{};
    target().correlator().correlate(&in, &source, &out);
    errors.push_back(nanosOf(out) - (fromHost ? truth : host));
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state.ResumeTiming();
  }
  std::vector<int64_t> magnitudes(errors.size());
  std::transform(errors.begin(), errors.end(), magnitudes.begin(), [](int64_t e) { return e < 0 ? -e : e; });
  std::sort(errors.begin(), errors.end());
  std::sort(magnitudes.begin(), magnitudes.end());
  state.counters["median_ns"] = static_cast<double>(errors[errors.size() / 2]);
  state.counters["worst_ns"] = static_cast<double>(magnitudes.back());
}

BENCHMARK(remoteClockRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(correlate)->ArgName("fromTarget")->Arg(0)->Arg(1);
BENCHMARK(conversionError)->ArgName("fromTarget")->Arg(0)->Arg(1)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
