// The service through its client library, against a vesks daemon and a
// simulated target that this program starts itself. One simulated target
// listens on every loopback address (0.0.0.0), so 127.0.0.2, 127.0.0.3, ...
// each stand for one remote target with one device; run it inside a private
// network namespace:
//   tools/netns/runInNetns.sh build/bin/vesks_bench
// The legend printed first says what each figure means.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "clientCrowd.h"
#include "openFileLimit.h"
#include "targetSim.h"
#include "testing/testStatus.h"
#include "vesklib/testing/timestampNanos.h"
#include "legendedMain.h"
#include "vesksDaemon.h"
#include "vesksapi/vesksapi.h"

namespace {

using Clock = std::chrono::steady_clock;
using vesk::testing::TestStatus;

constexpr char kLegend[] = R"(vesks_bench: the service through libvesksapi, against vesks and simulated targets.
  roundTrip: one vesksapi_getTimescaleInfo (connect, request, reply, close through the daemon)
    library_us    mean time of the library call, in microseconds
    rawSocket_us  mean time of a bare connect + 40-byte request + reply of the same size + close
                  on a Unix socket of the abstract namespace, to a process that only answers
    ratio         library_us / rawSocket_us (what Thrift, the session and the registry add)
  crowdedRoundTrip: the same call while 1000 idle clients and 64 clients that send a byte a second
                  are connected to the daemon
    idle_us       mean time of the call with no other client
    crowded_us    mean time of the call among those clients
    ratio         crowded_us / idle_us
  conversion: host time stamp -> target timescale through a linear correlator in the daemon
    correlator_us mean time of a question the cache does not know (the correlator answers, then the
                  target's timekeeper device is asked whether the answer may be cached)
    cache_us      mean time of the same question again, answered from the cache
    ratio         correlator_us / cache_us
  coherencyCheck/members:N: one vesksapi_syncDomain_isCoherentSinceLastChecked of a domain of N
                  devices on N simulated targets, each answering after 100 ms; the daemon's pool
                  asks 25 at a time
    Time          mean time of one check, in milliseconds
    ideal_ms      ceil(N / 25) x 100 ms
    ratio         Time / ideal_ms
  residentMemory: the daemon's resident set (VmRSS)
    idle_MiB      a fresh daemon that has answered one call
    devices_MiB   the same daemon with 1000 registered remote devices (one per target)
)";

constexpr char kFirstTarget[] = "127.0.0.2";
constexpr char kSystemTimescale[] = "/localhost/vesks/timescales/system";
using vesktest::kTargetDevicePath;
using vesktest::kTargetTimescalePath;
// The resource list of every target but the first: its device, no timescale.
constexpr char kDeviceOnlyList[] =
    R"({"body":"{\"version\":1,\"resources\":[{\"uri\":\"/veskwebs/syncableDevices/pendulo/timekeeper/genericTk\"}]}"})";
constexpr int kMaxDevices = 1000;
constexpr int kWorkers = 25;
constexpr std::chrono::milliseconds kDeviceLatency{100};
constexpr int kIdleClients = 1000;
constexpr int kSlowClients = 64;
constexpr int kCallsPerRound = 200;
// Time for the daemon to take the crowd's connections (a connect returns
// once queued) and to end their threads again: the figures are of a daemon
// that serves among the crowd, not of its arrival.
constexpr std::chrono::milliseconds kCrowdSettling{1000};
constexpr std::chrono::milliseconds kCrowdLeaving{500};

void check(TestStatus& status, const char* what) {
  if (status.code() < 0) throw std::runtime_error(std::string(what) + ": " + status.json());
}

// The n-th simulated target (0: 127.0.0.2).
std::string targetAddress(int n) {
  const int host = n + 2;
  return "127.0." + std::to_string(host / 256) + "." + std::to_string(host % 256);
}

std::string deviceParams(const std::string& host) { return R"({"remoteHost":")" + host + R"("})"; }

// The daemon and the simulated targets, made on first use; targets are loaded
// into the daemon as the benchmarks need them.
class Service {
 public:
  Service()
      : targets_(vesktest::oneDeviceTarget(R"(,"timestampDaemon":{"offsetNs":5000000000})"), "0.0.0.0",
                 {"--threads", "8"}) {
    restart();
  }

  // A fresh daemon with nothing loaded.
  void restart() {
    daemon_.reset();
    daemon_ = std::make_unique<vesktest::VesksDaemon>();
    loaded_ = 0;
  }

