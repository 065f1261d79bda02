// vesklib_Timestamp: every clock reading and correlated time stamp. The value
// is sign and magnitude: -(seconds + nanos / 1e9) when isNegative is set.
#pragma once

#include <cstdint>

struct vesklib_Timestamp {
  int64_t seconds;
  int32_t nanos;
  int32_t fractionalNanos;
  bool isNegative;
};
