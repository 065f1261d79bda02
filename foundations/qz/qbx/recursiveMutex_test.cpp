#include "qz/qbx/recursiveMutex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "qz/qbx/processMutex.h"
#include "qz/qbx/realtimeKernel.h"

namespace qz::qbx {
namespace {

TEST(QbxRecursiveMutex, AttributesAreRecursiveAndInheritPriorityOnlyWhenAsked) {
  for (const bool inherit : {false, true}) {
    SCOPED_TRACE(inherit);
    pthread_mutexattr_t attributes;
    initRecursiveMutexAttributes(&attributes, inherit);
    int type = -1;
    int protocol = -1;
    pthread_mutexattr_gettype(&attributes, &type);
    pthread_mutexattr_getprotocol(&attributes, &protocol);
    pthread_mutexattr_destroy(&attributes);
    EXPECT_EQ(type, PTHREAD_MUTEX_RECURSIVE);
    EXPECT_EQ(protocol, inherit ? PTHREAD_PRIO_INHERIT : PTHREAD_PRIO_NONE);
  }
}

// A mutex record made with the given protocol, as createRecursiveMutex makes
// it on either kind of kernel.
RecursiveMutex* makeMutex(bool inherit) {
  RecursiveMutex* mutex = new RecursiveMutex;
  pthread_mutexattr_t attributes;
  initRecursiveMutexAttributes(&attributes, inherit);
  pthread_mutex_init(&mutex->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  return mutex;
}

// Whether another thread could take the mutex right now (without waiting).
bool freeForOthers(RecursiveMutex* mutex) {
  bool free = false;
  std::thread([&] {
    if (pthread_mutex_trylock(&mutex->mutex) == 0) {
      free = true;
      pthread_mutex_unlock(&mutex->mutex);
    }
  }).join();
  return free;
}

TEST(QbxRecursiveMutex, OwnerReentersAndOnlyTheOwnerUnlocks) {
  for (const bool inherit : {false, true}) {
    SCOPED_TRACE(inherit);
    RecursiveMutex* mutex = makeMutex(inherit);
    lockRecursiveMutex(mutex);
    lockRecursiveMutex(mutex);
    EXPECT_EQ(mutex->count, 2);
    EXPECT_FALSE(freeForOthers(mutex));

    unlockRecursiveMutex(mutex);
    EXPECT_EQ(mutex->count, 1);
    EXPECT_FALSE(freeForOthers(mutex));

    std::thread([&] { unlockRecursiveMutex(mutex); }).join();
    EXPECT_EQ(mutex->count, 1);
    EXPECT_TRUE(pthread_equal(mutex->owner.load(), pthread_self()));
    EXPECT_FALSE(freeForOthers(mutex));

    unlockRecursiveMutex(mutex);
    EXPECT_EQ(mutex->count, 0);
    EXPECT_EQ(mutex->owner.load(), pthread_t{0});
    EXPECT_TRUE(freeForOthers(mutex));
    // A further unlock by a thread that no longer owns it changes nothing.
    unlockRecursiveMutex(mutex);
    EXPECT_EQ(mutex->count, 0);
    destroyRecursiveMutex(mutex);
  }
}

TEST(QbxRecursiveMutex, HandleExcludesOtherThreads) {
  MutexHandle handle = nullptr;
  createMutex(&handle);
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(handle->mutex, nullptr);
  // Deliberately not atomic: only the mutex keeps the threads apart.
  long counter = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int j = 0; j < 10000; ++j) {
        lockMutex(handle);
        lockMutex(handle);
        ++counter;
        unlockMutex(handle);
        unlockMutex(handle);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
  destroyMutex(handle);
  destroyMutex(nullptr);
  destroyRecursiveMutex(nullptr);
}

TEST(QbxRecursiveMutex, ProcessMutexExistsFromLoadAndIsRecursive) {
  const MutexHandle handle = processMutex();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(processMutex(), handle);
  lockMutex(handle);
  lockMutex(handle);
  EXPECT_FALSE(freeForOthers(handle->mutex));
  unlockMutex(handle);
  unlockMutex(handle);
  EXPECT_TRUE(freeForOthers(handle->mutex));
}

}  // namespace
}  // namespace qz::qbx
