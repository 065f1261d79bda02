#include "vesklib/timescaleProxyIpc/session.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include <thrift/TApplicationException.h>
#include <thrift/transport/TTransportException.h>

#include "jsonz/jsonString.h"
#include "jsonz/jsonz.h"
#include "qzerr/errorDetail.h"
#include "qzsdbg/debugLines.h"
#include "thriftQzerr_types.h"
#include "transportErrorName.h"
#include "vesktools_curl/webHelperFunctions.h"

namespace vesklib {

using jsonz::jsonString;

namespace {

using apache::thrift::TApplicationException;
using apache::thrift::TException;
using apache::thrift::transport::TTransportException;

constexpr int kAttempts = 5;
constexpr char kVersionMessage[] =
    "Encountered error getting server API version from qztimestampd on remote target.";
constexpr char kTimeMessage[] = "Encountered error getting time from qztimestampd on remote target.";
constexpr char kWrongTimescaleMessage[] =
    "Timestamp received from remote target is on a different timescale than expected.";

const std::vector<std::string>& timescaleUriKeys() {
  static const std::vector<std::string> keys = {"remoteHost", "webService", "resource",
                                                "plugin",     "trId",       "gmId"};
  return keys;
}

// One kind of request to the daemon: what its failures say, and where.
struct Request {
  const char* message;
  qzerr_ErrorSite site;
};

// A connection that could not be made or that the daemon ended is worth
// another attempt; a time-out or corrupt data is not.
bool isRetried(const TTransportException& error) {
  switch (error.getType()) {
    case TTransportException::UNKNOWN:
    case TTransportException::NOT_OPEN:
    case TTransportException::END_OF_FILE:
      return true;
    default:
      return false;
  }
}

std::string jsonArray(const std::vector<std::string>& texts) {
  std::string array = "[";
  for (const std::string& text : texts) {
    if (array.size() > 1) array += ',';
    array += jsonString(text);
  }
  return array + "]";
}

// Members of the channel object in the order the readers of the detail expect.
std::string transportDebug(const TTransportException& error, const Request& request,
                           const std::string& timescaleUri) {
  const int kind = error.getType();
  return "{\"type_code\":" + std::to_string(kind) + ",\"type\":" + jsonString(rpc::transportErrorName(kind)) +
         ",\"message\":" + jsonString(request.message) + ",\"timescaleUri\":" + jsonString(timescaleUri) + "}";
}

bool isJsonObject(const std::string& text) {
  jsonz_Token token;
  return jsonz_validateLength(text.c_str(), text.size(), nullptr, nullptr) &&
         jsonz_parseValue(text.c_str(), &token) != nullptr && token.type == jsonz_typeObject;
}

// A status detail is a JSON object: the daemon's is kept when it is one, and
// any other text (empty, plain, another JSON value, broken) is handed on as
// a string inside one, cut as every quoted text is.
std::string daemonDetail(const std::string& received) {
  if (isJsonObject(received)) return received;
  return "{\"receivedJson\":" + jsonString(qzerr::echoedText(received)) + "}";
}

// The daemon's own error status: its code as it came, and its detail, as
// daemonDetail keeps or wraps it, as the whole detail.
[[noreturn]] void raiseDaemonStatus(const thriftQzerr::thrift_qzerr& error) {
  qzerr_Status status = qzerr_freshStatus();
  qzerr_setCode(&status, error.code);
  qzerr_resetJson(&status, daemonDetail(error.json).c_str());
  qzerr::Exception exception(&status);
  qzerr_releaseJson(&status);
  throw exception;
}

// Called inside a handler: raises the status that the exception in flight is
// reported as. Anything that is not Thrift's (a wrong timescale, exhausted
// memory) passes on unchanged.
[[noreturn]] void raiseAsStatus(const Request& request, const std::string& timescaleUri) {
  try {
    throw;
  } catch (const thriftQzerr::thrift_qzerr& error) {
    if (error.code < 0) raiseDaemonStatus(error);
    // A daemon "error" that is none still leaves the time unread: never report that as success.
    qzerr::Error(qzerr::kCommunicationsFault.code, request.site)
        .channel("qzsyncdomain_debug", request.message)
        .add("timescaleUri", timescaleUri)
        .add("receivedCode", error.code)
        .add("receivedJson", error.json)
        .raise();
  } catch (const TTransportException& error) {
    qzerr::Error(qzerr::kCommunicationsFault.code, request.site)
        .addTopLevel("std_exception_what", error.what())
        .addRaw("qzsyncdomain_debug", transportDebug(error, request, timescaleUri))
        .raise();
  } catch (const TException& error) {
    qzerr::Error(qzerr::kCommunicationsFault.code, request.site)
        .addTopLevel("std_exception_what", error.what())
        .channel("qzsyncdomain_debug", request.message)
        .add("timescaleUri", timescaleUri)
        .raise();
  }
}

void closeQuietly(TimescaleProxyThriftClientInterface& client) noexcept {
  try {
    client.close();
  } catch (...) {
    // A connection that cannot even be closed is dropped all the same.
  }
}

// Runs one request. After any failure the connection is closed, so that a
// reply still on its way is never read as the answer to the next request.
template <typename Body>
auto run(TimescaleProxyThriftClientInterface& client, const Request& request, const std::string& timescaleUri,
         Body body) {
  try {
    return body();
  } catch (...) {
    closeQuietly(client);
    raiseAsStatus(request, timescaleUri);
  }
}

// Up to five attempts, each on a connection opened anew when the one before
// could not be made or was ended by the daemon; no pause between them.
template <typename Attempt>
auto withReconnects(TimescaleProxyThriftClientInterface& client, Attempt attempt) {
  for (int attempted = 1;; ++attempted) {
    try {
      client.open();
      return attempt();
    } catch (const TTransportException& error) {
      if (!isRetried(error) || attempted == kAttempts) throw;
      client.close();
    }
  }
}

// A daemon that does not know the request is of the first version.
int32_t askApiVersion(TimescaleProxyThriftClientInterface& client) {
  try {
    return client.getApiVersion();
  } catch (const TApplicationException& error) {
    if (error.getType() != TApplicationException::UNKNOWN_METHOD) throw;
    return 1;
  }
}

}  // namespace

TimescaleProxySession::TimescaleProxySession(std::shared_ptr<TimescaleProxyThriftClientInterface> client,
                                             const std::string& timescaleUri)
    : client_(std::move(client)), serverApiVersion_(-1), timescaleUri_(timescaleUri) {
  std::map<std::string, std::string> parts;
  vesktools::parseUri(timescaleUri_, timescaleUriKeys(), parts);
  // The daemon names its timescales without the host.
  expectedLocalUri_ = "/" + parts["webService"] + "/" + parts["resource"] + "/" + parts["plugin"] + "/" +
                      parts["trId"] + "/" + parts["gmId"];

  const Request versionRequest{kVersionMessage, QZERR_SITE(qzerr::kCommunicationsFault)};
  serverApiVersion_ = run(*client_, versionRequest, timescaleUri_,
                          [&] { return withReconnects(*client_, [&] { return askApiVersion(*client_); }); });
  QZSDBG_ASSERT(serverApiVersion_ > 0, "ASSERT(serverApiVersion > 0)");
}

TimescaleProxySession::~TimescaleProxySession() { closeQuietly(*client_); }

void TimescaleProxySession::getTime(vesklib_Timestamp* timestamp) {
  const Request timeRequest{kTimeMessage, QZERR_SITE(qzerr::kCommunicationsFault)};
  run(*client_, timeRequest, timescaleUri_, [&] { withReconnects(*client_, [&] { readTime(timestamp); }); });
}

void TimescaleProxySession::readTime(vesklib_Timestamp* timestamp) {
  if (serverApiVersion_ == 1) {
    readTimeOfVersion1(timestamp);
  } else {
    readTimeOfCurrentTimescales(timestamp);
  }
}

void TimescaleProxySession::readTimeOfVersion1(vesklib_Timestamp* timestamp) {
  std::string localUri;
  client_->getTime(timestamp, &localUri);
  if (localUri == expectedLocalUri_) return;
  QZERR_ERROR(qzerr::kResourceRemoved)
      .channel("qzsyncdomain_debug", kWrongTimescaleMessage)
      .add("thisTimescaleUri", timescaleUri_)
      .add("expectedLocalUri", expectedLocalUri_)
      .add("localUriOfTarget", localUri)
      .raise();
}

void TimescaleProxySession::readTimeOfCurrentTimescales(vesklib_Timestamp* timestamp) {
  std::vector<std::string> currentUris;
  client_->getTimeAndCurrentTimescales(timestamp, &currentUris);
  if (std::find(currentUris.begin(), currentUris.end(), expectedLocalUri_) != currentUris.end()) return;
  QZERR_ERROR(qzerr::kResourceRemoved)
      .channel("qzsyncdomain_debug", kWrongTimescaleMessage)
      .add("thisTimescaleUri", timescaleUri_)
      .add("expectedLocalUri", expectedLocalUri_)
      .addRaw("currentTimescaleUris", jsonArray(currentUris))
      .raise();
}

}  // namespace vesklib
