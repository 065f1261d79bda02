// Shared libraries opened by file name with their failures reported in a
// caller's status (channel "qzdynlib_debug", code -52005) rather than raised,
// and the owners that close such a library when they go. A call whose status
// already holds an error does nothing.
#pragma once

#include <cstddef>

#include "qzerr/status.h"

// dlopen(path, flags); null and the failure in `status` when it cannot open.
void* qzdynlib_load(const char* path, int flags, qzerr_Status* status);
// dlsym(handle, name); null and the failure in `status` when it is missing.
void* qzdynlib_getSymbol(void* handle, const char* name, qzerr_Status* status);
void qzdynlib_unload(void* handle);

namespace qzdynlib {

// Writes prefix, name and suffix with `format` ("%s%s%s") into the buffer
// through the debug layer's format hook; a longer result is cut and always
// terminated.
void formatDelayLoadName(char* buffer, size_t size, const char* format, const char* prefix,
                         const char* name, const char* suffix);

// Owns an opened library: closes `handle` (when set) on destruction.
class AutoLib {
 public:
  AutoLib() = default;
  AutoLib(const AutoLib&) = delete;
  AutoLib& operator=(const AutoLib&) = delete;
  virtual ~AutoLib();

  void* handle = nullptr;
};

// A library together with the table of its functions, created empty and
// filled by its creator; shared by shared pointer.
template <typename Table>
class AutoLibWithInterface : public AutoLib {
 public:
  Table table{};
};

}  // namespace qzdynlib
