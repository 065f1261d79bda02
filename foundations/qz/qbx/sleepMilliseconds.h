// A sleep on the monotonic clock that always lasts the full time: a signal
// that interrupts it only makes it sleep again for what is left.
#pragma once

#include <cstdint>

namespace qz::qbx {

void sleepMilliseconds(uint32_t milliseconds);

}  // namespace qz::qbx
