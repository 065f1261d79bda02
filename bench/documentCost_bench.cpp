// What the daemon spends on one large parameter document against what the
// bare JSON parse of the same text costs. The daemon is started here; run it
// inside a private network namespace:
//   tools/netns/runInNetns.sh build/bin/documentCost_bench
// The legend printed first says what each figure means.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cjson/cJSON.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "qzerr/errorConstants.h"
#include "testing/testStatus.h"
#include "legendedMain.h"
#include "vesksDaemon.h"
#include "vesksapi/client/paramsEnvelope.h"
#include "vesksapi/vesksapi.h"

namespace {

using vesk::testing::TestStatus;
using vesksapi::makeParamsEnvelope;

constexpr char kLegend[] = R"(documentCost_bench: one 64 KiB syncDomain_create document of tiny values.
  The document is valid; its "params" hold an unknown member "pad":[0,0,...] that fills it to 64 KiB,
  and a timescaleUri that does not exist, so each create fails once the document is read.
  tinyValues: the documents are sent one at a time through libvesksapi
    daemon_ms     the daemon's CPU time (utime + stime from /proc) per document, in milliseconds
    parse_ms      the CPU time of one cJSON_Parse of the same text in this process, in milliseconds,
                  the parses one after another (the tree's memory is the last one's, reused)
    ratio         daemon_ms / parse_ms (what the validation, the reading, Thrift and the session add)
    faults        the daemon's minor page faults per document: memory it took afresh from the system
    bytes         the document's length
    values        the JSON values in it
)";

constexpr size_t kDocumentBytes = 65535;
constexpr char kType[] = "syncDomainParams";
constexpr char kParamsHead[] =
    R"({"uri":"/bench/documentCost","timescaleUri":"/bench/none","maxOffset_ns":1000,)"
    R"("minSyncDuration_ms":0,"pad":[0)";
constexpr char kParamsTail[] = "]}";

// The params that fill the document to at most kDocumentBytes.
std::string paddedParams() {
  const std::string bare = std::string(kParamsHead) + kParamsTail;
  const size_t zeros = (kDocumentBytes - makeParamsEnvelope(kType, bare).size()) / 2;
  std::string pad;
  for (size_t i = 0; i < zeros; ++i) pad += ",0";
  return kParamsHead + pad + kParamsTail;
}

// What a process has used so far.
struct Usage {
  double cpuSeconds;  // user + system
  double minorFaults;
};

Usage usageOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name may hold blanks: fields are counted from its ')'.
  const size_t nameEnd = line.rfind(')');
  unsigned long long minorFaults = 0;
  unsigned long long utime = 0;
  unsigned long long stime = 0;
  // Fields 3 to 9 come before minflt (10); cminflt, majflt and cmajflt before utime (14) and stime (15).
  if (nameEnd == std::string::npos ||
      std::sscanf(line.c_str() + nameEnd + 1, " %*c %*d %*d %*d %*d %*d %*u %llu %*u %*u %*u %llu %llu",
                  &minorFaults, &utime, &stime) != 3) {
    throw std::runtime_error("cannot read the usage of process " + std::to_string(pid));
  }
  return {static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK)),
          static_cast<double>(minorFaults)};
}

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void createOnce(const std::string& params) {
  TestStatus status;
  vesksapi_syncDomain_create(kType, params.c_str(), status);
  if (status.code() != qzerr::kResourceNotFound.code) {
    throw std::runtime_error("syncDomain_create did not fail on its timescale: " + status.json());
  }
}

// The parses follow one another, as in a process that keeps its heap: each
// reuses the memory the tree before it gave back.
double parseCpuSeconds(const std::string& document, benchmark::IterationCount times) {
  double total_s = 0;
  for (benchmark::IterationCount i = 0; i < times; ++i) {
    const double start_s = threadCpuSeconds();
    cJSON* tree = cJSON_Parse(document.c_str());
    total_s += threadCpuSeconds() - start_s;
    if (tree == nullptr) throw std::runtime_error("the document does not parse");
    cJSON_Delete(tree);
  }
  return total_s;
}

size_t valueCount(const cJSON* item) {
  size_t count = 1;
  for (const cJSON* child = item->child; child != nullptr; child = child->next) count += valueCount(child);
  return count;
}

void tinyValues(benchmark::State& state) {
  const std::string params = paddedParams();
  const std::string document = makeParamsEnvelope(kType, params);
  const vesktest::VesksDaemon daemon;
  createOnce(params);  // outside the count: the first connection's one-time costs

  const Usage before = usageOf(daemon.pid());
  for (auto _ : state) createOnce(params);
  const Usage after = usageOf(daemon.pid());
  const double daemon_s = after.cpuSeconds - before.cpuSeconds;
  const double parse_s = parseCpuSeconds(document, state.iterations());

  cJSON* tree = cJSON_Parse(document.c_str());
  state.counters["values"] = static_cast<double>(valueCount(tree));
  cJSON_Delete(tree);
  const double n = static_cast<double>(state.iterations());
  state.counters["daemon_ms"] = daemon_s / n * 1e3;
  state.counters["parse_ms"] = parse_s / n * 1e3;
  state.counters["ratio"] = daemon_s / parse_s;
  state.counters["faults"] = (after.minorFaults - before.minorFaults) / n;
  state.counters["bytes"] = static_cast<double>(document.size());
}

BENCHMARK(tinyValues)->Iterations(500)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return veskbench::runWithLegend("documentCost_bench", kLegend, argc, argv);
}
