// vesklib_Timestamp: every clock reading and correlated time stamp. The value
// is sign and magnitude: -(seconds + nanos / 1e9) when isNegative is set.
#pragma once

// Plain C as well: the client library's public header includes this.
#ifdef __cplusplus
#include <cstdint>
#else
#include <stdbool.h>
#include <stdint.h>
#endif

typedef struct vesklib_Timestamp {
  int64_t seconds;
  int32_t nanos;
  int32_t fractionalNanos;
  bool isNegative;
} vesklib_Timestamp;
