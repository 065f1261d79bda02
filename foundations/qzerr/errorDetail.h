// The one way code raises an error: set the code and site in a status, then
// (only when the code was taken) open a debug-channel object with a message
// and the values concerned. Either into a caller's status, or into a fresh
// exception that raise() throws:
//
//   QZERR_ERROR(qzerr::kInvalidParameter)
//       .channel("qzsyncdomain_debug", "Bad URI.").add("uri", uri).raise();
//   QZERR_STATUS_ERROR(status, qzerr::kInvalidParameter).channel(...);
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <string>

#include "component.h"
#include "qzerr/errorConstants.h"
#include "qzerr/exception.h"
#include "qzerr/status.h"

#define QZERR_SITE(constant) \
  (qzerr_ErrorSite{__FILE__, __LINE__, vesk_componentName, (constant).name})
#define QZERR_ERROR(constant) (qzerr::Error((constant).code, QZERR_SITE(constant)))
#define QZERR_STATUS_ERROR(status, constant) \
  (qzerr::ErrorDetail((status), (constant).code, QZERR_SITE(constant)))

namespace qzerr {

// What a detail quotes of a text that came from outside: the text itself up
// to 4096 bytes; a longer one cut there, where a UTF-8 character starts, and
// followed by "...[cut from <length> bytes]".
std::string echoedText(const std::string& text);

class ErrorDetail {
 public:
  ErrorDetail(qzerr_Status* status, int32_t code, const qzerr_ErrorSite& site);

  // Whether the status took the code (and so receives the members).
  bool taken() const { return taken_; }

  // Opens the channel object; later add() calls write into it. With a message,
  // "message" is its first member.
  ErrorDetail& channel(const char* name);
  ErrorDetail& channel(const char* name, const char* message);
  ErrorDetail& channel(const char* name, const std::string& message) {
    return channel(name, message.c_str());
  }
  // Text members echo at most 4096 bytes of the text, cut where a UTF-8
  // character starts and followed by "...[cut from <length> bytes]"; raw JSON
  // and numbers are written whole.
  ErrorDetail& add(const char* key, const char* text);
  ErrorDetail& add(const char* key, const std::string& text) { return add(key, text.c_str()); }
  ErrorDetail& add(const char* key, bool flag);
  ErrorDetail& add(const char* key, int32_t value);
  ErrorDetail& add(const char* key, uint32_t value);
  ErrorDetail& add(const char* key, int64_t value);
  ErrorDetail& add(const char* key, uint64_t value);
  ErrorDetail& addRaw(const char* key, const std::string& json);
  // Adds a text member at the top level (after the channel object), bounded
  // like add().
  ErrorDetail& addTopLevel(const char* key, const char* text);
  ErrorDetail& nested(const qzerr_Status* cause);

 protected:
  qzerr_Status* status_;

 private:
  template <typename Write>
  ErrorDetail& write(Write write);

  bool taken_;
  bool failed_ = false;
  ptrdiff_t channelOffset_ = -1;  // inside the open channel object, or none
};

namespace detail {
struct ExceptionHolder {
  Exception exception_;
};
}  // namespace detail

// An error under construction inside a fresh exception.
class Error : private detail::ExceptionHolder, public ErrorDetail {
 public:
  Error(int32_t code, const qzerr_ErrorSite& site);
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;

  template <typename... A>
  Error& channel(A&&... a) { ErrorDetail::channel(std::forward<A>(a)...); return *this; }
  template <typename... A>
  Error& add(A&&... a) { ErrorDetail::add(std::forward<A>(a)...); return *this; }
  template <typename... A>
  Error& addRaw(A&&... a) { ErrorDetail::addRaw(std::forward<A>(a)...); return *this; }
  template <typename... A>
  Error& addTopLevel(A&&... a) { ErrorDetail::addTopLevel(std::forward<A>(a)...); return *this; }
  Error& nested(const qzerr_Status* cause) { ErrorDetail::nested(cause); return *this; }

  [[noreturn]] void raise();
};

}  // namespace qzerr