  double daemonResidentMiB() const { return daemon_->residentMiB(); }

  // Loads the first n targets; the first brings its timescale too.
  void load(int n) {
    for (; loaded_ < n; ++loaded_) {
      if (loaded_ <= 1) targets_.updateResourceList(loaded_ == 0 ? R"({"body":null})" : kDeviceOnlyList);
      TestStatus status;
      vesksapi_loadResources("networkDeviceParams", deviceParams(targetAddress(loaded_)).c_str(), status);
      check(status, "loadResources");
    }
  }

  void setDeviceLatency(std::chrono::milliseconds latency) {
    targets_.updateDevice(kTargetDevicePath, R"({"get":{"delayMs":)" + std::to_string(latency.count()) + "}}");
  }

 private:
  vesktest::TargetSim targets_;
  std::unique_ptr<vesktest::VesksDaemon> daemon_;
  int loaded_ = 0;
};

Service& service() {
  static Service running;
  return running;
}

std::string targetTimescale() { return std::string(kFirstTarget) + kTargetTimescalePath; }

// A process that answers every connection on its own abstract socket with as
// many bytes as it was sent, then closes it.
class RawAnswerer {
 public:
  RawAnswerer() : address_(makeAddress()) {
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0 || bind(listener_, addr(), sizeof(address_)) != 0 || listen(listener_, 64) != 0) {
      throw std::runtime_error("raw socket: " + std::string(strerror(errno)));
    }
    pid_ = fork();
    if (pid_ == 0) serve();
    close(listener_);
  }
  ~RawAnswerer() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

  void roundTrip(const char* request, size_t size, char* reply) const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, addr(), sizeof(address_)) != 0 || write(fd, request, size) != ssize_t(size) ||
        !readAll(fd, reply, size)) {
      throw std::runtime_error("raw round trip: " + std::string(strerror(errno)));
    }
    close(fd);
  }

 private:
  static sockaddr_un makeAddress() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path + 1, "vesksBenchRaw", 13);
    return address;
  }
  const sockaddr* addr() const { return reinterpret_cast<const sockaddr*>(&address_); }

  static bool readAll(int fd, char* buffer, size_t size) {
    for (size_t got = 0; got < size;) {
      const ssize_t n = read(fd, buffer + got, size - got);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    return true;
  }

  [[noreturn]] void serve() const {
    char buffer[512];
    while (true) {
      const int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      const ssize_t n = read(fd, buffer, sizeof(buffer));
      if (n > 0 && write(fd, buffer, static_cast<size_t>(n)) != n) {
        // the client sees the short answer
      }
      close(fd);
    }
  }

  sockaddr_un address_;
  int listener_ = -1;
  pid_t pid_ = -1;
};

double elapsedSeconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void roundTrip(benchmark::State& state) {
  service();
  const RawAnswerer raw;
  char request[40] = "a request as long as the library's one";
  char reply[sizeof(request)];
  char info[256];
  double library_s = 0;
  double raw_s = 0;
  for (auto _ : state) {
    TestStatus status;
    auto start = Clock::now();
    vesksapi_getTimescaleInfo(info, sizeof(info), status);
    library_s += elapsedSeconds(start);
    check(status, "getTimescaleInfo");
    start = Clock::now();
    raw.roundTrip(request, sizeof(request), reply);
    raw_s += elapsedSeconds(start);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["library_us"] = library_s / n * 1e6;
  state.counters["rawSocket_us"] = raw_s / n * 1e6;
  state.counters["ratio"] = library_s / raw_s;
}

double meanCallSeconds(int calls) {
  char info[256];
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) {
    TestStatus status;
    vesksapi_getTimescaleInfo(info, sizeof(info), status);
    check(status, "getTimescaleInfo");
  }
  return elapsedSeconds(start) / calls;
}

