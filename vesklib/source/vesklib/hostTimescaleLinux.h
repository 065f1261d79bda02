// HostTimescale: the local host's real-time clock as a timescale. It holds
// only the URI it was given (unchecked, may be empty), so any number of
// threads may use one at once.
#pragma once

#include <string>

#include "vesklib/timescaleInterface.h"

namespace vesklib {

class HostTimescale final : public TimescaleInterface {
 public:
  explicit HostTimescale(std::string uri);

  const std::string& getUri() const noexcept override;
  // Seconds and nanoseconds of CLOCK_REALTIME; throws -52008 with the errno
  // when the clock cannot be read.
  void getTime(vesklib_Timestamp* timestamp) override;
  // {"uri":"..."} with the URI escaped.
  std::string toJson() override;

 private:
  const std::string uri_;
};

}  // namespace vesklib
