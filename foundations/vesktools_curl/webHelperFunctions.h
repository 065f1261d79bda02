// Free functions shared by the proxies of remote objects: splitting a resource
// URI into its named parts, writing a host into a URL, and one GET or PUT
// through an HTTP client with the client's failures turned into the system's
// codes (-52005 for an unusable URL, -52024 for everything on the way, with
// the client's error nested). They hold no state and throw qzerr::Exception.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qzerr/exception.h"
#include "vesktools_curl/vantorshared/iCURL.h"

namespace vesktools {

// The media type of the sync-domain resources of a web service.
inline constexpr char kSyncDomainMediaType[] = "vnd.qz.syncDomain.v0/json; charset=utf-8";

// The parts of a remote resource URI: remoteHost, webService, resource,
// plugin, type, name; of a remote timescale's: the same up to plugin, then
// trId and gmId.
const std::vector<std::string>& remoteResourceUriKeys();
const std::vector<std::string>& remoteTimescaleUriKeys();

// Splits `uri` at '/' (one leading '/' skipped) into `out`, one part per key
// in order; a key already in `out` keeps its value. -52005 for an empty URI
// or key list, an empty part, or more keys than parts or parts than keys;
// parts found before a failure stay in `out`.
void parseUri(const std::string& uri, const std::vector<std::string>& uriKeys,
              std::map<std::string, std::string>& out);

bool hostHasColon(const std::string& host);
// An IPv6 address in square brackets; any other host unchanged.
std::string bracketIpv6Host(const std::string& host);

// One request through `client`, which the caller created and initialised
// with uri and prefix; `timeoutMs` is not used (the client has its own).
std::string sendGetRequest(const std::shared_ptr<qz::vantor::shared::iCURL>& client, const std::string& uri,
                           const std::string& prefix, const std::string& path, uint32_t timeoutMs);
void sendPutRequest(const std::shared_ptr<qz::vantor::shared::iCURL>& client, const std::string& uri,
                    const std::string& prefix, const std::string& path, uint32_t timeoutMs,
                    const std::string& body);
// A GET through a client of its own with the sync-domain media type.
std::string sendSyncDomainGetRequest(const std::string& uri, const std::string& prefix, const std::string& path,
                                     uint32_t timeoutMs);

// Call inside a handler that caught `caught`: an empty URL part becomes
// -52005, any other client failure (and a 202 answer) -52024, each with the
// caught status nested; any other code is rethrown unchanged.
[[noreturn]] void translateWebRequestError(const qzerr::ExceptionBase& caught, const std::string& callingFn,
                                           const std::string& url, const std::string& data);

}  // namespace vesktools
