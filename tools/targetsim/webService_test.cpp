#include "webService.h"

#include "targetSim.h"

#include <gtest/gtest.h>

namespace vesktools::targetsim {
namespace {

using vesktest::httpRequest;
using vesktest::httpUpload;
using vesktest::HttpResult;
using vesktest::LoggedRequest;
using vesktest::TargetSim;

constexpr char kDevice1[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kDevice2[] = "/veskwebs/syncableDevices/pendulo/nic/eth1";
constexpr char kTimescale1[] = "/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";
constexpr char kTimescale2[] = "/veskwebs/timescales/pendulo/ptp1/00-1b-21-ff-fe-00-00-02";

// What the device proxy and the resource loading send with every request.
const std::vector<std::string> kServiceHeaders = {
    std::string("Accept: ") + kServiceMediaType,
    std::string("Content-Type: ") + kServiceMediaType,
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string deviceDocument(const std::string& uri, bool coherent = true, unsigned lossCount = 0) {
  return R"({"version":1,"uri":)" + quoted(uri) + R"(,"isCoherent":)" + (coherent ? "true" : "false") +
         R"(,"coherencyLossCount":)" + std::to_string(lossCount) + "}";
}

std::string twoDeviceConfig() {
  return R"({"devices": [{"uri": )" + quoted(kDevice1) + R"(}, {"uri": )" + quoted(kDevice2) + "}]}";
}

void expectServiceHeaders(const LoggedRequest& request) {
  EXPECT_EQ(request.header("Accept"), kServiceMediaType);
  EXPECT_EQ(request.header("Content-Type"), kServiceMediaType);
}

TEST(WebService, ListsTheDevicesThenTheTimescales) {
  const TargetSim sim(R"({"timescales": [)" + quoted(kTimescale1) + ", " + quoted(kTimescale2) +
                      R"(], "devices": [{"uri": )" + quoted(kDevice1) + R"(}, {"uri": )" + quoted(kDevice2) + "}]}");
  const HttpResult answer = httpRequest("GET", sim.url(kResourceListTarget), "", kServiceHeaders);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.contentType, kServiceMediaType);
  EXPECT_EQ(answer.body, R"({"version":1,"resources":[{"uri":)" + quoted(kDevice1) + R"(},{"uri":)" +
                             quoted(kDevice2) + R"(},{"uri":)" + quoted(kTimescale1) + R"(},{"uri":)" +
                             quoted(kTimescale2) + "}]}");

  const std::vector<LoggedRequest> requests = sim.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, kResourceListTarget);
  EXPECT_EQ(requests[0].header("Host"), "127.0.0.2");
  expectServiceHeaders(requests[0]);
}

TEST(WebService, DeviceAnswersPutAndGetWithItsDocumentAndLogsBothWhole) {
  const TargetSim sim(R"({"devices": [{"uri": )" + quoted(kDevice1) + R"(, "members": {"name": "tk0"}}]})");
  const std::string requirements =
      R"({"coherencyRequirements":{"maxOffset_ns":1000,"minSyncDuration_ms":2000,"requiredTimescaleUri":)" +
      quoted(kTimescale1) + "}}";
  const std::string document = R"({"version":1,"uri":)" + quoted(kDevice1) +
                               R"(,"isCoherent":true,"coherencyLossCount":0,"name":"tk0"})";

  const HttpResult put = httpUpload(sim.url(kDevice1), requirements, kServiceHeaders);
  EXPECT_EQ(put.status, 200);
  EXPECT_EQ(put.body, document);
  const HttpResult get = httpRequest("GET", sim.url(kDevice1), "", kServiceHeaders);
  EXPECT_EQ(get.status, 200);
  EXPECT_EQ(get.contentType, kServiceMediaType);
  EXPECT_EQ(get.body, document);

  const std::vector<LoggedRequest> requests = sim.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "PUT");
  EXPECT_EQ(requests[0].target, kDevice1);
  EXPECT_EQ(requests[0].version, "HTTP/1.1");
  EXPECT_EQ(requests[0].body, requirements);
  EXPECT_EQ(requests[0].header("Transfer-Encoding"), "chunked");
  expectServiceHeaders(requests[0]);
  EXPECT_EQ(requests[1].method, "GET");
  EXPECT_EQ(requests[1].body, "");
  expectServiceHeaders(requests[1]);
}

TEST(WebService, ControlChangesOneDeviceWhileItRuns) {
  const TargetSim sim(twoDeviceConfig());
  sim.updateDevice(kDevice1, R"({"isCoherent": false, "coherencyLossCount": 3})");
  EXPECT_EQ(httpRequest("GET", sim.url(kDevice1)).body, deviceDocument(kDevice1, false, 3));
  EXPECT_EQ(httpRequest("GET", sim.url(kDevice2)).body, deviceDocument(kDevice2));

  const std::string path = std::string("/devices") + kDevice1;
  const HttpResult refused = httpRequest("POST", sim.controlUrl(path), R"({"isCoherent": true, "members": 1})");
  EXPECT_EQ(refused.status, 400);
  EXPECT_NE(refused.body.find("members: expected an object"), std::string::npos) << refused.body;
  EXPECT_EQ(httpRequest("GET", sim.url(kDevice1)).body, deviceDocument(kDevice1, false, 3));

  EXPECT_EQ(httpRequest("POST", sim.controlUrl("/devices/veskwebs/syncableDevices/p/t/none"), "{}").status, 404);
  EXPECT_NE(sim.state().find(R"("isCoherent":false,"coherencyLossCount":3)"), std::string::npos) << sim.state();
  EXPECT_EQ(sim.requests().size(), 3u) << "control requests are not logged";
}

TEST(WebService, AnswersEachRequestAsItsReplySays) {
  const std::string error = R"({"success":false,"errorCode":-52006,"errorText":"Gone.","errorInfo":{"a":1}})";
  const struct {
    const char* method;
    std::string reply;
    long status;
    std::string body;  // "DOC" stands for the device's document
  } cases[] = {
      {"GET", R"({"status": 202})", 202, "DOC"},
      {"GET", R"({"status": 404})", 404, "DOC"},
      {"GET", R"({"status": 415})", 415, "DOC"},
      {"GET", R"({"status": 503})", 503, "DOC"},
      {"GET", R"({"status": 600})", 600, "DOC"},
      {"GET", R"({"status": 304})", 304, ""},
      {"GET", R"({"envelope": "result"})", 200, R"({"result":DOC})"},
      {"GET", R"({"error": )" + error + "}", 200, "DOC+error"},
      {"GET", R"({"envelope": "result", "error": {"success": true}})", 200, R"({"result":DOC,"error":{"success":true}})"},
      {"GET", R"({"body": "not json"})", 200, "not json"},
      {"GET", R"({"body": "", "status": 204})", 204, ""},
      {"PUT", R"({"status": 500, "envelope": "result"})", 500, R"({"result":DOC})"},
  };
  std::string config = R"({"devices": [)";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string key = std::string(cases[i].method) == "GET" ? "get" : "put";
    config += std::string(i == 0 ? "" : ", ") + R"({"uri": "/veskwebs/syncableDevices/p/t/d)" + std::to_string(i) +
              R"(", ")" + key + R"(": )" + cases[i].reply + "}";
  }
  const TargetSim sim(config + "]}");

  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(std::string(c.method) + " " + c.reply);
    const std::string uri = "/veskwebs/syncableDevices/p/t/d" + std::to_string(i);
    std::string expected = c.body;
    const std::string document = deviceDocument(uri);
    if (expected == "DOC+error") expected = document.substr(0, document.size() - 1) + R"(,"error":)" + error + "}";
    if (const auto at = expected.find("DOC"); at != std::string::npos) expected.replace(at, 3, document);
    const HttpResult answer = std::string(c.method) == "GET" ? httpRequest("GET", sim.url(uri))
                                                             : httpUpload(sim.url(uri), "{}", kServiceHeaders);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, expected);
  }
}

