// liblinkra.so.13: our stand-in for the HTTP library that the core library
// binds at run time, a thin layer over Debian's libcurl. The libcurl names the
// binding asks for are found through this library's handle in libcurl, which
// it depends on; this file adds the five qzcurl_ functions, which take the
// variadic tail of their libcurl counterparts as one va_list and pass its
// value on with the type that the option's range stands for.
//
// Built with LINKRA_OMIT_SHARE_SETOPT it lacks qzcurl_share_setopt, as a
// library that cannot be bound.
#include <curl/curl.h>

#include <cstdarg>

#define LINKRA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using AnyFunction = void (*)();

constexpr long kRangeWidth = 10000;

long rangeOf(long option) { return option / kRangeWidth * kRangeWidth; }

// Options of the easy and the multi interface share the ranges; libcurl
// itself reads a callback as its own function type, of the same size.
template <typename Handle, typename Option, typename Result, typename Setopt>
Result setByRange(Handle* handle, Option option, va_list value, Result unknown, Setopt setopt) {
  switch (rangeOf(option)) {
    case CURLOPTTYPE_LONG:
      return setopt(handle, option, va_arg(value, long));
    case CURLOPTTYPE_OBJECTPOINT:
    case CURLOPTTYPE_BLOB:
      return setopt(handle, option, va_arg(value, void*));
    case CURLOPTTYPE_FUNCTIONPOINT:
      return setopt(handle, option, va_arg(value, AnyFunction));
    case CURLOPTTYPE_OFF_T:
      return setopt(handle, option, va_arg(value, curl_off_t));
    default:
      return unknown;
  }
}

}  // namespace

LINKRA_EXPORT CURLcode qzcurl_easy_setopt(CURL* handle, CURLoption option, va_list value) {
  return setByRange(handle, option, value, CURLE_UNKNOWN_OPTION,
                    [](CURL* h, CURLoption o, auto v) { return curl_easy_setopt(h, o, v); });
}

// Every kind of information is written through a pointer.
LINKRA_EXPORT CURLcode qzcurl_easy_getinfo(CURL* handle, CURLINFO info, va_list target) {
  return curl_easy_getinfo(handle, info, va_arg(target, void*));
}

LINKRA_EXPORT CURLMcode qzcurl_multi_setopt(CURLM* handle, CURLMoption option, va_list value) {
  return setByRange(handle, option, value, CURLM_UNKNOWN_OPTION,
                    [](CURLM* h, CURLMoption o, auto v) { return curl_multi_setopt(h, o, v); });
}

#ifndef LINKRA_OMIT_SHARE_SETOPT
LINKRA_EXPORT CURLSHcode qzcurl_share_setopt(CURLSH* handle, CURLSHoption option, va_list value) {
  switch (option) {
    case CURLSHOPT_SHARE:
    case CURLSHOPT_UNSHARE:
      return curl_share_setopt(handle, option, va_arg(value, int));
    case CURLSHOPT_LOCKFUNC:
    case CURLSHOPT_UNLOCKFUNC:
      return curl_share_setopt(handle, option, va_arg(value, AnyFunction));
    case CURLSHOPT_USERDATA:
      return curl_share_setopt(handle, option, va_arg(value, void*));
    default:
      return CURLSHE_BAD_OPTION;
  }
}
#endif

// The form interface is retired in libcurl and nothing here posts forms: it
// answers as a libcurl built without that interface does.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
LINKRA_EXPORT CURLFORMcode qzcurl_formadd(curl_httppost**, curl_httppost**, va_list) {
  return CURL_FORMADD_DISABLED;
}
#pragma GCC diagnostic pop
