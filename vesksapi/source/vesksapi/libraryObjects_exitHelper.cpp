// For the tear-down test: serves a session through the library's own owners,
// holds a call in progress that finishes only once the listening socket is
// closed, and returns from main. The process-wide objects must stop the
// server (which waits for that call) before they delete the session: exits
// with 3 when the session goes while the call is still in it, 0 when all went
// in order, 2 when the server did not start.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "vesksapi/libraryObjects.h"
#include "vesksapi/server/rpcServerThread.h"
#include "vesksapi/server/testing/fakeSession.h"
#include "vesksapi/server/testing/rawConnection.h"
#include "vesksapi/server/testing/wireBytes.h"

namespace {

using vesksapi::libraryObjects::serverSession;
using vesksapi::libraryObjects::serverSocketName;
using vesksapi::libraryObjects::serverThread;

std::atomic<bool> callInProgress{false};

class CheckedSession : public vesksapi::testing::FakeSession {
 public:
  ~CheckedSession() override {
    if (!callInProgress) return;
    std::fputs("the session was deleted during a call\n", stderr);
    _exit(3);
  }
};

// A client that sends one call and waits for its answer for ever.
void callAndWait() {
  vesksapi::testing::RawConnection connection(serverSocketName());
  connection.send(vesksapi::testing::callFrame("getTimescaleInfo", 0, vesksapi::testing::WireBytes().stop()));
  connection.receive(1);
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

}  // namespace

int main() {
  auto session = std::make_unique<CheckedSession>();
  session->outcome = [](qzerr_Status*) {
    callInProgress = true;
    while (vesksapi::testing::listens(serverSocketName())) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    callInProgress = false;
  };
  serverThread() = std::make_unique<vesksapi::RpcServerThread>(serverSocketName(), *session);
  serverSession() = std::move(session);
  std::thread(callAndWait).detach();
  while (!callInProgress) std::this_thread::yield();
  return 0;
}
