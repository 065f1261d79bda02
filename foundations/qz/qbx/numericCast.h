// Checked narrowing of lengths: a value that does not fit raises the layer's
// OutOfRange instead of being cut.
#pragma once

#include <cstdint>

namespace qz::qbx {

// `value` as 32 bits; OutOfRange when it exceeds 0xffffffff.
uint32_t numericCastToUint32(uint64_t value);

}  // namespace qz::qbx
