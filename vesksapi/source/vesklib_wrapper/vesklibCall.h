// How every wrapper reaches the core library: one export call with a status
// of its own, whose error is thrown as qzerr::Exception (the export's code
// and detail) while a warning is dropped; the status's text is released
// either way. Only for this folder's sources.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "qzerr/exception.h"

namespace vesklib::wrapper::detail {

// callVesklib(vesklib_Timescale_getUri, handle): the export's result, its
// status appended as the last argument.
template <typename Result, typename... Params, typename... Args>
Result callVesklib(Result (*exportFunction)(Params...), Args&&... args) {
  qzerr::ScopedStatus status;
  return exportFunction(std::forward<Args>(args)..., status.get());
}

// The text of a _toJson export. The core's malloc'd copy is owned before the
// status can throw, so it is freed also when the call fails.
template <typename Handle>
std::string takeJson(char* (*exportFunction)(Handle*, qzerr_Status*), Handle* handle) {
  std::unique_ptr<char, decltype(&free)> text(nullptr, &free);
  {
    qzerr::ScopedStatus status;
    text.reset(exportFunction(handle, status));
  }
  return text ? std::string(text.get()) : std::string();
}

// The wrapper of a handle just created; should the wrapper itself fail to be
// made, the handle is deleted rather than lost.
template <typename Wrapper, typename Handle>
std::shared_ptr<Wrapper> adopt(Handle* handle, void (*deleteHandle)(Handle*)) {
  try {
    return std::make_shared<Wrapper>(handle);
  } catch (...) {
    deleteHandle(handle);
    throw;
  }
}

}  // namespace vesklib::wrapper::detail
