#include "vesktools_curl/webHelperFunctions.h"

#include "qzerr/errorDetail.h"
#include "vesktools_curl/vantorshared/tCURL.h"

namespace vesktools {
namespace {

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr char kDelimiter = '/';

[[noreturn]] void raiseUriError(const qzerr_ErrorSite& site, const char* message, const std::string& uri) {
  qzerr::Error(qzerr::kInvalidParameter.code, site).channel(kChannel, message).add("uri", uri).raise();
}

[[noreturn]] void raiseUriCountError(const qzerr_ErrorSite& site, const char* message, const std::string& uri,
                                     size_t keyCount) {
  qzerr::Error(qzerr::kInvalidParameter.code, site)
      .channel(kChannel, message)
      .add("uri", uri)
      .add("uriKeys.size()", static_cast<uint64_t>(keyCount))
      .raise();
}

// What a failure of the HTTP client becomes on its way to the caller.
struct Translation {
  qzerr::ErrorConstant constant;
  const char* message;  // none for a communications fault
};

constexpr int32_t kFirstClientCode = -411371;
constexpr int32_t kLastClientCode = -411350;
constexpr Translation kInvalidUri{qzerr::kInvalidParameter, "Encountered invalid URI."};
constexpr Translation kCommunicationsFault{qzerr::kCommunicationsFault, nullptr};

const Translation* translationFor(int32_t code) {
  if (code == qzerr::kInvalidUriPrefix.code || code == qzerr::kInvalidEndStationUri.code) return &kInvalidUri;
  if (code == qzerr::kNetworkClientInProgress.code) return &kCommunicationsFault;
  if (code >= kFirstClientCode && code <= kLastClientCode) return &kCommunicationsFault;
  return nullptr;
}

std::string requestUrl(const std::string& uri, const std::string& prefix, const std::string& path) {
  return uri + "/" + prefix + "/" + path;
}

}  // namespace

const std::vector<std::string>& remoteResourceUriKeys() {
  static const std::vector<std::string> keys = {"remoteHost", "webService", "resource", "plugin", "type", "name"};
  return keys;
}

const std::vector<std::string>& remoteTimescaleUriKeys() {
  static const std::vector<std::string> keys = {"remoteHost", "webService", "resource", "plugin", "trId", "gmId"};
  return keys;
}

void parseUri(const std::string& uri, const std::vector<std::string>& uriKeys,
              std::map<std::string, std::string>& out) {
  if (uri.empty() || uriKeys.empty()) {
    raiseUriCountError(QZERR_SITE(qzerr::kInvalidParameter),
                       "Failed to parse URI; URI is empty or was not provided URI keys.", uri, uriKeys.size());
  }
  size_t start = uri[0] == kDelimiter ? 1 : 0;
  for (const std::string& key : uriKeys) {
    const size_t delimiter = uri.find(kDelimiter, start);
    const std::string part = uri.substr(start, delimiter == std::string::npos ? std::string::npos : delimiter - start);
    if (part.empty()) {
      raiseUriError(QZERR_SITE(qzerr::kInvalidParameter), "Failed to parse URI; encountered contiguous delimiters.",
                    uri);
    }
    out.emplace(key, part);
    if (delimiter == std::string::npos) {
      // The walk ends at the first key that reads like the last one.
      if (key != uriKeys.back()) {
        raiseUriCountError(QZERR_SITE(qzerr::kInvalidParameter), "Failed to parse URI; more keys than URI parts.",
                           uri, uriKeys.size());
      }
      start = uri.size();
      break;
    }
    start = delimiter + 1;
  }
  if (start < uri.size()) {
    raiseUriCountError(QZERR_SITE(qzerr::kInvalidParameter), "Failed to parse URI; more URI parts than keys.", uri,
                       uriKeys.size());
  }
}

bool hostHasColon(const std::string& host) { return host.find(':') != std::string::npos; }

std::string bracketIpv6Host(const std::string& host) {
  if (!hostHasColon(host) || host.front() == '[' || host.back() == ']') return host;
  return "[" + host + "]";
}

std::string sendGetRequest(const std::shared_ptr<qz::vantor::shared::iCURL>& client, const std::string& uri,
                           const std::string& prefix, const std::string& path, uint32_t /*timeoutMs*/) {
  try {
    return client->get(path);
  } catch (const qzerr::ExceptionBase& caught) {
    translateWebRequestError(caught, "sendGetRequest", requestUrl(uri, prefix, path), "");
  }
}

void sendPutRequest(const std::shared_ptr<qz::vantor::shared::iCURL>& client, const std::string& uri,
                    const std::string& prefix, const std::string& path, uint32_t /*timeoutMs*/,
                    const std::string& body) {
  try {
    client->put(path, body);
  } catch (const qzerr::ExceptionBase& caught) {
    translateWebRequestError(caught, "sendPutRequest", requestUrl(uri, prefix, path), body);
  }
}

std::string sendSyncDomainGetRequest(const std::string& uri, const std::string& prefix, const std::string& path,
                                     uint32_t timeoutMs) {
  try {
    auto client = std::make_shared<qz::vantor::shared::tCURL>();
    client->init(uri, prefix, timeoutMs);
    client->setMediaType(kSyncDomainMediaType);
    return client->get(path);
  } catch (const qzerr::ExceptionBase& caught) {
    translateWebRequestError(caught, "sendGetRequest", requestUrl(uri, prefix, path), "");
  }
}

void translateWebRequestError(const qzerr::ExceptionBase& caught, const std::string& callingFn,
                              const std::string& url, const std::string& data) {
  const int32_t originalCode = caught.status().code;
  const Translation* translation = translationFor(originalCode);
  if (translation == nullptr) throw;
  qzerr::Error raised(translation->constant.code, QZERR_SITE(translation->constant));
  raised.channel(kChannel);
  if (translation->message != nullptr) raised.add("message", translation->message);
  raised.add("callingFn", callingFn).add("url", url).add("data", data).add("originalCode", originalCode);
  raised.nested(&caught.status()).raise();
}

}  // namespace vesktools
