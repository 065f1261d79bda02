// The library's process-wide objects, defined in this one translation unit
// in the order of libraryObjects.h, so they are built in that order when the
// library loads and destroyed in the reverse order.
#include "vesksapi/libraryObjects.h"

#include "vesksapi/server/rpcServerThread.h"
#include "vesksapi/sessionInterface.h"

namespace vesksapi::libraryObjects {

namespace {

// NUL, "vesksRpc", NUL: the literal's own terminator is the name's last byte.
constexpr char kSocketName[] = "\0vesksRpc";
static_assert(sizeof kSocketName == 10);

std::unique_ptr<QlmClientApiHolder> qlmClientApiHolderObject;
const std::string systemTimescaleUriObject = "/localhost/vesks/timescales/system";
const std::string clientSocketNameObject(kSocketName, sizeof kSocketName);
std::unique_ptr<SessionInterface> serverSessionObject;
const std::string serverSocketNameObject(kSocketName, sizeof kSocketName);
// Destroyed before the session: a running server is stopped and joined first.
std::unique_ptr<RpcServerThread> serverThreadObject;
const std::vector<std::string> resourceUriKeysObject = {"remoteHost", "webService", "resource",
                                                        "plugin",     "type",       "name"};

}  // namespace

std::unique_ptr<QlmClientApiHolder>& qlmClientApiHolder() { return qlmClientApiHolderObject; }
const std::string& systemTimescaleUri() { return systemTimescaleUriObject; }
const std::string& clientSocketName() { return clientSocketNameObject; }
std::unique_ptr<SessionInterface>& serverSession() { return serverSessionObject; }
const std::string& serverSocketName() { return serverSocketNameObject; }
std::unique_ptr<RpcServerThread>& serverThread() { return serverThreadObject; }
const std::vector<std::string>& resourceUriKeys() { return resourceUriKeysObject; }

}  // namespace vesksapi::libraryObjects
