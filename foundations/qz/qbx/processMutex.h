// The process-wide recursive mutex of the core library (it guards the
// one-time loading of the HTTP library). It exists from the library's load to
// process exit; lock it with lockMutex / unlockMutex.
#pragma once

#include "qz/qbx/recursiveMutex.h"

namespace qz::qbx {

MutexHandle processMutex();

}  // namespace qz::qbx
