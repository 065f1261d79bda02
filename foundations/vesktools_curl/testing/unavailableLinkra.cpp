#include "vesktools_curl/testing/unavailableLinkra.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/raised.h"
#include "vesktools_curl/linkraBinding.h"
#include "vesktools_curl/vantorshared/tCURL.h"
#include "vesktools_curl/webHelperFunctions.h"

namespace vesktools::testing {
namespace {

using vesk::testing::lastChannel;
using vesk::testing::Raised;
using vesk::testing::raised;

constexpr CURLcode kFailedInit = CURLE_FAILED_INIT;

}  // namespace

void expectEveryRequestFails() {
  EXPECT_EQ(linkra_curl_easy_init(), nullptr);
  EXPECT_EQ(linkra_qzcurl_easy_setopt(nullptr, CURLOPT_NOSIGNAL, 1L), kFailedInit);
  EXPECT_EQ(linkra_curl_easy_perform(nullptr), kFailedInit);
  long code = 0;
  EXPECT_EQ(linkra_qzcurl_easy_getinfo(nullptr, CURLINFO_RESPONSE_CODE, &code), kFailedInit);
  EXPECT_EQ(linkra_curl_slist_append(nullptr, "Accept: x"), nullptr);
  linkra_curl_slist_free_all(nullptr);
  linkra_curl_easy_cleanup(nullptr);

  // init keeps the URL parts although it fails, so a request goes as far as
  // its first option.
  qz::vantor::shared::tCURL client;
  const Raised initError = raised([&] { client.init("http://127.0.0.2", "veskwebs", 10000); });
  EXPECT_EQ(initError.code, -411351);
  EXPECT_EQ(lastChannel(initError.detail, "qzjxshared_debug"), R"({"check failed":"_connection"})");
  const Raised requestError = raised([&] { client.get("resources"); });
  EXPECT_EQ(requestError.code, -411350);
  EXPECT_EQ(lastChannel(requestError.detail, "qzjxshared_debug"),
            R"j({"function":"curl_easy_setopt(_connection, CURLOPT_READFUNCTION, _readCallback)","CURLcode":2})j");

  const Raised helperError =
      raised([] { sendSyncDomainGetRequest("http://127.0.0.2", "veskwebs", "resources", 10000); });
  EXPECT_EQ(helperError.code, -52024);
  const std::string& detail = helperError.detail;
  EXPECT_NE(detail.find(R"("qzsyncdomain_debug":{"callingFn":"sendGetRequest",)"
                        R"("url":"http://127.0.0.2/veskwebs/resources","data":"","originalCode":-411351})"),
            std::string::npos)
      << detail;
  EXPECT_NE(detail.find(R"("nested_error":[{"error_constant":"kInternalSoftwareErrorFailedInitialize")"),
            std::string::npos)
      << detail;
}

}  // namespace vesktools::testing
