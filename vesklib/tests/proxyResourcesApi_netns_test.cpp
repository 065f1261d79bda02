// Loading a remote target's resources through the exported functions, against
// a simulated target on 127.0.0.2 inside the test's private network namespace.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "targetSim.h"
#include "testStatus.h"
#include "vesklib/vesklib.h"

namespace {

using vesktest::TargetSim;

constexpr char kDevice1[] = "/veskwebs/syncableDevices/pendulo/timekeeper/tk1";
constexpr char kDevice2[] = "/veskwebs/syncableDevices/pendulo/timekeeper/tk2";
constexpr char kTimescaleA[] = "/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";
constexpr char kTimescaleB[] = "/veskwebs/timescales/pendulo/ptp1/00-1b-21-ff-fe-00-00-02";
constexpr char kMediaType[] = "vnd.qz.syncDomain.v0/json; charset=utf-8";

std::string params(const std::string& remoteHost) {
  return R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":")" + remoteHost + R"("}})";
}

// The allocator the caller hands in, counting its calls.
struct Allocator {
  static int calls;
  static size_t lastSize;
  static bool refuse;
  static void* allocate(size_t size) {
    ++calls;
    lastSize = size;
    return refuse ? nullptr : malloc(size);
  }
  static void reset() {
    calls = 0;
    lastSize = 0;
    refuse = false;
  }
};
int Allocator::calls = 0;
size_t Allocator::lastSize = 0;
bool Allocator::refuse = false;

// What one load handed out; released at the end of the test.
struct Loaded {
  ~Loaded() {
    vesklib_SyncableDevice_delete(device == untouchedDevice() ? nullptr : device);
    if (timescales == untouchedArray()) return;
    for (size_t i = 0; i < count; ++i) vesklib_Timescale_delete(timescales[i]);
    free(timescales);
  }
  static SyncableDeviceInterface* untouchedDevice() { return reinterpret_cast<SyncableDeviceInterface*>(8); }
  static TimescaleInterface** untouchedArray() { return reinterpret_cast<TimescaleInterface**>(16); }
  bool untouched() const { return device == untouchedDevice() && timescales == untouchedArray() && count == 99; }

  SyncableDeviceInterface* device = untouchedDevice();
  TimescaleInterface** timescales = untouchedArray();
  size_t count = 99;
};

void load(const std::string& json, Loaded* loaded, TestStatus& status) {
  Allocator::reset();
  vesklib_loadProxyResources(json.c_str(), &loaded->device, &loaded->timescales, &loaded->count,
                             Allocator::allocate, status);
}

// A text as a JSON string, for bodies set through the simulator's control.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string resourceList(const std::vector<std::string>& uris) {
  std::string list;
  for (const std::string& uri : uris) list += (list.empty() ? "" : ",") + (R"({"uri":")" + uri + R"("})");
  return R"({"version":1,"resources":[)" + list + "]}";
}

std::string configWith(const std::string& body) {
  return R"({"devices":[{"uri":")" + std::string(kDevice1) + R"("}],"resourceList":{"body":)" +
         quoted(body) + "}}";
}

// The URI root of the target that `json` names.
std::string uriRootOf(const std::string& json) {
  char device[64] = "";
  char timescale[64] = "";
  TestStatus status;
  vesklib_getProxyResourceUriRootsToUnload(json.c_str(), sizeof device, device, timescale, status);
  EXPECT_EQ(status.code(), 0) << status.json();
  EXPECT_STREQ(device, timescale);
  return device;
}

// Two devices and the two timescales, whose daemon answers as `daemonJson` says.
std::string twoOfEach(const std::string& daemonJson) {
  return R"({"devices":[{"uri":")" + std::string(kDevice1) + R"("},{"uri":")" + kDevice2 +
         R"("}],"timescales":[")" + kTimescaleA + R"(",")" + kTimescaleB + R"("],"timestampDaemon":)" +
         daemonJson + "}";
}

