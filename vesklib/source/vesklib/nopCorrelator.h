// vesklib::NopCorrelator: the correlator for two timescales that are one
// clock. A time stamp taken on either (matched by URI) comes back unchanged.
// No thread, no history, nothing written after construction; it always
// reports itself running. The timescales are not owned and must outlive it.
#pragma once

#include <string>

#include "vesklib/timestampCorrelatorInterface.h"

namespace vesklib {

class NopCorrelator final : public TimestampCorrelatorInterface {
 public:
  NopCorrelator(std::string uri, TimescaleInterface* timescale1, TimescaleInterface* timescale2);

  static TimestampCorrelatorInterface* create(const std::string& uri, TimescaleInterface* timescale1,
                                              TimescaleInterface* timescale2);

  // -52005 when the source is neither timescale; otherwise out = in, field
  // by field, unchecked.
  void correlate(const vesklib_Timestamp* timestampInSourceTimescale, TimescaleInterface* sourceTimescale,
                 vesklib_Timestamp* correlatedTimestamp) override;
  const std::string& getUri() const noexcept override { return uri_; }
  const std::string& getTimescale1Uri() const noexcept override;
  const std::string& getTimescale2Uri() const noexcept override;
  void start() override {}
  void stop() override {}
  bool isRunning() const noexcept override { return true; }
  // One line with blanks around the colons, as the linear correlator's.
  std::string toJson() override;

 private:
  const std::string uri_;
  TimescaleInterface* const timescale1_;
  TimescaleInterface* const timescale2_;
};

}  // namespace vesklib
