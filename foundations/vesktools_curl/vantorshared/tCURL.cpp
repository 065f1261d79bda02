#include "vesktools_curl/vantorshared/tCURL.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "jsonz/jsonz.h"
#include "qzerr/errorDetail.h"
#include "vesktools_curl/linkraBinding.h"

namespace qz::vantor::shared {
namespace {

constexpr char kChannel[] = "qzjxshared_debug";
constexpr size_t kAbortTransfer = 0x10000000;  // CURL_READFUNC_ABORT

// The calls whose failure is -411350, each named in the detail as written.
enum Call {
  kSetReadFunction,
  kSetWriteFunction,
  kSetWriteData,
  kSetReadData,
  kSetUpload,
  kSetTimeout,
  kSetNoSignal,
  kSetUrl,
  kSetUsername,
  kSetPassword,
  kSetHttpHeader,
  kSetErrorBuffer,
  kGetResponseCode,
};

constexpr const char* kCallTexts[] = {
    "curl_easy_setopt(_connection, CURLOPT_READFUNCTION, _readCallback)",
    "curl_easy_setopt(_connection, CURLOPT_WRITEFUNCTION, _writeCallback)",
    "curl_easy_setopt(_connection, CURLOPT_WRITEDATA, &tempBufferForGet)",
    "curl_easy_setopt(_connection, CURLOPT_READDATA, &putTextBuffer)",
    "curl_easy_setopt(_connection, CURLOPT_UPLOAD, upload ? 1L : 0L)",
    "curl_easy_setopt(_connection, CURLOPT_TIMEOUT_MS, static_cast<long>(_timeoutInMS))",
    "curl_easy_setopt(_connection, CURLOPT_NOSIGNAL, 1L)",
    "curl_easy_setopt(_connection, CURLOPT_URL, url.c_str())",
    "curl_easy_setopt(_connection, CURLOPT_USERNAME, _username.c_str())",
    "curl_easy_setopt(_connection, CURLOPT_PASSWORD, _password.c_str())",
    "curl_easy_setopt(_connection, CURLOPT_HTTPHEADER, headerList.get())",
    "curl_easy_setopt(_connection, CURLOPT_ERRORBUFFER, errbuf)",
    "curl_easy_getinfo(_connection, CURLINFO_RESPONSE_CODE, &responseCode)",
};

// Response codes that end a request, first match wins; every other code goes
// on to the answer's JSON check.
struct ResponseMapping {
  long first;
  long last;
  qzerr::ErrorConstant constant;
};

constexpr ResponseMapping kResponseMappings[] = {
    {202, 202, qzerr::kNetworkClientInProgress},
    {400, 400, qzerr::kNetworkClientBadRequestError},
    {401, 401, qzerr::kNetworkClientUnauthorizedError},
    {404, 404, qzerr::kNetworkClientNotFoundError},
    {408, 408, qzerr::kNetworkClientRequestTimeoutError},
    {415, 415, qzerr::kNetworkClientUnsupportedMediaType},
    {400, 499, qzerr::kNetworkClientError},
    {500, 599, qzerr::kNetworkServerError},
};

void throwIfFailed(CURLcode result, Call call) {
  if (result == CURLE_OK) return;
  QZERR_ERROR(qzerr::kInternalSoftwareError)
      .channel(kChannel)
      .add("function", kCallTexts[call])
      .add("CURLcode", static_cast<int32_t>(result))
      .raise();
}

template <typename Value>
void setOption(void* connection, CURLoption option, Value value, Call call) {
  throwIfFailed(linkra_qzcurl_easy_setopt(connection, option, value), call);
}

[[noreturn]] void raiseCheckFailed(const qzerr_ErrorSite& site, int32_t code, const char* check) {
  qzerr::Error(code, site).channel(kChannel).add("check failed", check).raise();
}

void raiseForResponseCode(long responseCode) {
  for (const ResponseMapping& mapping : kResponseMappings) {
    if (responseCode < mapping.first || responseCode > mapping.last) continue;
    QZERR_ERROR(mapping.constant).channel(kChannel).add("responseCode", static_cast<int64_t>(responseCode)).raise();
  }
}

// The request's headers, freed when the request ends on every path.
class HeaderList {
 public:
  HeaderList() = default;
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() { linkra_curl_slist_free_all(list_); }