TEST(WebService, ResourceListAnswerFollowsItsReplyToo) {
  const TargetSim sim(twoDeviceConfig());
  sim.updateResourceList(R"({"status": 500})");
  EXPECT_EQ(httpRequest("GET", sim.url(kResourceListTarget)).status, 500);
  sim.updateResourceList(R"({"status": null, "body": "{\"version\":2}"})");
  const HttpResult answer = httpRequest("GET", sim.url(kResourceListTarget));
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, R"({"version":2})");
  EXPECT_EQ(httpRequest("POST", sim.controlUrl("/resourceList"), R"({"status": 99})").status, 400);
}

TEST(WebService, RefusesWhatItDoesNotServe) {
  const TargetSim sim(twoDeviceConfig());
  const struct {
    const char* method;
    std::string target;
    const char* body;
    long status;
  } cases[] = {
      {"GET", "/veskwebs/syncableDevices/pendulo/nic/eth9", "", 404},
      {"GET", std::string(kDevice1) + "/", "", 404},
      {"DELETE", kDevice1, "", 405},
      {"PUT", kDevice1, "{\"a\":", 400},
      {"PUT", kResourceListTarget, "{}", 405},
      {"GET", "/control/nothing", "", 404},
      {"PUT", "/control/log", "", 405},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.target);
    EXPECT_EQ(httpRequest(c.method, sim.url(c.target), c.body).status, c.status);
  }
  EXPECT_EQ(sim.requests().size(), 5u) << "the requests to the service are logged, the control requests not";
}

TEST(WebService, LogKeepsArrivalOrderUntilCleared) {
  const TargetSim sim(twoDeviceConfig(), "127.0.0.2", {"--log-limit", "2"});
  for (const char* uri : {kDevice1, kDevice2, kResourceListTarget}) httpRequest("GET", sim.url(uri));
  std::vector<LoggedRequest> requests = sim.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, kDevice2);
  EXPECT_EQ(requests[1].target, kResourceListTarget);
  EXPECT_NE(httpRequest("GET", sim.controlUrl("/log")).body.find(R"("dropped":1)"), std::string::npos);

  sim.clearRequests();
  EXPECT_TRUE(sim.requests().empty());
  httpRequest("GET", sim.url(kDevice1));
  requests = sim.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, kDevice1);
}

}  // namespace
}  // namespace vesktools::targetsim
