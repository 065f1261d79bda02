#include "qz/qbx/recursiveMutex.h"

#include "qz/qbx/realtimeKernel.h"

namespace qz::qbx {

void initRecursiveMutexAttributes(pthread_mutexattr_t* attributes, bool priorityInheritance) {
  pthread_mutexattr_init(attributes);
  if (priorityInheritance) pthread_mutexattr_setprotocol(attributes, PTHREAD_PRIO_INHERIT);
  pthread_mutexattr_settype(attributes, PTHREAD_MUTEX_RECURSIVE);
}

RecursiveMutex* createRecursiveMutex() {
  RecursiveMutex* mutex = new RecursiveMutex;
  pthread_mutexattr_t attributes;
  initRecursiveMutexAttributes(&attributes, isRealtimeKernelCached());
  pthread_mutex_init(&mutex->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  return mutex;
}

void destroyRecursiveMutex(RecursiveMutex* mutex) {
  if (mutex == nullptr) return;
  pthread_mutex_destroy(&mutex->mutex);
  delete mutex;
}

void lockRecursiveMutex(RecursiveMutex* mutex) {
  pthread_mutex_lock(&mutex->mutex);
  mutex->owner.store(pthread_self(), std::memory_order_relaxed);
  ++mutex->count;
}

void unlockRecursiveMutex(RecursiveMutex* mutex) {
  if (!pthread_equal(mutex->owner.load(std::memory_order_relaxed), pthread_self())) return;
  if (mutex->count > 0) --mutex->count;
  if (mutex->count == 0) mutex->owner.store(0, std::memory_order_relaxed);
  pthread_mutex_unlock(&mutex->mutex);
}

void createMutex(MutexHandle* handle) { *handle = new MutexHolder{createRecursiveMutex()}; }

void destroyMutex(MutexHandle handle) {
  if (handle == nullptr) return;
  destroyRecursiveMutex(handle->mutex);
  delete handle;
}

void lockMutex(MutexHandle handle) { lockRecursiveMutex(handle->mutex); }

void unlockMutex(MutexHandle handle) { unlockRecursiveMutex(handle->mutex); }

}  // namespace qz::qbx
