// The client against a simulated remote target in the test's private network
// namespace: what a request carries, and what each kind of answer becomes.
#include "vesktools_curl/vantorshared/tCURL.h"

#include <gtest/gtest.h>

#include <string>

#include "targetSim.h"
#include "testing/raised.h"
#include "vesktools_curl/webHelperFunctions.h"

namespace {

using qz::vantor::shared::tCURL;
using vesk::testing::errorConstant;
using vesk::testing::lastChannel;
using vesk::testing::Raised;
using vesk::testing::raised;
using vesktest::TargetSim;

constexpr char kDeviceUri[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kDevicePath[] = "syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kDocument[] =
    R"({"version":1,"uri":"/veskwebs/syncableDevices/pendulo/timekeeper/genericTk","isCoherent":true,)"
    R"("coherencyLossCount":0})";
constexpr char kConfig[] = R"({"devices":[{"uri":"/veskwebs/syncableDevices/pendulo/timekeeper/genericTk"}]})";

// The members of the client's channel object.
std::string channel(const std::string& detail) { return lastChannel(detail, "qzjxshared_debug"); }

class TCurlAgainstTarget : public ::testing::Test {
 protected:
  TCurlAgainstTarget() {
    client_.init("http://127.0.0.2", "veskwebs", 10000);
    client_.setMediaType(vesktools::kSyncDomainMediaType);
  }
  void answerGetWith(const std::string& reply) {
    target_.updateDevice(kDeviceUri,
                         R"({"get":{"status":200,"envelope":"plain","error":null,"body":null,"delivery":"whole"}})");
    target_.updateDevice(kDeviceUri, R"({"get":)" + reply + "}");
  }

  TargetSim target_{kConfig};
  tCURL client_;
};

TEST_F(TCurlAgainstTarget, SendsBothHeadersAndThePutBodyAsGiven) {
  EXPECT_EQ(client_.get(kDevicePath), kDocument);
  const std::string body = R"({"version":1,"coherencyRequirements":{"maxOffset_ns":5},"data":{}})";
  std::string callersBody = body;
  EXPECT_EQ(client_.put(kDevicePath, callersBody), kDocument);
  EXPECT_EQ(callersBody, body);

  const auto requests = target_.requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& request : requests) {
    EXPECT_EQ(request.target, kDeviceUri);
    EXPECT_EQ(request.header("Accept"), vesktools::kSyncDomainMediaType);
    EXPECT_EQ(request.header("Content-Type"), vesktools::kSyncDomainMediaType);
  }
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].body, "");
  EXPECT_EQ(requests[1].method, "PUT");
  EXPECT_EQ(requests[1].body, body);
  // No size is given, so the body goes chunked.
  EXPECT_EQ(requests[1].header("Transfer-Encoding"), "chunked");
}

TEST_F(TCurlAgainstTarget, ARequestWithoutMediaTypeCarriesNoListOfAnEarlierOne) {
  client_.get(kDevicePath);
  client_.setMediaType("");
  client_.get(kDevicePath);
  client_.put(kDevicePath, "{}");
  const auto requests = target_.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (size_t i = 1; i < requests.size(); ++i) {
    EXPECT_FALSE(requests[i].hasHeader("Content-Type"));
    EXPECT_EQ(requests[i].header("Accept"), "*/*");  // the library's own
  }

  tCURL fresh;
  fresh.init("http://127.0.0.2", "veskwebs", 10000);
  fresh.get(kDevicePath);
  EXPECT_EQ(target_.requests().back().header("Accept"), "vnd.qz.vantor.v0/json; charset=utf-8");
}

