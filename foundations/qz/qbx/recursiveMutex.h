// A POSIX recursive mutex that records its owner and lock count, so that an
// unlock from a thread that does not hold it changes nothing. On a real-time
// kernel it inherits priority. A mutex handle is a separately allocated
// holder of one mutex record, as the process-wide mutex is kept.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

namespace qz::qbx {

struct RecursiveMutex {
  // Written only by the holder; read by any thread that tries to unlock.
  std::atomic<pthread_t> owner{0};
  pthread_mutex_t mutex;
  int32_t count = 0;
};

// Recursive type, and priority inheritance when asked for.
void initRecursiveMutexAttributes(pthread_mutexattr_t* attributes, bool priorityInheritance);

// Failures of the attribute and initialisation calls are not reported.
RecursiveMutex* createRecursiveMutex();
// A null mutex is ignored.
void destroyRecursiveMutex(RecursiveMutex* mutex);
void lockRecursiveMutex(RecursiveMutex* mutex);
void unlockRecursiveMutex(RecursiveMutex* mutex);

struct MutexHolder {
  RecursiveMutex* mutex;
};
using MutexHandle = MutexHolder*;

void createMutex(MutexHandle* handle);
// A null handle is ignored.
void destroyMutex(MutexHandle handle);
void lockMutex(MutexHandle handle);
void unlockMutex(MutexHandle handle);

}  // namespace qz::qbx
