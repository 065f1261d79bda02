// Whether the kernel is a real-time one ("/sys/kernel/realtime" starts with
// '1'), which decides whether mutexes inherit priority. The answer is
// computed at most once per cache, under a spin lock; a missing or unreadable
// flag file means no.
#pragma once

#include <atomic>
#include <cstdint>

namespace qz::qbx {

inline constexpr char kRealtimeFlagPath[] = "/sys/kernel/realtime";

// True only when the file's first byte could be read and is '1'.
bool readRealtimeFlag(const char* path);

// The kernel's answer from kRealtimeFlagPath.
void isRealtimeKernel(bool* answer);

// An answer computed once, on first demand, by `compute`.
struct RealtimeCache {
  constexpr explicit RealtimeCache(void (*computeAnswer)(bool*)) : compute(computeAnswer) {}

  std::atomic<uint64_t> lockWord{0};
  std::atomic<bool> computed{false};
  bool answer = false;
  void (*compute)(bool* answer);
};

bool isRealtimeKernelCached(RealtimeCache* cache);

// The process-wide cache over isRealtimeKernel.
bool isRealtimeKernelCached();

}  // namespace qz::qbx
