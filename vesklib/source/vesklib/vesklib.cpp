// The exported functions of the core library: each runs in the frame of
// exportFrame.h and forwards to the handle's interface operation.
#include "vesklib/vesklib.h"

#include "vesklib/exportFrame.h"
#include "vesklib/hostTimescaleLinux.h"
#include "vesklib/timescaleInterface.h"

namespace frame = vesklib::frame;

int32_t vesklib_getApiVersion() { return 1; }

// ---- Timescales

TimescaleInterface* vesklib_HostTimescale_create(const char* uri, qzerr_Status* status) {
  return frame::call(status, VESKLIB_ARGS({"uri", uri}),
                     [&]() -> TimescaleInterface* { return new vesklib::HostTimescale(uri); });
}

const char* vesklib_Timescale_getUri(TimescaleInterface* handle, qzerr_Status* status) {
  return frame::access(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->getUri().c_str(); });
}

void vesklib_Timescale_getTime(TimescaleInterface* handle, vesklib_Timestamp* timestamp,
                               qzerr_Status* status) {
  frame::call(status, VESKLIB_ARGS({"handle", handle}, {"timestamp", timestamp}),
              [&] { handle->getTime(timestamp); });
}

char* vesklib_Timescale_toJson(TimescaleInterface* handle, qzerr_Status* status) {
  return frame::copyJson(status, VESKLIB_ARGS({"handle", handle}), [&] { return handle->toJson(); });
}

void vesklib_Timescale_delete(TimescaleInterface* handle) { delete handle; }

