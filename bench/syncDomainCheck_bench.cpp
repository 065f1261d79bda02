// Times one coherency check of a sync domain whose N fake members each answer
// after the latency L, on the service's pool of 25 workers, and reports the
// ratio to the ideal ceil(N / 25) x L: the members are asked 25 at a time,
// and the polling adds up to one 50 ms interval.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/syncDomain.h"
#include "vesklib/testing/fakeSyncableDevice.h"
#include "vesktools/threadPool.h"

namespace {

constexpr uint32_t kWorkers = 25;  // what the service asks for
constexpr std::chrono::milliseconds kLatency{100};

void coherencyCheck(benchmark::State& state) {
  const auto memberCount = static_cast<uint32_t>(state.range(0));
  vesktools::ThreadPool pool(kWorkers);
  vesklib::HostTimescale timescale("/ts/bench");
  std::vector<std::unique_ptr<vesklib::testing::FakeSyncableDevice>> devices;
  auto domain = std::make_unique<vesklib::SyncDomain>("/sd/bench", &timescale, 1000, 1000, &pool);
  for (uint32_t i = 0; i < memberCount; ++i) {
    devices.push_back(std::make_unique<vesklib::testing::FakeSyncableDevice>("/dev/" + std::to_string(i)));
    devices.back()->setDelay(kLatency);
    domain->addSyncableDevice(devices.back().get());
  }
  domain->startV2(false, false, 0);  // running, without asking anyone

  double total_s = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(domain->isCoherentSinceLastChecked());
    const double elapsed_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(elapsed_s);
    total_s += elapsed_s;
  }
  const double ideal_s = ((memberCount + kWorkers - 1) / kWorkers) * std::chrono::duration<double>(kLatency).count();
  state.counters["ideal_ms"] = ideal_s * 1000;
  state.counters["ratio"] = total_s / static_cast<double>(state.iterations()) / ideal_s;
  domain.reset();  // before its members
}

BENCHMARK(coherencyCheck)
    ->ArgName("members")
    ->Arg(1)
    ->Arg(25)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
