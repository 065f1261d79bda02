// The client's failures that need no remote target; the answers of a target
// are covered by the tests in the private network namespace.
#include "vesktools_curl/vantorshared/tCURL.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/raised.h"

namespace {

using qz::vantor::shared::tCURL;
using vesk::testing::errorConstant;
using vesk::testing::lastChannel;
using vesk::testing::Raised;
using vesk::testing::raised;

TEST(TCurl, ChecksTheUrlPartsBeforeTouchingTheConnection) {
  struct Case {
    const char* uri;
    const char* prefix;
    int32_t code;
    const char* constant;
    const char* check;
  } cases[] = {
      {"", "", -411352, "kInvalidEndStationURI", "!_uri.empty()"},
      {"", "veskwebs", -411352, "kInvalidEndStationURI", "!_uri.empty()"},
      {"http://127.0.0.2", "", -411353, "kInvalidURIPrefix", "!_prefix.empty()"},
  };
  for (const Case& c : cases) {
    tCURL client;
    client.init(c.uri, c.prefix, 10000);
    for (bool upload : {false, true}) {
      const Raised error = raised([&] { upload ? client.put("x", "{}") : client.get("x"); });
      EXPECT_EQ(error.code, c.code);
      EXPECT_EQ(errorConstant(error.detail), c.constant);
      EXPECT_EQ(lastChannel(error.detail, "qzjxshared_debug"), std::string(R"({"check failed":")") + c.check + "\"}");
      EXPECT_NE(error.detail.find(R"("file":"tCURL","line":)"), std::string::npos) << error.detail;
    }
  }
}

// The library refuses option texts longer than it accepts as input.
TEST(TCurl, NamesTheOptionThatCouldNotBeSet) {
  const std::string tooLong(8000001, 'x');
  struct Case {
    std::string path;
    std::string user;
    std::string password;
    const char* function;
  } cases[] = {
      {tooLong, "", "", "curl_easy_setopt(_connection, CURLOPT_URL, url.c_str())"},
      {"x", tooLong, "", "curl_easy_setopt(_connection, CURLOPT_USERNAME, _username.c_str())"},
      {"x", "", tooLong, "curl_easy_setopt(_connection, CURLOPT_PASSWORD, _password.c_str())"},
  };
  for (const Case& c : cases) {
    tCURL client;
    client.init("nosuch://127.0.0.2", "veskwebs", 10000);
    client.setCredentials(c.user, c.password);
    const Raised error = raised([&] { client.get(c.path); });
    EXPECT_EQ(error.code, -411350);
    EXPECT_EQ(errorConstant(error.detail), "kInternalSoftwareError");
    EXPECT_EQ(lastChannel(error.detail, "qzjxshared_debug"),
              std::string(R"({"function":")") + c.function + R"(","CURLcode":43})");
  }
}

// A scheme the library does not speak fails inside perform, before any
// connection is made.
TEST(TCurl, ReportsAFailedTransferWithTheLibrarysText) {
  tCURL client;
  client.init("nosuch://127.0.0.2", "veskwebs", 10000);
  const Raised error = raised([&] { client.get("resources"); });
  EXPECT_EQ(error.code, -411361);
  EXPECT_EQ(errorConstant(error.detail), "kInternalSoftwareErrorUnknownNetworkError");
  const std::string members = lastChannel(error.detail, "qzjxshared_debug");
  const std::string head = R"({"function":"curl_easy_perform","CURLcode":1,"CURLOPT_ERRORBUFFER":")";
  EXPECT_EQ(members.substr(0, head.size()), head) << members;
  EXPECT_GT(members.size(), head.size() + 4) << "no error text";
  EXPECT_NE(members.find("nosuch"), std::string::npos) << members;
}

}  // namespace
