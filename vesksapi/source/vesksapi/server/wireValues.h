// The session's values as the local service's wire carries them, converted
// alike at both ends: a time stamp field by field, and a timeout's 32 bits as
// the wire's signed i32 (above 2147483647 it travels negative).
#pragma once

#include <cstdint>

#include "vesklib/timestamp.h"
#include "vesksRpc_types.h"

namespace vesksapi::wire {

vesksrpc::vesksrpc_Timestamp toWire(const vesklib_Timestamp& timestamp);
vesklib_Timestamp fromWire(const vesksrpc::vesksrpc_Timestamp& timestamp);

int32_t timeoutToWire(uint32_t timeout_s);
uint32_t timeoutFromWire(int32_t timeout_s);

}  // namespace vesksapi::wire
