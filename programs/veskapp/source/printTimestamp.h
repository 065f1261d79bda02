// The console's text form of a timestamp: an optional "-", the seconds, ".",
// the nanoseconds in nine digits and the fractional nanoseconds right after
// them, then a line end (flushed). {5 s, 123 ns, 0} prints "5.0000001230".
#pragma once

#include <ostream>

#include "vesklib/timestamp.h"

namespace veskapp {

void printTimestamp(std::ostream& out, const vesklib_Timestamp& timestamp);

}  // namespace veskapp
