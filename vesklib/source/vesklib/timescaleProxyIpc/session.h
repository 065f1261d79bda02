// TimescaleProxySession: one conversation of a remote timescale proxy with its
// target's time-stamp daemon. It derives the URI under which the daemon knows
// the timescale, asks the daemon's API version once, then reads the time and
// checks that the reading is of this timescale. Every failure reaches the
// caller as qzerr::Exception, and after one the connection is closed, so that
// a late reply is never read as the answer to the next request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "vesklib/timescaleProxyIpc/thriftClientInterface.h"
#include "vesklib/timestamp.h"

namespace vesklib {

class TimescaleProxySessionInterface {
 public:
  virtual ~TimescaleProxySessionInterface() = default;

  virtual void getTime(vesklib_Timestamp* timestamp) = 0;
};

class TimescaleProxySession final : public TimescaleProxySessionInterface {
 public:
  // Splits the timescale URI (-52005 when it has not exactly six parts) and
  // asks the daemon's API version (a daemon without the request is version 1).
  TimescaleProxySession(std::shared_ptr<TimescaleProxyThriftClientInterface> client,
                        const std::string& timescaleUri);
  TimescaleProxySession(const TimescaleProxySession&) = delete;
  TimescaleProxySession& operator=(const TimescaleProxySession&) = delete;
  // Closes the connection.
  ~TimescaleProxySession() override;

  // A reading that is of another timescale fails with -52020 after it was
  // written into `timestamp`; no other failure writes it.
  void getTime(vesklib_Timestamp* timestamp) override;

 private:
  void readTime(vesklib_Timestamp* timestamp);
  void readTimeOfVersion1(vesklib_Timestamp* timestamp);
  void readTimeOfCurrentTimescales(vesklib_Timestamp* timestamp);

  const std::shared_ptr<TimescaleProxyThriftClientInterface> client_;
  int32_t serverApiVersion_;
  const std::string timescaleUri_;
  std::string expectedLocalUri_;
};

}  // namespace vesklib
