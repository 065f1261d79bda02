#include "vesktools_curl/webHelperFunctions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "qzerr/errorDetail.h"
#include "testing/raised.h"

namespace {

using ::testing::Return;
using ::testing::Throw;
using vesk::testing::after;
using vesk::testing::errorConstant;
using vesk::testing::Raised;
using vesk::testing::raised;
using Parts = std::map<std::string, std::string>;

const std::vector<std::string>& kResourceKeys = vesktools::remoteResourceUriKeys();

qzerr::Exception clientError(int32_t code) {
  try {
    QZERR_ERROR((qzerr::ErrorConstant{code, "clientConstant"})).add("responseCode", int64_t{404}).raise();
  } catch (const qzerr::Exception& e) {
    return e;
  }
}

// What translateWebRequestError makes of `original` when it was caught.
Raised translated(const qzerr::Exception& original) {
  return raised([&] {
    try {
      throw original;
    } catch (const qzerr::ExceptionBase& caught) {
      vesktools::translateWebRequestError(caught, "f", "u", "d");
    }
  });
}

class MockClient : public qz::vantor::shared::iCURL {
 public:
  MOCK_METHOD(void, init, (const std::string&, const std::string&, uint32_t), (override));
  MOCK_METHOD(void, setMediaType, (const std::string&), (override));
  MOCK_METHOD(void, setCredentials, (const std::string&, const std::string&), (override));
  MOCK_METHOD(std::string, put, (const std::string&, std::string), (override));
  MOCK_METHOD(std::string, get, (const std::string&), (override));
};

TEST(ParseUri, SplitsSixPartsWithOrWithoutLeadingOrTrailingSlash) {
  const Parts expected = {{"remoteHost", "10.1.2.3"}, {"webService", "veskwebs"}, {"resource", "syncableDevices"},
                          {"plugin", "pendulo"},      {"type", "timekeeper"},     {"name", "genericTk"}};
  for (const char* uri : {"/10.1.2.3/veskwebs/syncableDevices/pendulo/timekeeper/genericTk",
                          "10.1.2.3/veskwebs/syncableDevices/pendulo/timekeeper/genericTk",
                          "/10.1.2.3/veskwebs/syncableDevices/pendulo/timekeeper/genericTk/"}) {
    Parts out;
    vesktools::parseUri(uri, kResourceKeys, out);
    EXPECT_EQ(out, expected) << uri;
  }
}

TEST(ParseUri, KeepsAValueAlreadyPresentAndStopsAtAKeyLikeTheLast) {
  Parts out = {{"x", "earlier"}};
  vesktools::parseUri("/a", {"x", "y", "x"}, out);
  EXPECT_EQ(out, (Parts{{"x", "earlier"}}));
  Parts fresh;
  vesktools::parseUri("a", {"x", "y", "x"}, fresh);
  EXPECT_EQ(fresh, (Parts{{"x", "a"}}));
}

TEST(ParseUri, RejectsMalformedUrisKeepingThePartsFoundBefore) {
  struct Case {
    const char* uri;
    std::vector<std::string> keys;
    const char* tail;
    Parts partsFound;
  } cases[] = {
      {"", {"a"},
       R"j({"message":"Failed to parse URI; URI is empty or was not provided URI keys.","uri":"","uriKeys.size()":1}})j",
       {}},
      {"/x", {},
       R"j({"message":"Failed to parse URI; URI is empty or was not provided URI keys.","uri":"/x","uriKeys.size()":0}})j",
       {}},
      {"//a/b", {"a", "b"}, R"({"message":"Failed to parse URI; encountered contiguous delimiters.","uri":"//a/b"}})",
       {}},
      {"/", {"a"}, R"({"message":"Failed to parse URI; encountered contiguous delimiters.","uri":"/"}})", {}},
      {"a//b", {"a", "b", "c"}, R"({"message":"Failed to parse URI; encountered contiguous delimiters.","uri":"a//b"}})",
       {{"a", "a"}}},
      {"a/b", {"a", "b", "c"},
       R"j({"message":"Failed to parse URI; more keys than URI parts.","uri":"a/b","uriKeys.size()":3}})j",
       {{"a", "a"}, {"b", "b"}}},
      {"a/b/c", {"a", "b"},
       R"j({"message":"Failed to parse URI; more URI parts than keys.","uri":"a/b/c","uriKeys.size()":2}})j",
       {{"a", "a"}, {"b", "b"}}},
  };
  for (const Case& c : cases) {
    Parts out;
    const Raised error = raised([&] { vesktools::parseUri(c.uri, c.keys, out); });
    EXPECT_EQ(error.code, -52005) << c.uri;
    EXPECT_EQ(after(error.detail, "{\"message\""), c.tail) << c.uri;
    EXPECT_NE(error.detail.find(R"("error_constant":"qzkormerr_invalidParameter")"), std::string::npos);
    EXPECT_EQ(out, c.partsFound) << c.uri;
  }
}

TEST(BracketIpv6Host, BracketsOnlyAnUnbracketedAddressWithColons) {
  const std::pair<const char*, const char*> cases[] = {
      {"fe80::1", "[fe80::1]"}, {"[fe80::1]", "[fe80::1]"}, {"[fe80::1", "[fe80::1"},
      {"fe80::1]", "fe80::1]"}, {"10.1.2.3", "10.1.2.3"},   {"target-a", "target-a"},
      {"", ""},
  };
  for (const auto& [host, expected] : cases) EXPECT_EQ(vesktools::bracketIpv6Host(host), expected) << host;
}

TEST(TranslateWebRequestError, MapsClientCodesAndNestsTheCaughtStatus) {
  struct Case {
    int32_t caught;
    int32_t code;
    const char* channel;
  } cases[] = {
      {-411352, -52005, R"({"message":"Encountered invalid URI.","callingFn":"f","url":"u","data":"d",)"
                        R"("originalCode":-411352})"},
      {-411353, -52005, R"({"message":"Encountered invalid URI.","callingFn":"f","url":"u","data":"d",)"
                        R"("originalCode":-411353})"},
      {411369, -52024, R"({"callingFn":"f","url":"u","data":"d","originalCode":411369})"},
      {-411356, -52024, R"({"callingFn":"f","url":"u","data":"d","originalCode":-411356})"},
      {-411350, -52024, R"({"callingFn":"f","url":"u","data":"d","originalCode":-411350})"},
      {-411371, -52024, R"({"callingFn":"f","url":"u","data":"d","originalCode":-411371})"},
  };
  for (const Case& c : cases) {
    const qzerr::Exception original = clientError(c.caught);
    // The nested element is the caught detail with its code added.
    const std::string caughtDetail = original.what();
    const Raised error = translated(original);
    const std::string nested =
        caughtDetail.substr(0, caughtDetail.size() - 1) + ",\"code\":" + std::to_string(c.caught) + "}";
    EXPECT_EQ(error.code, c.code) << c.caught;
    EXPECT_EQ(errorConstant(error.detail),
              c.code == -52005 ? "qzkormerr_invalidParameter" : "qzkormerr_communicationsFault");
    EXPECT_EQ(after(error.detail, "\"qzsyncdomain_debug\""),
              "\"qzsyncdomain_debug\":" + std::string(c.channel) + ",\"nested_error\":[" + nested + "]}")
        << c.caught;
  }
}

TEST(TranslateWebRequestError, RethrowsOtherCodesUnchanged) {
  for (int32_t code : {-411349, -411372, -52006, 411370}) {
    const qzerr::Exception original = clientError(code);
    const std::string originalDetail = original.what();
    const Raised error = translated(original);
    EXPECT_EQ(error.code, code);
    EXPECT_EQ(error.detail, originalDetail);
  }
}

TEST(SendRequests, AnswerThroughTheClientAndNameTheUrlAndBodyOnFailure) {
  auto client = std::make_shared<MockClient>();
  EXPECT_CALL(*client, get("syncableDevices/p/t/n")).WillOnce(Return(R"({"a":1})"));
  EXPECT_EQ(vesktools::sendGetRequest(client, "http://h", "veskwebs", "syncableDevices/p/t/n", 10000), R"({"a":1})");

  EXPECT_CALL(*client, get("x")).WillOnce(Throw(clientError(-411356)));
  const Raised getError = raised([&] { vesktools::sendGetRequest(client, "http://h", "veskwebs", "x", 10000); });
  EXPECT_EQ(getError.code, -52024);
  EXPECT_NE(getError.detail.find(
                R"({"callingFn":"sendGetRequest","url":"http://h/veskwebs/x","data":"","originalCode":-411356})"),
            std::string::npos)
      << getError.detail;

  EXPECT_CALL(*client, put("x", R"({"b":2})")).WillOnce(Return("{}"));
  vesktools::sendPutRequest(client, "http://h", "veskwebs", "x", 10000, R"({"b":2})");
  EXPECT_CALL(*client, put("y", "body")).WillOnce(Throw(clientError(-411352)));
  const Raised putError =
      raised([&] { vesktools::sendPutRequest(client, "http://h", "veskwebs", "y", 10000, "body"); });
  EXPECT_EQ(putError.code, -52005);
  EXPECT_NE(putError.detail.find(R"({"message":"Encountered invalid URI.","callingFn":"sendPutRequest",)"
                                 R"("url":"http://h/veskwebs/y","data":"body","originalCode":-411352})"),
            std::string::npos)
      << putError.detail;
}

TEST(SendRequests, PassOtherExceptionsThrough) {
  auto client = std::make_shared<MockClient>();
  EXPECT_CALL(*client, get("x")).WillOnce(Throw(std::runtime_error("boom")));
  EXPECT_THROW(vesktools::sendGetRequest(client, "http://h", "veskwebs", "x", 10000), std::runtime_error);
  EXPECT_CALL(*client, get("y")).WillOnce(Throw(clientError(-52006)));
  EXPECT_EQ(raised([&] { vesktools::sendGetRequest(client, "http://h", "veskwebs", "y", 10000); }).code, -52006);
}

}  // namespace
