// TimestampCorrelatorInterface: converts a time stamp taken on one of two
// timescales into the other; the object behind every correlator handle of
// the core library. The source timescale is matched by URI, not identity.
// Failures are thrown as qzerr::Exception; the URI accessors never throw and
// their texts live as long as the object (or the timescale) that owns them.
#pragma once

#include <string>

#include "vesklib/timestamp.h"

class TimescaleInterface;

class TimestampCorrelatorInterface {
 public:
  virtual ~TimestampCorrelatorInterface() = default;

  virtual void correlate(const vesklib_Timestamp* timestampInSourceTimescale, TimescaleInterface* sourceTimescale,
                         vesklib_Timestamp* correlatedTimestamp) = 0;
  virtual const std::string& getUri() const noexcept = 0;
  virtual const std::string& getTimescale1Uri() const noexcept = 0;
  virtual const std::string& getTimescale2Uri() const noexcept = 0;
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isRunning() const noexcept = 0;
  virtual std::string toJson() = 0;
};
