#include "qz/qbx/processMutex.h"

#include <cstdlib>

namespace qz::qbx {
namespace {

MutexHandle handle = nullptr;

void destroyAtExit() { destroyMutex(handle); }

MutexHandle createOnce() {
  createMutex(&handle);
  std::atexit(destroyAtExit);
  return handle;
}

// Made while the library loads, before any of its functions can run.
[[maybe_unused]] const MutexHandle createdAtLoad = processMutex();

}  // namespace

MutexHandle processMutex() {
  static const MutexHandle created = createOnce();
  return created;
}

}  // namespace qz::qbx
