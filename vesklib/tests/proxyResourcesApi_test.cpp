// The parameter document of the resource functions and the URI roots, which
// need no remote target.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "testStatus.h"
#include "vesklib/vesklib.h"

namespace {

struct Roots {
  char device[64];
  char timescale[64];
};

// The roots written for `json` with buffers of `size` bytes (filled with 'x'
// beforehand, so an untouched buffer shows).
Roots rootsOf(const std::string& json, size_t size, TestStatus& status) {
  Roots roots;
  memset(&roots, 'x', sizeof roots);
  roots.device[63] = roots.timescale[63] = '\0';
  vesklib_getProxyResourceUriRootsToUnload(json.c_str(), size, roots.device, roots.timescale, status);
  return roots;
}

std::string params(const std::string& host) {
  return R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":)" + host + "}}";
}

TEST(ProxyResourceRoots, AreTheHostInUriFormInBothBuffers) {
  struct Case {
    std::string host;
    size_t size;
    const char* root;
  } cases[] = {
      {R"("abc")", 4, "abc"},
      {R"("fe80::1")", 10, "[fe80::1]"},
      {R"("[::1]")", 6, "[::1]"},
      {"null", 1, ""},
  };
  for (const Case& c : cases) {
    TestStatus status;
    const Roots roots = rootsOf(params(c.host), c.size, status);
    EXPECT_EQ(status.code(), 0) << c.host << " " << status.json();
    EXPECT_STREQ(roots.device, c.root) << c.host;
    EXPECT_STREQ(roots.timescale, c.root) << c.host;
  }
}

TEST(ProxyResourceRoots, ABufferWithoutRoomForTheNulIsTooSmall) {
  for (const auto& [host, size] : {std::pair<std::string, size_t>{R"("abc")", 3}, {R"("fe80::1")", 9}}) {
    TestStatus status;
    const Roots roots = rootsOf(params(host), size, status);
    EXPECT_EQ(status.code(), -52019) << host;
    const std::string unbracketed = host.substr(1, host.size() - 2);
    EXPECT_NE(status.json().find(R"("qzsyncdomain_debug":{"message":"the uri root buffers is not large enough.",)"
                                 R"("bufferSize":)" + std::to_string(size) + R"(,"remoteHost":")" + unbracketed +
                                 R"("})"),
              std::string::npos)
        << status.json();
    EXPECT_EQ(roots.device[0], 'x');
  }
}

