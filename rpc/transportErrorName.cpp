#include "transportErrorName.h"

#include <iterator>

namespace rpc {

const char* transportErrorName(int type) {
  static const char* const names[] = {
      "TTransportException::UNKNOWN",        "TTransportException::NOT_OPEN",
      "TTransportException::TIMED_OUT",      "TTransportException::END_OF_FILE",
      "TTransportException::INTERRUPTED",    "TTransportException::BAD_ARGS",
      "TTransportException::CORRUPTED_DATA", "TTransportException::INTERNAL_ERROR",
  };
  return type >= 0 && type < static_cast<int>(std::size(names)) ? names[type] : names[0];
}

}  // namespace rpc