  // A line the library cannot add is left out.
  void append(const std::string& line) {
    curl_slist* longer = linkra_curl_slist_append(list_, line.c_str());
    if (longer != nullptr) list_ = longer;
  }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

// A string member's raw text as it stands between its quotes; empty when the
// member is missing or not a string.
std::string rawString(const char* object, const char* name) {
  size_t length = 0;
  const char* text = jsonz_getString(jsonz_findKey(object, name), "", &length, nullptr);
  return std::string(text, length);
}

// "errorInfo" goes into the detail as the JSON it holds; one that holds none
// is kept as a string (null when empty), so the detail stays valid JSON.
void addErrorInfo(qzerr::ErrorDetail& detail, const std::string& errorInfo) {
  if (errorInfo.empty()) {
    detail.addRaw("errorInfo", "null");
  } else if (jsonz_validate(errorInfo.c_str(), nullptr, nullptr)) {
    detail.addRaw("errorInfo", errorInfo);
  } else {
    detail.add("errorInfo", errorInfo);
  }
}

// The web service's own "error" object, when the answer holds one and it
// does not say "success": true.
void raiseForErrorObject(const char* answer) {
  const char* error = jsonz_findKey(answer, "error");
  if (error == nullptr) return;
  if (jsonz_getBool(jsonz_findKey(error, "success"), false, nullptr)) return;
  const int32_t errorCode = jsonz_getInt(jsonz_findKey(error, "errorCode"), 0, nullptr);
  // A failure is never reported as success or as a warning: without an error
  // code of its own it is a server error that shows the code it came with.
  const bool ownCode = errorCode < 0;
  const qzerr::ErrorConstant constant = ownCode ? qzerr::ErrorConstant{errorCode, "errorCode"}
                                                : qzerr::kNetworkServerError;
  qzerr::Error raised(constant.code, QZERR_SITE(constant));
  raised.channel(kChannel).add("errorText", rawString(error, "errorText"));
  addErrorInfo(raised, rawString(error, "errorInfo"));
  if (!ownCode) raised.add("errorCode", errorCode);
  raised.raise();
}

// Why the write callback stopped taking an answer, told in the failure.
enum class Refusal { kNone, kTooLarge, kOutOfMemory, kFailed };

std::string refusalText(Refusal refusal) {
  switch (refusal) {
    case Refusal::kTooLarge:
      return "The answer is larger than " + std::to_string(tCURL::kMaxAnswerBytes) + " bytes.";
    case Refusal::kOutOfMemory:
      return "Out of memory for the answer.";
    default:
      return "The answer could not be stored.";
  }
}

// The write callback's target: the answer so far, and why it stopped.
struct AnswerSink {
  std::string* body;
  Refusal refusal;
};

// The JSON text of the "result" member's value, or the whole answer.
std::string resultOf(const std::string& answer) {
  const char* result = jsonz_findKey(answer.c_str(), "result");
  if (result == nullptr) return answer;
  jsonz_Token token;
  const char* end = jsonz_parseValue(result, &token);
  return std::string(result, end);
}

}  // namespace

tCURL::~tCURL() {
  if (_connection != nullptr) linkra_curl_easy_cleanup(_connection);
}

void tCURL::init(const std::string& uri, const std::string& prefix, uint32_t timeoutMs) {
  // A second init must not lose the first handle.
  if (_connection != nullptr) linkra_curl_easy_cleanup(_connection);
  _connection = linkra_curl_easy_init();
  _uri = uri;
  _prefix = prefix;
  _timeoutInMS = timeoutMs;
  if (_connection == nullptr) {
    raiseCheckFailed(QZERR_SITE(qzerr::kInternalSoftwareErrorFailedInitialize),
                     qzerr::kInternalSoftwareErrorFailedInitialize.code, "_connection");
  }
}

void tCURL::setMediaType(const std::string& type) {
  _acceptMediaType = type;
  _contentMediaType = type;
}

void tCURL::setCredentials(const std::string& user, const std::string& password) {
  _username = user;
  _password = password;
}

std::string tCURL::put(const std::string& path, std::string body) {
  return performRequest(true, path, _responseBuffer, body);
}

std::string tCURL::get(const std::string& path) {
  return performRequest(false, path, _responseBuffer, _emptyPutBuffer);
}

std::string tCURL::performRequest(bool upload, const std::string& path, std::string& tempBufferForGet,
                                  std::string& putTextBuffer) {
  // Its memory too: one large answer must not stay held for the client's life.
  std::string().swap(_responseBuffer);
  if (_uri.empty()) {
    raiseCheckFailed(QZERR_SITE(qzerr::kInvalidEndStationUri), qzerr::kInvalidEndStationUri.code, "!_uri.empty()");
  }
  if (_prefix.empty()) {
    raiseCheckFailed(QZERR_SITE(qzerr::kInvalidUriPrefix), qzerr::kInvalidUriPrefix.code, "!_prefix.empty()");
  }

  setOption(_connection, CURLOPT_READFUNCTION, &_readCallback, kSetReadFunction);
  setOption(_connection, CURLOPT_WRITEFUNCTION, &_writeCallback, kSetWriteFunction);
  AnswerSink answer{&tempBufferForGet, Refusal::kNone};
  setOption(_connection, CURLOPT_WRITEDATA, static_cast<void*>(&answer), kSetWriteData);
  setOption(_connection, CURLOPT_READDATA, static_cast<void*>(&putTextBuffer), kSetReadData);
  setOption(_connection, CURLOPT_UPLOAD, upload ? 1L : 0L, kSetUpload);
  setOption(_connection, CURLOPT_TIMEOUT_MS, static_cast<long>(static_cast<uint64_t>(_timeoutInMS)), kSetTimeout);
  setOption(_connection, CURLOPT_NOSIGNAL, 1L, kSetNoSignal);

  const std::string url = _uri + "/" + _prefix + "/" + path;
  setOption(_connection, CURLOPT_URL, url.c_str(), kSetUrl);
  if (!_username.empty()) setOption(_connection, CURLOPT_USERNAME, _username.c_str(), kSetUsername);
  if (!_password.empty()) setOption(_connection, CURLOPT_PASSWORD, _password.c_str(), kSetPassword);

  HeaderList headerList;
  if (!_acceptMediaType.empty()) headerList.append("Accept: " + _acceptMediaType);
  if (!_contentMediaType.empty()) headerList.append("Content-Type: " + _contentMediaType);
  // Set even when empty: the handle must not keep pointing at the list of an
  // earlier request, which was freed when that request ended.
  setOption(_connection, CURLOPT_HTTPHEADER, headerList.get(), kSetHttpHeader);

  _errorBuffer[0] = '\0';
  setOption(_connection, CURLOPT_ERRORBUFFER, _errorBuffer, kSetErrorBuffer);

  const CURLcode performed = linkra_curl_easy_perform(_connection);
  if (performed != CURLE_OK) {
    qzerr::Error failed = QZERR_ERROR(qzerr::kInternalSoftwareErrorUnknownNetworkError);
    failed.channel(kChannel)
        .add("function", "curl_easy_perform")
        .add("CURLcode", static_cast<int32_t>(performed))
        .add("CURLOPT_ERRORBUFFER", _errorBuffer);
    if (answer.refusal != Refusal::kNone) {
      failed.add("cause", refusalText(answer.refusal));
      std::string().swap(tempBufferForGet);  // a refused answer is of no use
    }
    failed.raise();
  }

  long responseCode = 0;
  throwIfFailed(linkra_qzcurl_easy_getinfo(_connection, CURLINFO_RESPONSE_CODE, &responseCode), kGetResponseCode);
  raiseForResponseCode(responseCode);

  int32_t jsonError = 0;
  if (!jsonz_validateLength(tempBufferForGet.c_str(), tempBufferForGet.size(), nullptr, &jsonError)) {
    QZERR_ERROR(qzerr::kInvalidJsonResponseFromServer).channel(kChannel).add("jsonz_ErrorCode", jsonError).raise();
  }
  raiseForErrorObject(tempBufferForGet.c_str());
  return resultOf(tempBufferForGet);
}

// Returning less than was given aborts the transfer: nothing may be thrown
// through the library's C frames, which would leave the handle unusable.
size_t tCURL::_writeCallback(char* data, size_t size, size_t count, void* target) {
  if (target == nullptr) return 0;
  AnswerSink& answer = *static_cast<AnswerSink*>(target);
  const size_t length = size * count;
  if (length > kMaxAnswerBytes - answer.body->size()) {
    answer.refusal = Refusal::kTooLarge;
    return 0;
  }
  try {
    answer.body->append(data, length);
  } catch (const std::bad_alloc&) {
    answer.refusal = Refusal::kOutOfMemory;
    return 0;
  } catch (...) {
    answer.refusal = Refusal::kFailed;
    return 0;
  }
  return length;
}

size_t tCURL::_readCallback(char* destination, size_t size, size_t count, void* source) {
  if (source == nullptr) return kAbortTransfer;
  std::string& text = *static_cast<std::string*>(source);
  const size_t n = std::min(text.size(), size * count);
  memcpy(destination, text.data(), n);
  text.erase(0, n);
  return n;
}

}  // namespace qz::vantor::shared
