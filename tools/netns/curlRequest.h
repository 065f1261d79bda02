// Plain HTTP requests for tests, through libcurl: a request with a sized body,
// and a PUT sent the way the device proxy sends it (chunked, with no size
// given, so libcurl also asks "Expect: 100-continue").
#pragma once

#include <string>
#include <vector>

namespace vesktest {

struct HttpResult {
  long status = 0;
  std::string contentType;  // empty when the answer has none
  std::string body;
};

// headers are whole lines such as "Accept: text/plain". Both throw
// std::runtime_error when no answer came (refused, reset, 30 s passed).
HttpResult httpRequest(const std::string& method, const std::string& url, const std::string& body = "",
                       const std::vector<std::string>& headers = {});
HttpResult httpUpload(const std::string& url, const std::string& body, const std::vector<std::string>& headers = {});

}  // namespace vesktest