// Time units are the mean of kCallsPerRound calls, rounds of both alike.
void crowdedRoundTrip(benchmark::State& state) {
  service();
  double idle_s = 0;
  double crowded_s = 0;
  for (auto _ : state) {
    idle_s += meanCallSeconds(kCallsPerRound);
    {
      vesktest::ClientCrowd crowd;
      crowd.addIdle(kIdleClients);
      crowd.addTrickling(kSlowClients);
      std::this_thread::sleep_for(kCrowdSettling);
      crowded_s += meanCallSeconds(kCallsPerRound);
    }
    std::this_thread::sleep_for(kCrowdLeaving);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["idle_us"] = idle_s / n * 1e6;
  state.counters["crowded_us"] = crowded_s / n * 1e6;
  state.counters["ratio"] = crowded_s / idle_s;
}

// Each question is new to the cache once (the correlator answers), then asked
// again (the cache answers).
void conversion(benchmark::State& state) {
  service().load(1);
  const std::string target = targetTimescale();
  const std::string params = std::string(R"({"timescaleUri1":")") + kSystemTimescale + R"(","timescaleUri2":")" +
                             target + R"(","samplingIntervalMs":100,"maxSampleSize":20,"maxWaitForFirstCorrelate_ms":5000})";
  TestStatus created;
  vesksapi_timestampCorrelator_create("linearCorrelatorParams", params.c_str(), created);
  check(created, "timestampCorrelator_create");

  vesklib_Timestamp question = vesklib::testing::timestampOf(vesklib::testing::hostNanos());
  vesklib_Timestamp answer{};
  double correlator_s = 0;
  double cache_s = 0;
  for (auto _ : state) {
    ++question.nanos;
    TestStatus status;
    auto start = Clock::now();
    vesksapi_timestampCorrelator_correlate(kSystemTimescale, target.c_str(), &question, &answer, status);
    correlator_s += elapsedSeconds(start);
    start = Clock::now();
    vesksapi_timestampCorrelator_correlate(kSystemTimescale, target.c_str(), &question, &answer, status);
    cache_s += elapsedSeconds(start);
    check(status, "timestampCorrelator_correlate");
  }
  TestStatus deleted;
  vesksapi_timestampCorrelator_delete(kSystemTimescale, target.c_str(), deleted);
  const double n = static_cast<double>(state.iterations());
  state.counters["correlator_us"] = correlator_s / n * 1e6;
  state.counters["cache_us"] = cache_s / n * 1e6;
  state.counters["ratio"] = correlator_s / cache_s;
}

void coherencyCheck(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  service().load(members);
  service().setDeviceLatency(std::chrono::milliseconds(0));
  const std::string domain = "/bench/syncDomains/" + std::to_string(members);
  const std::string params = R"({"uri":")" + domain + R"(","timescaleUri":")" + targetTimescale() +
                             R"(","maxOffset_ns":1000,"minSyncDuration_ms":0})";
  TestStatus status;
  vesksapi_syncDomain_create("syncDomainParams", params.c_str(), status);
  for (int i = 0; i < members; ++i) {
    vesksapi_syncDomain_addSyncableDevice(domain.c_str(), (targetAddress(i) + kTargetDevicePath).c_str(), status);
  }
  vesksapi_syncDomain_startV2(domain.c_str(), false, false, 0, status);  // running, without asking anyone
  check(status, "syncDomain setup");
  service().setDeviceLatency(kDeviceLatency);

  double total_s = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(vesksapi_syncDomain_isCoherentSinceLastChecked(domain.c_str(), status));
    const double elapsed_s = elapsedSeconds(start);
    state.SetIterationTime(elapsed_s);
    total_s += elapsed_s;
    check(status, "isCoherentSinceLastChecked");
  }
  vesksapi_syncDomain_delete(domain.c_str(), status);
  service().setDeviceLatency(std::chrono::milliseconds(0));

  const double ideal_ms = ((members + kWorkers - 1) / kWorkers) * static_cast<double>(kDeviceLatency.count());
  state.counters["ideal_ms"] = ideal_ms;
  state.counters["ratio"] = total_s * 1e3 / static_cast<double>(state.iterations()) / ideal_ms;
}

void residentMemory(benchmark::State& state) {
  for (auto _ : state) {
    service().restart();
    char info[256];
    TestStatus status;
    vesksapi_getTimescaleInfo(info, sizeof(info), status);
    check(status, "getTimescaleInfo");
    state.counters["idle_MiB"] = service().daemonResidentMiB();
    service().load(kMaxDevices);
    state.counters["devices_MiB"] = service().daemonResidentMiB();
  }
}

BENCHMARK(roundTrip)->Iterations(2000);
BENCHMARK(crowdedRoundTrip)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(conversion)->Iterations(500);
BENCHMARK(residentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(coherencyCheck)
    ->ArgName("members")
    ->Arg(25)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const vesktest::OpenFileSoftLimit roomForTheCrowd(RLIM_INFINITY);
  return veskbench::runWithLegend("vesks_bench", kLegend, argc, argv);
}