// Every row of the client's answer handling: HTTP statuses, answers that are
// not JSON, the "result" envelope and the web service's "error" object.
TEST_F(TCurlAgainstTarget, MapsEachKindOfAnswer) {
  struct Row {
    const char* reply;
    int32_t code;
    const char* constant;
    std::string membersOrAnswer;
  } rows[] = {
      {R"({"status":202})", 411369, "kNetworkClientInProgress", R"({"responseCode":202})"},
      {R"({"status":400})", -411354, "kNetworkClientBadRequestError", R"({"responseCode":400})"},
      {R"({"status":401})", -411355, "kNetworkClientUnauthorizedError", R"({"responseCode":401})"},
      {R"({"status":404})", -411356, "kNetworkClientNotFoundError", R"({"responseCode":404})"},
      {R"({"status":408})", -411357, "kNetworkClientRequestTimeoutError", R"({"responseCode":408})"},
      {R"({"status":415})", -411370, "kNetworkClientUnsupportedMediaType", R"({"responseCode":415})"},
      {R"({"status":418})", -411358, "kNetworkClientError", R"({"responseCode":418})"},
      {R"({"status":499})", -411358, "kNetworkClientError", R"({"responseCode":499})"},
      {R"({"status":500})", -411359, "kNetworkServerError", R"({"responseCode":500})"},
      {R"({"status":599})", -411359, "kNetworkServerError", R"({"responseCode":599})"},
      {R"({"status":304})", -411360, "kInvalidJSONResponseFromServer", R"({"jsonz_ErrorCode":2})"},
      {R"({"status":204})", -411360, "kInvalidJSONResponseFromServer", R"({"jsonz_ErrorCode":2})"},
      {R"({"body":"{\"a\":1}x"})", -411360, "kInvalidJSONResponseFromServer", R"({"jsonz_ErrorCode":9})"},
      {R"({"status":600})", 0, "", kDocument},
      {R"({"status":201})", 0, "", kDocument},
      {R"({"envelope":"result"})", 0, "", kDocument},
      {R"({"body":" {\"result\" : [1,{\"a\":\"]\"}] , \"x\":2}"})", 0, "", R"([1,{"a":"]"}])"},
      {R"({"body":"{\"result\":\"text\"}"})", 0, "", R"("text")"},
      {R"({"body":"{\"result\":-1.5e3}"})", 0, "", "-1.5e3"},
      {R"({"body":"{\"result\":null}"})", 0, "", "null"},
      {R"({"body":"[1,2]"})", 0, "", "[1,2]"},
      {R"({"body":"{\"error\":{\"success\":true,\"errorCode\":-5}}"})", 0, "",
       R"({"error":{"success":true,"errorCode":-5}})"},
      {R"({"error":{"success":false,"errorCode":-52006,"errorText":"Gone.","errorInfo":"[1,{}]"}})", -52006,
       "errorCode", R"({"errorText":"Gone.","errorInfo":[1,{}]})"},
      {R"({"error":{"success":false,"errorCode":-52006,"errorText":"a \"b\"","errorInfo":"not json"}})", -52006,
       "errorCode", R"({"errorText":"a \\\"b\\\"","errorInfo":"not json"})"},
      {R"({"error":{"success":false,"errorCode":-52006,"errorInfo":{"why":1}}})", -52006, "errorCode",
       R"({"errorText":"","errorInfo":null})"},
      {R"({"error":{"success":false,"errorCode":7,"errorText":"t"}})", -411359, "kNetworkServerError",
       R"({"errorText":"t","errorInfo":null,"errorCode":7})"},
      {R"({"error":{"errorCode":"-52006"}})", -411359, "kNetworkServerError",
       R"({"errorText":"","errorInfo":null,"errorCode":0})"},
      {R"({"envelope":"result","error":{"success":false,"errorCode":-52024,"errorText":"x","errorInfo":""}})",
       -52024, "errorCode", R"({"errorText":"x","errorInfo":null})"},
  };
  for (const Row& row : rows) {
    answerGetWith(row.reply);
    std::string answer;
    const Raised error = raised([&] { answer = client_.get(kDevicePath); });
    EXPECT_EQ(error.code, row.code) << row.reply << "\n" << error.detail;
    if (row.code == 0) {
      EXPECT_EQ(answer, row.membersOrAnswer) << row.reply;
      continue;
    }
    EXPECT_EQ(errorConstant(error.detail), row.constant) << row.reply;
    EXPECT_EQ(channel(error.detail), row.membersOrAnswer) << row.reply;
    EXPECT_NE(error.detail.find(R"("file":"tCURL","line":)"), std::string::npos) << error.detail;
  }
}

