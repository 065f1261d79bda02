#include "qzdynlib/dynload.h"

#include <dlfcn.h>

#include <cstdarg>
#include <string>

#include "qzerr/errorDetail.h"
#include "qzsdbg/debugLines.h"

namespace {

constexpr char kChannel[] = "qzdynlib_debug";

const char* textOrEmpty(const char* text) { return text != nullptr ? text : ""; }

// The loader's pending message, taken (and so cleared) now.
std::string takeLoaderError() {
  const char* text = dlerror();
  return text == nullptr ? std::string() : std::string(text);
}

// Reports a failed open or lookup at `site`: the channel object with the
// value asked for, then the loader's message, which is cleared afterwards.
// The detail is written only when the status takes the code.
void reportFailure(qzerr_Status* status, const qzerr_ErrorSite& site, const char* debug, const char* key,
                   const char* value) {
  const std::string loaderError = takeLoaderError();
  if (qzerr::ErrorDetail(status, qzerr::kInvalidParameter.code, site).taken()) {
    jsonz_GrowHandler grow = qzerr_growHandler(status);
    char* position = qzerr_openJsonObject(qzerr_reserveJson(status, 2), kChannel, &grow);
    position = qzerr_addJsonString(position, "debug", debug, &grow);
    position = qzerr_addJsonString(position, key, textOrEmpty(value), &grow);
    position = qzerr_openJsonObject(qzerr_closeJsonObject(position), "internal_error", &grow);
    position = qzerr_addJsonString(position, "api", "dlerror", &grow);
    qzerr_addJsonString(position, "string", loaderError.c_str(), &grow);
  }
  dlerror();
}

int callFormatHook(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = qzsdbg_formatHook(buffer, size, format, args);
  va_end(args);
  return written;
}

}  // namespace

void* qzdynlib_load(const char* path, int flags, qzerr_Status* status) {
  if (status->code < 0) return nullptr;
  void* handle = dlopen(path, flags);
  if (handle == nullptr) {
    reportFailure(status, QZERR_SITE(qzerr::kInvalidParameter), "failed to qzdynlib_load library", "path", path);
  }
  return handle;
}

void* qzdynlib_getSymbol(void* handle, const char* name, qzerr_Status* status) {
  if (status->code < 0) return nullptr;
  void* address = dlsym(handle, name);
  if (address == nullptr) {
    reportFailure(status, QZERR_SITE(qzerr::kInvalidParameter), "failed to get symbol", "qzdynlib_symbol", name);
  }
  return address;
}

void qzdynlib_unload(void* handle) { dlclose(handle); }

namespace qzdynlib {

void formatDelayLoadName(char* buffer, size_t size, const char* format, const char* prefix,
                         const char* name, const char* suffix) {
  if (size == 0) return;
  callFormatHook(buffer, size, format, prefix, name, suffix);
  // A replaced hook need not terminate a cut result.
  buffer[size - 1] = '\0';
}

AutoLib::~AutoLib() {
  if (handle != nullptr) qzdynlib_unload(handle);
}

}  // namespace qzdynlib
