// For the exit test: starts the server through the shared library, keeps a
// client calling it on another thread, and returns from main with both still
// going. Exits with 0 when all of that, the library's tear-down included, ran
// cleanly; 2 when the server did not start.
#include <atomic>
#include <string>
#include <thread>

#include "qzerr/status.h"
#include "rawConnection.h"
#include "vesksapi/vesksapi.h"
#include "wireBytes.h"

namespace {

// Plain data only: the client thread runs on while the process's objects go.
constexpr char kName[] = "\0vesksRpc";
std::atomic<int> answered{0};

void callForEver() {
  const std::string name(kName, sizeof kName);
  const std::string call = vesksapi::testing::callFrame("getTimescaleInfo", 0, vesksapi::testing::WireBytes().stop());
  for (;;) {
    vesksapi::testing::RawConnection connection(name);
    if (connection.send(call) && !connection.receive(1).empty()) ++answered;
  }
}

}  // namespace

int main() {
  qzerr_Status status = qzerr_freshStatus();
  vesksrpcs_start(&status);
  const bool started = status.code == 0;
  qzerr_releaseJson(&status);
  if (!started) return 2;
  std::thread(callForEver).detach();
  while (answered < 3) std::this_thread::yield();
  return 0;
}
