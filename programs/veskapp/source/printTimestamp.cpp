#include "printTimestamp.h"

#include <cinttypes>
#include <cstdio>

namespace veskapp {

void printTimestamp(std::ostream& out, const vesklib_Timestamp& timestamp) {
  // Formatted apart, so the stream's own fill and width stay as they were.
  char text[64];
  snprintf(text, sizeof text, "%s%" PRIu64 ".%09" PRId32 "%" PRId32, timestamp.isNegative ? "-" : "",
           static_cast<uint64_t>(timestamp.seconds), timestamp.nanos, timestamp.fractionalNanos);
  out << text << std::endl;
}

}  // namespace veskapp
