// qz::vantor::shared::tCURL: the HTTP client over the run-time bound HTTP
// library. It keeps one connection handle for its whole life, maps HTTP
// status codes and the web service's "error" object onto its own codes
// (-411350 to -411370, +411369 for 202) and answers the "result" member of a
// reply, or the whole reply when there is none. An answer is bounded: a body
// past kMaxAnswerBytes ends its transfer (-411361 naming the cause), and the
// client serves the next request as usual. It holds no lock: callers that
// share one client serialise their requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vesktools_curl/vantorshared/iCURL.h"

namespace qz::vantor::shared {

class tCURL : public iCURL {
 public:
  // Far above any resource list or device document, yet small enough that
  // no peer can make the process hold gigabytes.
  static constexpr size_t kMaxAnswerBytes = 32 * 1024 * 1024;

  tCURL() = default;
  tCURL(const tCURL&) = delete;
  tCURL& operator=(const tCURL&) = delete;
  ~tCURL() override;

  // Fails with -411351 when the HTTP library cannot be bound (tried again by
  // the next init of any client).
  void init(const std::string& uri, const std::string& prefix, uint32_t timeoutMs) override;
  void setMediaType(const std::string& type) override;
  void setCredentials(const std::string& user, const std::string& password) override;
  // Uploads from `body`, the caller's own copy is left alone.
  std::string put(const std::string& path, std::string body) override;
  std::string get(const std::string& path) override;

 private:
  static constexpr size_t kErrorBufferSize = 256;  // the library's error-text size

  std::string performRequest(bool upload, const std::string& path, std::string& tempBufferForGet,
                             std::string& putTextBuffer);
  static size_t _writeCallback(char* data, size_t size, size_t count, void* target);
  static size_t _readCallback(char* destination, size_t size, size_t count, void* source);

  void* _connection = nullptr;
  std::string _responseBuffer;
  std::string _emptyPutBuffer;
  std::string _uri;
  std::string _prefix;
  uint32_t _timeoutInMS = 0;
  std::string _acceptMediaType = "vnd.qz.vantor.v0/json; charset=utf-8";
  std::string _contentMediaType = "vnd.qz.vantor.v0/json; charset=utf-8";
  std::string _username;
  std::string _password;
  // Lives as long as the handle that points at it, so the library never
  // writes an error text into a buffer that is gone.
  char _errorBuffer[kErrorBufferSize] = {};
};

}  // namespace qz::vantor::shared
