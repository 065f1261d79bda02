// The client library's process-wide objects, all built in one translation
// unit when the library loads, in this order, and destroyed in the reverse
// order at exit or unload: so a running server is stopped and joined before
// the session its handler uses is deleted, and the session (with its
// correlators) goes before the manager client's holder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vesktools_timescales/qlmClientStack.h"

namespace vesksapi {

class SessionInterface;
class RpcServerThread;
// The manager client holder is the core's manager client stack, made by the
// one makeQlmClientApi that both libraries use.
using QlmClientApiHolder = qzpendulo::QlmClientStack;

namespace libraryObjects {

// Filled once, on the first correlator creation that needs it.
std::unique_ptr<QlmClientApiHolder>& qlmClientApiHolder();
// "/localhost/vesks/timescales/system".
const std::string& systemTimescaleUri();
// The 10-byte abstract socket name: NUL, "vesksRpc", NUL.
const std::string& clientSocketName();
// The daemon's one session, between vesksrpcs_start and vesksrpcs_stop.
std::unique_ptr<SessionInterface>& serverSession();
const std::string& serverSocketName();
// The serving thread, between vesksrpcs_start and vesksrpcs_stop.
std::unique_ptr<RpcServerThread>& serverThread();
// "remoteHost", "webService", "resource", "plugin", "type", "name".
const std::vector<std::string>& resourceUriKeys();

}  // namespace libraryObjects
}  // namespace vesksapi
