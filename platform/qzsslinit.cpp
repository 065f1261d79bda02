// libqzsslinit.so.13: our stand-in for the SSL initialisation library that the
// core library loads before the HTTP library. Init prepares libcurl for use
// and hands out a non-zero handle (0 when that failed); Uninit undoes it.
//
// Built with QZSSLINIT_CONTROLLED it is a test double: a test that keeps the
// library loaded itself can make Init fail and count the calls.
#include <curl/curl.h>

#include <cstdint>

#define QZSSLINIT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Its address is the handle: never 0, and the same for every caller.
char initialised;

#ifdef QZSSLINIT_CONTROLLED
bool initFails = false;
int initCalls = 0;
int uninitCalls = 0;
#endif

}  // namespace

#ifdef QZSSLINIT_CONTROLLED
QZSSLINIT_EXPORT void qzsslinitControl_setInitFails(int fails) { initFails = fails != 0; }
QZSSLINIT_EXPORT int qzsslinitControl_initCalls() { return initCalls; }
QZSSLINIT_EXPORT int qzsslinitControl_uninitCalls() { return uninitCalls; }
#endif

QZSSLINIT_EXPORT intptr_t QZSSLINIT_Init() {
#ifdef QZSSLINIT_CONTROLLED
  ++initCalls;
  if (initFails) return 0;
#endif
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return 0;
  return reinterpret_cast<intptr_t>(&initialised);
}

QZSSLINIT_EXPORT int QZSSLINIT_Uninit(intptr_t handle) {
#ifdef QZSSLINIT_CONTROLLED
  ++uninitCalls;
#endif
  if (handle != reinterpret_cast<intptr_t>(&initialised)) return 1;
  curl_global_cleanup();
  return 0;
}