TEST_F(TCurlAgainstTarget, ReportsTransfersThatFailWithTheLibrarysCodeAndText) {
  struct Row {
    const char* host;
    uint32_t timeoutMs;
    int32_t curlCode;
  } rows[] = {
      {"http://127.0.0.9", 10000, 7},   // nothing listens there
      {"http://127.0.0.2", 300, 28},    // the answer comes after the time-out
  };
  answerGetWith(R"({"delayMs":2000})");
  for (const Row& row : rows) {
    tCURL client;
    client.init(row.host, "veskwebs", row.timeoutMs);
    const Raised error = raised([&] { client.get(kDevicePath); });
    EXPECT_EQ(error.code, -411361) << row.host;
    EXPECT_EQ(errorConstant(error.detail), "kInternalSoftwareErrorUnknownNetworkError");
    const std::string head = R"({"function":"curl_easy_perform","CURLcode":)" + std::to_string(row.curlCode) +
                             R"(,"CURLOPT_ERRORBUFFER":")";
    const std::string members = channel(error.detail);
    EXPECT_EQ(members.substr(0, head.size()), head) << members;
    EXPECT_GT(members.size(), head.size() + 4) << "no error text: " << members;
  }
}

// A peer that is broken or hostile costs one failed request, bounded in
// size and time, and the same client then serves the next request.
TEST_F(TCurlAgainstTarget, SurvivesHostileAnswersAndServesTheNextRequest) {
  const std::string deepArrays(100000, '[');
  std::string deepObjects;
  for (int i = 0; i < 100000; ++i) deepObjects += R"({\"a\":)";
  // The transfer was aborted by the client's write callback (CURLcode 23).
  const std::string tooLarge = R"("cause":"The answer is larger than )" + std::to_string(tCURL::kMaxAnswerBytes) +
                               R"( bytes."})";
  const struct {
    const char* name;
    std::string reply;
    int32_t code;
    std::string members;  // found in the channel object
  } rows[] = {
      {"deep arrays", R"({"body":")" + deepArrays + "\"}", -411360, R"({"jsonz_ErrorCode":1})"},
      {"deep objects", R"({"body":")" + deepObjects + "\"}", -411360, R"({"jsonz_ErrorCode":1})"},
      {"NUL after the document", R"({"delivery":"nulAfterBody"})", -411360, R"({"jsonz_ErrorCode":9})"},
      {"endless body", R"({"delivery":"stream"})", -411361, tooLarge},
      {"hang", R"({"delivery":"hang"})", -411361, R"({"function":"curl_easy_perform","CURLcode":28,)"},
      {"close in mid-body", R"({"delivery":"closeMidBody"})", -411361,
       R"({"function":"curl_easy_perform","CURLcode":18,)"},
      {"huge Content-Length", R"({"delivery":"hugeContentLength"})", -411361,
       R"({"function":"curl_easy_perform","CURLcode":18,)"},
  };
  // Long enough for the endless body to pass the size limit first, even on a
  // busy machine under the sanitizers; the hang row waits it out.
  constexpr uint32_t kTimeoutMs = 5000;
  tCURL client;
  client.init("http://127.0.0.2", "veskwebs", kTimeoutMs);
  for (const auto& row : rows) {
    answerGetWith(row.reply);
    const Raised error = raised([&] { client.get(kDevicePath); });
    EXPECT_EQ(error.code, row.code) << row.name << "\n" << error.detail.substr(0, 400);
    EXPECT_NE(channel(error.detail).find(row.members), std::string::npos) << row.name << "\n" << channel(error.detail);

    answerGetWith("{}");
    EXPECT_EQ(client.get(kDevicePath), kDocument) << "after " << row.name;
  }
}

TEST_F(TCurlAgainstTarget, FetchesTheResourceListThroughTheWebHelper) {
  EXPECT_EQ(vesktools::sendSyncDomainGetRequest("http://127.0.0.2", "veskwebs", "resources", 10000),
            R"({"version":1,"resources":[{"uri":"/veskwebs/syncableDevices/pendulo/timekeeper/genericTk"}]})");
  const auto requests = target_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/veskwebs/resources");
  EXPECT_EQ(requests[0].header("Accept"), vesktools::kSyncDomainMediaType);
  EXPECT_EQ(requests[0].header("Content-Type"), vesktools::kSyncDomainMediaType);

  target_.updateResourceList(R"({"status":404})");
  const Raised error =
      raised([] { vesktools::sendSyncDomainGetRequest("http://127.0.0.2", "veskwebs", "resources", 10000); });
  EXPECT_EQ(error.code, -52024);
  EXPECT_NE(error.detail.find(R"("qzsyncdomain_debug":{"callingFn":"sendGetRequest",)"
                              R"("url":"http://127.0.0.2/veskwebs/resources","data":"","originalCode":-411356},)"
                              R"("nested_error":[{"error_constant":"kNetworkClientNotFoundError",)"),
            std::string::npos)
      << error.detail;
}

}  // namespace