TEST(ProxyResourceParams, RefusesADocumentThatDoesNotNameATarget) {
  struct Case {
    std::string json;
    int32_t code;
    std::string detail;
  } cases[] = {
      {"{", -52005,
       R"({"message":"networkDeviceParamsJson contains an invalid JSON string.","jsonzError":)"
       R"("jsonz_errorDoubleQuoteExpected","position":"","jsonString":"{",)"
       R"("source":"vesklib_getProxyResourceUriRootsToUnload"})"},
      {R"({"type":"networkDeviceParams","params":{"remoteHost":"h"}})", -52005,
       R"({"message":"Sync Domain API version in networkDeviceParamsJson missing or incorrect.",)"
       R"("networkDeviceParamsJson":{"type":"networkDeviceParams","params":{"remoteHost":"h"}},)"
       R"("version":4294967295})"},
      {R"({"version":2,"type":"networkDeviceParams","params":{"remoteHost":"h"}})", -52005, R"("version":2})"},
      {R"({"version":"1","type":"networkDeviceParams","params":{"remoteHost":"h"}})", -52004,
       R"("qzsync_debug":{"message":"Error parsing: expected data type does not match the parsed value.",)"},
      {R"({"version":1,"type":"NetworkDeviceParams","params":{"remoteHost":"h"}})", -52005,
       R"({"message":"Type in networkDeviceParamsJson missing or invalid.","expectedType":"networkDeviceParams",)"
       R"("type":"NetworkDeviceParams","networkDeviceParamsJson":{)"},
      {R"({"version":1,"type":null,"params":{"remoteHost":"h"}})", -52005, R"("type":"","networkDeviceParamsJson")"},
      {R"({"version":1,"type":"networkDeviceParams"})", -52005,
       R"({"message":"Error parsing 'params' key from networkDeviceParamsJson","networkDeviceParamsJson":{)"},
      {R"({"version":1,"type":"networkDeviceParams","params":null})", -52004,
       R"("error_constant":"jsonErrorsNotAnObject")"},
      {R"({"version":1,"type":"networkDeviceParams","params":{"host":"h"}})", -52005,
       R"({"message":"Error parsing 'remoteHost' key from networkDeviceParamsJson","networkDeviceParamsJson":{)"},
      {R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":7, "port":80}})", -52004,
       R"("qzsync_debug":{"message":"Error parsing: expected data type does not match the parsed value.",)"
       R"("JSON":"{\"remoteHost\":7,\"port\":80}","key":"remoteHost"})"},
      {R"({"version":1,"type":5,"params":{"remoteHost":"h"}})", -52004,
       R"("JSON":"{\"version\":1,\"type\":5,\"params\":{\"remoteHost\":\"h\"}}","key":"type"})"},
      {R"({"version":4294967296,"type":"networkDeviceParams","params":{"remoteHost":"h"}})", -52003,
       "bad numeric conversion: positive overflow"},
  };
  for (const Case& c : cases) {
    TestStatus status;
    rootsOf(c.json, 64, status);
    EXPECT_EQ(status.code(), c.code) << c.json << "\n" << status.json();
    EXPECT_NE(status.json().find(c.detail), std::string::npos) << c.json << "\n" << status.json();
  }
}

TEST(ProxyResourceParams, FindsMembersInAnyLetterCase) {
  TestStatus status;
  const Roots roots = rootsOf(R"({"VERSION":1,"Type":"networkDeviceParams","PARAMS":{"remotehost":"h"}})", 2, status);
  EXPECT_EQ(status.code(), 0) << status.json();
  EXPECT_STREQ(roots.device, "h");
}

TEST(ProxyResourceFunctions, ReportTheFirstMissingArgumentByName) {
  SyncableDeviceInterface* device = nullptr;
  TimescaleInterface** timescales = nullptr;
  size_t count = 0;
  const std::string json = params(R"("h")");
  char root[8];
  struct Case {
    const char* name;
    std::function<void(qzerr_Status*)> call;
  } cases[] = {
      {"networkDeviceParamsJson",
       [&](qzerr_Status* s) { vesklib_loadProxyResources(nullptr, nullptr, nullptr, nullptr, nullptr, s); }},
      {"deviceOut",
       [&](qzerr_Status* s) { vesklib_loadProxyResources(json.c_str(), nullptr, nullptr, nullptr, nullptr, s); }},
      {"timescalesOut",
       [&](qzerr_Status* s) { vesklib_loadProxyResources(json.c_str(), &device, nullptr, nullptr, nullptr, s); }},
      {"timescaleCount",
       [&](qzerr_Status* s) { vesklib_loadProxyResources(json.c_str(), &device, &timescales, nullptr, nullptr, s); }},
      {"allocator",
       [&](qzerr_Status* s) { vesklib_loadProxyResources(json.c_str(), &device, &timescales, &count, nullptr, s); }},
      {"networkDeviceParamsJson",
       [&](qzerr_Status* s) { vesklib_getProxyResourceUriRootsToUnload(nullptr, 8, nullptr, nullptr, s); }},
      {"deviceUriRootOut",
       [&](qzerr_Status* s) { vesklib_getProxyResourceUriRootsToUnload(json.c_str(), 8, nullptr, nullptr, s); }},
      {"timescaleUriRootOut",
       [&](qzerr_Status* s) { vesklib_getProxyResourceUriRootsToUnload(json.c_str(), 8, root, nullptr, s); }},
  };
  for (const Case& c : cases) {
    TestStatus status;
    c.call(status);
    EXPECT_EQ(status.code(), -52005) << c.name;
    EXPECT_NE(status.json().find(R"("file":"vesklibFreeFunctions")"), std::string::npos) << status.json();
    EXPECT_NE(status.json().find(std::string("\"") + c.name + R"(":"nullptr"})"), std::string::npos)
        << status.json();
  }
}

TEST(ProxyResourceFunctions, DoNothingAfterAnEarlierError) {
  TestStatus status(-52010, R"({"earlier":true})");
  char device[8] = "x";
  char timescale[8] = "x";
  vesklib_getProxyResourceUriRootsToUnload(params(R"("h")").c_str(), 8, device, timescale, status);
  EXPECT_EQ(status.code(), -52010);
  EXPECT_EQ(status.json(), R"({"earlier":true})");
  EXPECT_STREQ(device, "x");
}

}  // namespace
