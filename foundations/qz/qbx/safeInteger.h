// Unsigned 32-bit arithmetic that refuses to wrap: an overflow, or a negative
// value made unsigned, raises the layer's OutOfRange.
#pragma once

#include <cstdint>

namespace qz::qbx {

uint32_t safeAdd(uint32_t a, uint32_t b);
uint32_t safeMultiply(uint32_t a, uint32_t b);
uint32_t safeToUnsigned(int32_t value);

}  // namespace qz::qbx
