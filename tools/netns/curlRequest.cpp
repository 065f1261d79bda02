#include "curlRequest.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <stdexcept>

namespace vesktest {
namespace {

constexpr long kTimeoutMs = 30000;

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Upload {
  std::string text;
  std::size_t offset = 0;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

std::size_t supply(char* destination, std::size_t size, std::size_t count, void* source) {
  Upload& upload = *static_cast<Upload*>(source);
  const std::size_t n = std::min(size * count, upload.text.size() - upload.offset);
  upload.text.copy(destination, n, upload.offset);
  upload.offset += n;
  return n;
}

std::unique_ptr<CURL, CurlDeleter> newHandle() {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) throw std::runtime_error("curl_easy_init failed");
  return curl;
}

HttpResult perform(CURL* curl, const std::string& url, const std::vector<std::string>& headers) {
  std::unique_ptr<curl_slist, HeaderListDeleter> headerList;
  for (const std::string& header : headers) headerList.reset(curl_slist_append(headerList.release(), header.c_str()));
  HttpResult result;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTimeoutMs);
  const CURLcode code = curl_easy_perform(curl);
  if (code != CURLE_OK) throw std::runtime_error(url + ": " + curl_easy_strerror(code));
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  const char* contentType = nullptr;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) result.contentType = contentType;
  return result;
}

}  // namespace

HttpResult httpRequest(const std::string& method, const std::string& url, const std::string& body,
                       const std::vector<std::string>& headers) {
  auto curl = newHandle();
  curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, method.c_str());
  if (!body.empty() || method == "POST" || method == "PUT") {
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  return perform(curl.get(), url, headers);
}

HttpResult httpUpload(const std::string& url, const std::string& body, const std::vector<std::string>& headers) {
  auto curl = newHandle();
  Upload upload{body};
  curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, supply);
  curl_easy_setopt(curl.get(), CURLOPT_READDATA, &upload);
  return perform(curl.get(), url, headers);
}

}  // namespace vesktest
