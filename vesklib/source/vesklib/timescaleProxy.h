// TimescaleProxy: a clock of a remote target, read through the target's
// time-stamp daemon, as a timescale. Creating one touches no network; the
// first getTime makes the session (connection and API version) and keeps it,
// and a failed attempt at that is started over by the next getTime. Time
// requests on one proxy are serialised; getUri and toJson take no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "vesklib/timescaleInterface.h"
#include "vesklib/timescaleProxyIpc/session.h"
#include "vesklib/timescaleProxyIpc/thriftClientInterface.h"

namespace vesklib {

class TimescaleProxy final : public TimescaleInterface {
 public:
  // `uri` names the timescale with the remote host first; `host` and `port`
  // are where its daemon listens. Neither is checked here.
  TimescaleProxy(std::string uri, const std::string& host, int32_t port);

  const std::string& getUri() const noexcept override;
  void getTime(vesklib_Timestamp* timestamp) override;
  // {"uri":"..."} with the URI escaped.
  std::string toJson() override;

 private:
  std::mutex mutex_;
  const std::string uri_;
  const std::shared_ptr<TimescaleProxyThriftClientInterface> client_;
  // Declared last so that it goes first: its end closes the connection.
  std::shared_ptr<TimescaleProxySessionInterface> session_;
};

}  // namespace vesklib
