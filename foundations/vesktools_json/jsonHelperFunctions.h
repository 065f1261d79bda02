// Checks on received JSON documents shared by the remote-object proxies:
// whether a text is one well-formed JSON value, and whether the API version a
// remote web service declares is one we support. Both raise qzerr::Exception.
#pragma once

#include <cstdint>
#include <string>

namespace vesktools {

// -52005 with the validator's error name and the rest of the text from where
// the check stopped (both echoes bounded by the error detail). Every byte
// counts: a NUL inside the text is an error, and so is an escaped NUL
// (\u0000) in a string, which the tree would cut short:
// "jsonz_errorInvalidStringSequence" at its backslash.
void validateJsonString(const std::string& text, const std::string& message, const std::string& source);

// Reads "version" (any letter case) from `json`: missing -52005, null
// accepted, not a number -52004 "errCode", above `maxSupportedVersion` -52002.
void checkRemoteApiVersion(const std::string& uri, const std::string& json, uint32_t maxSupportedVersion,
                           const std::string& missingMessage, const std::string& unsupportedMessage);

// Replaces a -52004 of the JSON layer by the one readers of documents report:
// "errCode" with the searched JSON text and the key. Call it inside a catch
// of qzerr::Exception; any other code is rethrown unchanged.
[[noreturn]] void rethrowTypeMismatch(const std::string& json, const std::string& key);

}  // namespace vesktools
