#include "qz/qbx/numericCast.h"

#include <limits>

#include "qz/qbx/exception.h"

namespace qz::qbx {

uint32_t numericCastToUint32(uint64_t value) {
  if (value > std::numeric_limits<uint32_t>::max()) {
    // The site keeps its report name whatever the build calls this file.
    throw exception::OutOfRange("./qz/qbx/NumericCast", 67);
  }
  return static_cast<uint32_t>(value);
}

}  // namespace qz::qbx
