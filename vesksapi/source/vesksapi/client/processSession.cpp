#include "vesksapi/client/processSession.h"

#include <mutex>

#include "vesksapi/client/sessionProxy.h"
#include "vesksapi/client/thriftClient.h"

namespace vesksapi {

namespace {

// Held only while the proxy is made or its holder copied, never during a call.
std::mutex getterMutex;

}  // namespace

std::shared_ptr<SessionInterface> getSession() {
  std::lock_guard<std::mutex> lock(getterMutex);
  static std::shared_ptr<SessionInterface> proxy;
  if (!proxy) proxy = std::make_shared<SessionProxy>(std::make_shared<ThriftClient>());
  return proxy;
}

}  // namespace vesksapi
