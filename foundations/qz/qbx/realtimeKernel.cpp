#include "qz/qbx/realtimeKernel.h"

#include <fcntl.h>
#include <unistd.h>

#include "qz/qbx/spinLock.h"

namespace qz::qbx {
namespace {

RealtimeCache processCache(isRealtimeKernel);

}  // namespace

bool readRealtimeFlag(const char* path) {
  const int file = open(path, O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  char first = 0;
  const bool realtime = read(file, &first, 1) == 1 && first == '1';
  close(file);
  return realtime;
}

void isRealtimeKernel(bool* answer) { *answer = readRealtimeFlag(kRealtimeFlagPath); }

bool isRealtimeKernelCached(RealtimeCache* cache) {
  if (cache->computed.load(std::memory_order_acquire)) return cache->answer;
  spinLockAcquire(&cache->lockWord);
  if (!cache->computed.load(std::memory_order_relaxed)) {
    cache->compute(&cache->answer);
    cache->computed.store(true, std::memory_order_release);
  }
  spinLockRelease(&cache->lockWord);
  return cache->answer;
}

bool isRealtimeKernelCached() { return isRealtimeKernelCached(&processCache); }

}  // namespace qz::qbx
