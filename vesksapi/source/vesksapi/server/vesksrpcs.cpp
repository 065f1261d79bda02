// The daemon's start and stop of the service: the one session, and the server
// that serves it on the local socket, both held by the library's process-wide
// owners. Start returns once the server listens; stop ends the session's long
// waits, then the server, after the calls in progress, and then the session.
#include "vesksapi/vesksapi.h"

#include <memory>

#include "vesklib/exportFrame.h"
#include "vesksapi/libraryObjects.h"
#include "vesksapi/server/rpcServerThread.h"
#include "vesksapi/session/session.h"

namespace {

using vesksapi::libraryObjects::serverSession;
using vesksapi::libraryObjects::serverSocketName;
using vesksapi::libraryObjects::serverThread;

// A session made by a start whose server then failed stays for the next start.
void startServer() {
  std::unique_ptr<vesksapi::SessionInterface>& session = serverSession();
  if (!session) session = std::make_unique<vesksapi::Session>();
  std::unique_ptr<vesksapi::RpcServerThread>& server = serverThread();
  if (server) return;
  server = std::make_unique<vesksapi::RpcServerThread>(serverSocketName(), *session);
}

// The session is told first, so that no call in progress waits long and the
// server's stop, which waits for them, ends within seconds.
void stopServer() noexcept {
  if (auto* session = dynamic_cast<vesksapi::Session*>(serverSession().get())) session->beginShutdown();
  serverThread().reset();
  serverSession().reset();
}

}  // namespace

void vesksrpcs_start(qzerr_Status* status) { vesklib::frame::call(status, VESKLIB_ARGS(), startServer); }

void vesksrpcs_stop() { stopServer(); }
