#include "qz/qbx/sleepMilliseconds.h"

#include <time.h>

#include <cerrno>

namespace qz::qbx {

void sleepMilliseconds(uint32_t milliseconds) {
  timespec left{};
  left.tv_sec = milliseconds / 1000;
  left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  // clock_nanosleep reports its error as the result, and fills in the
  // remaining time when a signal cut the sleep short.
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
  }
}

}  // namespace qz::qbx
