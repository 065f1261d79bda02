// SessionProxy: the session of a client process. Each operation is one remote
// call to the daemon, made one at a time under the proxy's mutex on a
// connection opened for it and closed after it, and every failure becomes the
// caller's status. An operation does nothing when the status already holds an
// error; its outputs are written only by a successful reply (a bool operation
// gives false otherwise). The proxy and its client stay usable after failures.
#pragma once

#include <memory>
#include <mutex>

#include "qzerr/status.h"
#include "vesksapi/client/thriftClientInterface.h"
#include "vesksapi/sessionInterface.h"

namespace vesksapi {

class SessionProxy final : public SessionInterface {
 public:
  explicit SessionProxy(const std::shared_ptr<ThriftClientInterface>& client);

#define VESKSAPI_SESSION_SYMBOL(Result, name, parameters, arguments) Result name parameters override;
#include "vesksapi/client/sessionSymbols.h"
#undef VESKSAPI_SESSION_SYMBOL

 private:
  template <typename Result, typename Call>
  Result remoteCall(qzerr_Status* status, const qzerr_ErrorSite& site, Call call);

  std::shared_ptr<ThriftClientInterface> client_;
  std::mutex mutex_;
};

}  // namespace vesksapi
