#include "vesktools_curl/testing/unavailableLinkra.h"

#include <gtest/gtest.h>

#include <string>

#include "qzerr/exception.h"
#include "vesktools_curl/linkraBinding.h"
#include "vesktools_curl/vantorshared/tCURL.h"
#include "vesktools_curl/webHelperFunctions.h"

namespace vesktools::testing {
namespace {

constexpr CURLcode kFailedInit = CURLE_FAILED_INIT;

template <typename Body>
qzerr::Exception caught(Body body) {
  try {
    body();
  } catch (const qzerr::Exception& error) {
    return error;
  }
  ADD_FAILURE() << "nothing was thrown";
  return qzerr::Exception();
}

// The members after the error site, from the channel object on.
std::string fromChannel(const qzerr::Exception& error, const char* channel) {
  const std::string detail = error.what();
  const size_t at = detail.find(std::string("\"") + channel + "\"");
  return at == std::string::npos ? detail : detail.substr(at);
}

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
  const qzerr::Exception initError = caught([&] { client.init("http://127.0.0.2", "veskwebs", 10000); });
  EXPECT_EQ(initError.status().code, -411351);
  EXPECT_EQ(fromChannel(initError, "qzjxshared_debug"),
            R"("qzjxshared_debug":{"check failed":"_connection"}})");
  const qzerr::Exception requestError = caught([&] { client.get("resources"); });
  EXPECT_EQ(requestError.status().code, -411350);
  EXPECT_EQ(fromChannel(requestError, "qzjxshared_debug"),
            R"j("qzjxshared_debug":{"function":"curl_easy_setopt(_connection, CURLOPT_READFUNCTION, _readCallback)",)j"
            R"("CURLcode":2}})");

  const qzerr::Exception helperError =
      caught([] { sendSyncDomainGetRequest("http://127.0.0.2", "veskwebs", "resources", 10000); });
  EXPECT_EQ(helperError.status().code, -52024);
  const std::string detail = helperError.what();
  EXPECT_NE(detail.find(R"("qzsyncdomain_debug":{"callingFn":"sendGetRequest",)"
                        R"("url":"http://127.0.0.2/veskwebs/resources","data":"","originalCode":-411351})"),
            std::string::npos)
      << detail;
  EXPECT_NE(detail.find(R"("nested_error":[{"error_constant":"kInternalSoftwareErrorFailedInitialize")"),
            std::string::npos)
      << detail;
}

}  // namespace vesktools::testing
