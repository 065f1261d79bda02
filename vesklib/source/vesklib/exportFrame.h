// The frame every exported function of the core library runs in: an incoming
// error makes it do nothing, the first null pointer argument is reported by
// name (-52005), and every exception of the body becomes the caller's status.
// Each export is then a few lines:
//
//   return frame::call(status, VESKLIB_ARGS({"handle", handle}),
//                      [&] { return handle->isRunning(); });
#pragma once

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <type_traits>

#include "qzerr/errorDetail.h"

// The site is taken where the export names its arguments, so "file" and
// "line" point at the export itself.
#define VESKLIB_ARGS(...) \
  (vesklib::frame::Arguments{QZERR_SITE(qzerr::kInvalidParameter), {__VA_ARGS__}})

namespace vesklib::frame {

struct Argument {
  const char* name;
  const void* pointer;
};

struct Arguments {
  qzerr_ErrorSite site;
  std::initializer_list<Argument> pointers;
};

// False (with -52005 in the status) at the first null argument.
inline bool present(qzerr_Status* status, const Arguments& arguments) {
  for (const Argument& argument : arguments.pointers) {
    if (argument.pointer != nullptr) continue;
    qzerr::ErrorDetail(status, qzerr::kInvalidParameter.code, arguments.site)
        .channel("qzsyncdomain_debug", "Encountered missing parameter needed for task completion.")
        .add(argument.name, "nullptr");
    return false;
  }
  return true;
}

template <typename Body>
using Result = std::invoke_result_t<Body>;

// The full frame: incoming error, null checks, exceptions into the status.
template <typename Body>
Result<Body> call(qzerr_Status* status, const Arguments& arguments, Body body) {
  if (status->code < 0 || !present(status, arguments)) return Result<Body>();
  try {
    return body();
  } catch (...) {
    qzerr_statusFromCurrentException(status);
    return Result<Body>();
  }
}

// For accessors of stored values, whose operations never throw.
template <typename Body>
Result<Body> access(qzerr_Status* status, const Arguments& arguments, Body body) {
  if (status->code < 0 || !present(status, arguments)) return Result<Body>();
  return body();
}

// For _toJson: the operation's text copied with strdup for the caller to
// free(). A failed copy is reported as -52000 rather than a silent null.
template <typename Body>
char* copyJson(qzerr_Status* status, const Arguments& arguments, Body body) {
  const std::string json = call(status, arguments, [&]() -> std::string { return body(); });
  if (status->code < 0) return nullptr;
  char* copy = strdup(json.c_str());
  if (copy == nullptr) {
    QZERR_STATUS_ERROR(status, qzerr::kMemoryFull)
        .channel("qzsyncdomain_debug", "Failed to copy the JSON description.");
  }
  return copy;
}

}  // namespace vesklib::frame