// An IPv6 host is bracketed in the URL, the resource URIs and the root, but
// not for the time-stamp daemon, which the timescales reach all the same.
TEST(ProxyResourcesApi, HandsOutTheFirstDeviceAndEveryTimescaleAfterOneRequest) {
  const struct {
    const char* address;
    const char* root;
  } cases[] = {{"127.0.0.2", "127.0.0.2"}, {"::1", "[::1]"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const TargetSim target(twoOfEach(R"({"offsetNs":5000000000})"), c.address);
    Loaded loaded;
    TestStatus status;
    load(params(c.address), &loaded, status);
    ASSERT_EQ(status.code(), 0) << status.json();

    const auto requests = target.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/veskwebs/resources");
    EXPECT_EQ(requests[0].header("Host"), c.root);
    EXPECT_EQ(requests[0].header("Accept"), kMediaType);
    EXPECT_EQ(requests[0].header("Content-Type"), kMediaType);

    EXPECT_EQ(uriRootOf(params(c.address)), c.root);
    EXPECT_EQ(Allocator::calls, 1);
    EXPECT_EQ(Allocator::lastSize, 2 * sizeof(TimescaleInterface*));
    EXPECT_STREQ(vesklib_SyncableDevice_getUri(loaded.device, status), (c.root + std::string(kDevice1)).c_str());
    ASSERT_EQ(loaded.count, 2u);
    const char* expected[] = {kTimescaleA, kTimescaleB};
    for (size_t i = 0; i < loaded.count; ++i) {
      EXPECT_STREQ(vesklib_Timescale_getUri(loaded.timescales[i], status), (c.root + std::string(expected[i])).c_str());
      timespec before{};
      clock_gettime(CLOCK_REALTIME, &before);
      vesklib_Timestamp remote{};
      vesklib_Timescale_getTime(loaded.timescales[i], &remote, status);
      ASSERT_EQ(status.code(), 0) << status.json();
      const int64_t aheadSeconds = remote.seconds - before.tv_sec;
      EXPECT_TRUE(aheadSeconds == 5 || aheadSeconds == 6) << aheadSeconds;  // the simulated clock runs 5 s ahead
    }
    EXPECT_EQ(target.requests().size(), 1u) << "the proxies send nothing when made";
  }
}

// A first-version daemon (or one without the version request) names the
// timescale it read, its first; a later one lists all that it serves.
TEST(ProxyResourcesApi, TimescalesReadTheSimulatedClockAsTheDaemonAnswers) {
  const std::string wrongTimescale = std::string(R"("localUriOfTarget":")") + kTimescaleA + R"("})";
  const struct {
    const char* daemon;
    int32_t codes[2];
    std::string detailOfSecond;
  } cases[] = {
      {R"({"apiVersion":2})", {0, 0}, ""},
      {R"({"apiVersion":1})", {0, -52020}, wrongTimescale},
      {R"({"apiVersion":"none"})", {0, -52020}, wrongTimescale},
      {R"({"error":{"code":-52006,"json":{"d":"x"}}})", {-52006, -52006}, R"({"d":"x"})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.daemon);
    const TargetSim target(twoOfEach(c.daemon));
    Loaded loaded;
    TestStatus status;
    load(params(target.address()), &loaded, status);
    ASSERT_EQ(status.code(), 0) << status.json();
    ASSERT_EQ(loaded.count, 2u);
    std::string detail;
    for (size_t i = 0; i < loaded.count; ++i) {
      TestStatus read;
      vesklib_Timestamp remote{};
      vesklib_Timescale_getTime(loaded.timescales[i], &remote, read);
      EXPECT_EQ(read.code(), c.codes[i]) << i << " " << read.json();
      detail = read.json();
    }
    EXPECT_NE(detail.find(c.detailOfSecond), std::string::npos) << detail;
  }
}

TEST(ProxyResourcesApi, ADeviceWithoutTimescalesLeavesTheArrayAlone) {
  const TargetSim target(configWith(resourceList({kDevice1})));
  Loaded loaded;
  TestStatus status;
  load(params(target.address()), &loaded, status);
  ASSERT_EQ(status.code(), 0) << status.json();
  EXPECT_NE(loaded.device, Loaded::untouchedDevice());
  EXPECT_EQ(loaded.count, 0u);
  EXPECT_EQ(loaded.timescales, Loaded::untouchedArray());
  EXPECT_EQ(Allocator::calls, 0);
}

TEST(ProxyResourcesApi, ARefusingAllocatorHandsOutNothing) {
  const TargetSim target(configWith(resourceList({kDevice1, kTimescaleA})));
  Loaded loaded;
  TestStatus status;
  Allocator::reset();
  Allocator::refuse = true;
  vesklib_loadProxyResources(params(target.address()).c_str(), &loaded.device, &loaded.timescales, &loaded.count,
                             Allocator::allocate, status);
  EXPECT_EQ(status.code(), -52000);
  EXPECT_NE(status.json().find(R"("qzsyncdomain_debug":{"message":"Unable to allocate memory for Timescales"})"),
            std::string::npos)
      << status.json();
  EXPECT_TRUE(loaded.untouched());
}

TEST(ProxyResourcesApi, ResourceListFailuresHandOutNothing) {
  const TargetSim target(configWith(resourceList({kDevice1})));
  struct Case {
    std::string body;
    int32_t code;
    std::string detail;
  } cases[] = {
      {resourceList({kTimescaleA}), -52006,
       R"({"message":"No syncableDevices returned from remote chassis to load.","resourceType":"syncableDevice",)"
       R"("remoteHost":"127.0.0.2"})"},
      {R"({"version":1,"resources":[]})", -52006, R"("resourceType":"syncableDevice")"},
      {R"({"version":1,"resources":null})", -52006, R"("resourceType":"syncableDevice")"},
      {resourceList({kDevice1, "/veskwebs/Timescales/pendulo/ptp0/gm"}), -52005,
       R"("expectedType1":"syncableDevices","expectedType2":"timescales","resourceType":"Timescales",)"
       R"("resourceUri":"127.0.0.2/veskwebs/Timescales/pendulo/ptp0/gm"})"},
      {R"({"resources":[]})", -52005,
       R"("message":"Sync Domain API version in JSON response from chassis missing or incorrect.",)"
       R"("remoteHost":"127.0.0.2","response":"{\"resources\":[]}","version":4294967295})"},
      {R"({"version":2,"resources":[]})", -52005, R"("version":2})"},
      {R"({"version":"1","resources":[]})", -52004, R"("error_constant":"jsonErrorsTypeMismatch")"},
      {R"({"version":1})", -52006,
       R"({"message":"Error parsing 'resources' key from JSON response.","response":"{\"version\":1}"})"},
      {R"({"version":1,"resources":{}})", -52004, R"("error_constant":"jsonErrorsNotAnArray")"},
      {R"({"version":1,"resources":[1]})", -52004, R"("error_constant":"jsonErrorsNotAnObject")"},
      {R"({"version":1,"resources":[{"URI2":"/x"}]})", -52005,
       R"({"message":"Error parsing 'uri' key from resource JSON array element.","resource":"{\"URI2\":\"/x\"}"})"},
      {R"({"version":1,"resources":[{"uri":5}]})", -52004, R"("error_constant":"jsonErrorsTypeMismatch")"},
      // A null "uri" is the empty one: the host alone is no resource URI.
      {R"({"version":1,"resources":[{"Uri":null}]})", -52005, R"x("uri":"127.0.0.2","uriKeys.size()":6)x"},
      {resourceList({"/veskwebs/syncableDevices/pendulo/timekeeper"}), -52005, "more keys than URI parts"},
      // A device after the first is never made, but checked all the same.
      {resourceList({kDevice1, "/veskwebs/syncableDevices/pendulo/timekeeper"}), -52005, "more keys than URI parts"},
  };
  for (const Case& c : cases) {
    target.updateResourceList(R"({"body":)" + quoted(c.body) + "}");
    Loaded loaded;
    TestStatus status;
    load(params(target.address()), &loaded, status);
    EXPECT_EQ(status.code(), c.code) << c.body << "\n" << status.json();
    EXPECT_NE(status.json().find(c.detail), std::string::npos) << c.body << "\n" << status.json();
    EXPECT_TRUE(loaded.untouched()) << c.body;
    EXPECT_EQ(Allocator::calls, 0) << c.body;
  }
}

TEST(ProxyResourcesApi, AFractionalVersionCountsAsItsWholePart) {
  const TargetSim target(configWith(R"({"version":1.9,"resources":[{"uri":")" + std::string(kDevice1) + R"("}]})"));
  Loaded loaded;
  TestStatus status;
  load(params(target.address()), &loaded, status);
  EXPECT_EQ(status.code(), 0) << status.json();
}

#ifdef __SANITIZE_ADDRESS__
// The sanitizer holds freed memory back: what stays resident tells nothing.
constexpr bool kResidentMemoryCounts = false;
#else
constexpr bool kResidentMemoryCounts = true;
#endif

// The memory the process holds now, as the kernel counts it.
size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  size_t residentPages = 0;
  statm >> pages >> residentPages;
  return residentPages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Only the device handed out is made: a target that lists very many devices
// costs no HTTP connection per device, and the load leaves nothing behind,
// not even the room that reading the list took.
TEST(ProxyResourcesApi, ALongListOfDevicesCostsOnlyTheDeviceHandedOut) {
  constexpr int kDevices = 200000;
  constexpr size_t kSlack = size_t{4} << 20;
  std::vector<std::string> uris;
  for (int i = 0; i < kDevices; ++i) uris.push_back(kDevice1 + std::to_string(i));
  uris.push_back(kTimescaleA);
  const std::string accepted = resourceList(uris);
  ASSERT_LT(accepted.size(), size_t{32} << 20) << "within the HTTP client's answer limit";
  const TargetSim target(configWith(accepted));

  const size_t before = residentBytes();
  {
    Loaded loaded;
    TestStatus status;
    load(params(target.address()), &loaded, status);
    ASSERT_EQ(status.code(), 0) << status.json().substr(0, 600);
    EXPECT_STREQ(vesklib_SyncableDevice_getUri(loaded.device, status), (target.address() + kDevice1 + "0").c_str());
    ASSERT_EQ(loaded.count, 1u);
    EXPECT_STREQ(vesklib_Timescale_getUri(loaded.timescales[0], status), (target.address() + kTimescaleA).c_str());
  }
  const size_t after = residentBytes();
  if (!kResidentMemoryCounts) return;
  EXPECT_LE(after, before + kSlack) << "before the load " << before << " bytes, after the unload " << after;
}

TEST(ProxyResourcesApi, AnUnreachableTargetIsACommunicationsFault) {
  Loaded loaded;
  TestStatus status;
  load(params("127.0.0.9"), &loaded, status);
  EXPECT_EQ(status.code(), -52024) << status.json();
  EXPECT_TRUE(loaded.untouched());
}

}  // namespace
