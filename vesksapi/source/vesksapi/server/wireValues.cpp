#include "vesksapi/server/wireValues.h"

#include <cstring>

namespace vesksapi::wire {

vesksrpc::vesksrpc_Timestamp toWire(const vesklib_Timestamp& timestamp) {
  vesksrpc::vesksrpc_Timestamp wire;
  wire.seconds = timestamp.seconds;
  wire.nanos = timestamp.nanos;
  wire.fractionalNanos = timestamp.fractionalNanos;
  wire.isNegative = timestamp.isNegative;
  return wire;
}

vesklib_Timestamp fromWire(const vesksrpc::vesksrpc_Timestamp& timestamp) {
  return vesklib_Timestamp{timestamp.seconds, timestamp.nanos, timestamp.fractionalNanos, timestamp.isNegative};
}

int32_t timeoutToWire(uint32_t timeout_s) {
  int32_t bits;
  std::memcpy(&bits, &timeout_s, sizeof bits);
  return bits;
}

uint32_t timeoutFromWire(int32_t timeout_s) { return static_cast<uint32_t>(timeout_s); }

}  // namespace vesksapi::wire
