// A broken or hostile remote target, through the core library's exported
// functions, against a simulated target on 127.0.0.2 inside the test's private
// network namespace. Each misbehaviour costs calls that fail with a clear code;
// the process lives on, and the same proxies serve the next calls once the
// target behaves again. (An answer that never comes is in the HTTP client's
// own table, with a short time-out: the proxies wait 10 s.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "targetSim.h"
#include "testStatus.h"
#include "vesklib/vesklib.h"
#include "vesktools/threadPool.h"

namespace {

using vesktest::TargetSim;

constexpr char kDevicePath[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kConfig[] = R"({"devices":[{"uri":"/veskwebs/syncableDevices/pendulo/timekeeper/genericTk"}],)"
                           R"("timescales":["/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01"]})";
constexpr char kParams[] = R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"127.0.0.2"}})";
constexpr char kHostTimescale[] = "/localhost/vesks/timescales/system";

// What one load of the target's resources handed out, released at the end.
struct Loaded {
  Loaded() { vesklib_loadProxyResources(kParams, &device, &timescales, &count, malloc, status); }
  ~Loaded() {
    vesklib_SyncableDevice_delete(device);
    for (size_t i = 0; i < count; ++i) vesklib_Timescale_delete(timescales[i]);
    free(timescales);
  }

  TestStatus status;
  SyncableDeviceInterface* device = nullptr;
  TimescaleInterface** timescales = nullptr;
  size_t count = 0;
};

struct Outcome {
  int32_t code;
  std::string detail;
};

struct Call {
  const char* name;
  std::function<Outcome()> run;
};

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// A simulator reply whose body is `text`, whose quotes come escaped already.
std::string bodyReply(const std::string& text) { return R"({"body":")" + text + "\"}"; }

TEST(HostileTarget, EachMisbehaviourFailsItsCallsAndTheSameProxiesServeOnAfterIt) {
  const TargetSim target(kConfig);
  const Loaded loaded;
  ASSERT_EQ(loaded.status.code(), 0) << loaded.status.json();
  ASSERT_EQ(loaded.count, 1u);
  TestStatus status;
  const std::unique_ptr<TimescaleInterface, void (*)(TimescaleInterface*)> host(
      vesklib_HostTimescale_create(kHostTimescale, status), vesklib_Timescale_delete);
  vesktools::ThreadPool pool(4);
  const std::unique_ptr<SyncDomainInterface, void (*)(SyncDomainInterface*)> domain(
      vesklib_SyncDomain_create("/vesks/syncDomains/hostile", host.get(), 1000, 2000, &pool, status),
      vesklib_SyncDomain_delete);
  vesklib_SyncDomain_addSyncableDevice(domain.get(), loaded.device, status);
  ASSERT_EQ(status.code(), 0) << status.json();

  // The web service's answers are read on the caller's thread by the device
  // proxy and the resource loading, and on a pool worker by a domain's start.
  const std::vector<Call> webCalls = {
      {"isCoherent",
       [&] {
         TestStatus s;
         uint32_t losses = 0;
         vesklib_SyncableDevice_isCoherent(loaded.device, &losses, s);
         return Outcome{s.code(), s.json()};
       }},
      {"loadProxyResources",
       [] {
         const Loaded again;
         return Outcome{again.status.code(), again.status.json()};
       }},
      {"SyncDomain_start",
       [&] {
         TestStatus s;
         vesklib_SyncDomain_start(domain.get(), 2, s);
         const Outcome outcome{s.code(), s.json()};
         TestStatus stopped;
         vesklib_SyncDomain_stop(domain.get(), stopped);
         return outcome;
       }},
  };
  const std::vector<Call> clockCalls = {
      {"Timescale_getTime",
       [&] {
         TestStatus s;
         vesklib_Timestamp timestamp{};
         vesklib_Timescale_getTime(loaded.timescales[0], &timestamp, s);
         return Outcome{s.code(), s.json()};
       }},
  };

  const struct {
    const char* name;
    std::string webReply;     // how the device's GET and the resource list are answered; empty: as they should
    const char* daemonPatch;  // the time-stamp daemon's; null: it behaves
    const std::vector<Call>& calls;
    std::string part;  // of the failed calls' detail
  } rows[] = {
      {"100,000 nested [", bodyReply(repeated("[", 100000)), nullptr, webCalls, R"("originalCode":-411360)"},
      {"100,000 nested {\"a\":", bodyReply(repeated(R"({\"a\":)", 100000)), nullptr, webCalls,
       R"("originalCode":-411360)"},
      {"a body past the cap", R"({"delivery":"stream"})", nullptr, webCalls,
       R"("cause":"The answer is larger than 33554432 bytes.")"},
      {"a NUL inside the body", R"({"delivery":"nulAfterBody"})", nullptr, webCalls, R"("originalCode":-411360)"},
      {"a close in mid-body", R"({"delivery":"closeMidBody"})", nullptr, webCalls, R"("originalCode":-411361)"},
      {"a 1 GB Content-Length with a short body", R"({"delivery":"hugeContentLength"})", nullptr, webCalls,
       R"("originalCode":-411361)"},
      {"a 2 GiB string length", "", R"({"hugeStringLength":true})", clockCalls,
       R"("std_exception_what":"TProtocolException: Exceeded size limit")"},
  };
  const auto behave = [&] {
    target.updateDevice(kDevicePath, R"({"get":null})");
    target.updateResourceList(R"({"body":null,"delivery":null})");
    target.updateTimestampDaemon(R"({"hugeStringLength":false})");
  };
  const auto expectSuccess = [](const std::vector<Call>& calls, const std::string& when) {
    for (const Call& call : calls) {
      const Outcome outcome = call.run();
      EXPECT_EQ(outcome.code, 0) << call.name << " " << when << "\n" << outcome.detail.substr(0, 600);
    }
  };
  expectSuccess(webCalls, "at first");
  expectSuccess(clockCalls, "at first");

  for (const auto& row : rows) {
    if (!row.webReply.empty()) {
      target.updateDevice(kDevicePath, R"({"get":)" + row.webReply + "}");
      target.updateResourceList(row.webReply);
    }
    if (row.daemonPatch != nullptr) target.updateTimestampDaemon(row.daemonPatch);
    for (const Call& call : row.calls) {
      const Outcome outcome = call.run();
      EXPECT_EQ(outcome.code, -52024) << call.name << " on " << row.name;
      EXPECT_NE(outcome.detail.find(row.part), std::string::npos)
          << call.name << " on " << row.name << "\n" << outcome.detail.substr(0, 600);
    }
    behave();
    expectSuccess(row.calls, std::string("after ") + row.name);
  }
}

}  // namespace
