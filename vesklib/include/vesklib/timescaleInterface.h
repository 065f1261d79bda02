// TimescaleInterface: a clock that can be read and that is named by a URI;
// the object behind every timescale handle of the core library. getUri never
// throws and its text lives as long as the object; getTime reports a failed
// reading by throwing qzerr::Exception and then leaves the record untouched.
#pragma once

#include <string>

#include "vesklib/timestamp.h"

class TimescaleInterface {
 public:
  virtual ~TimescaleInterface() = default;

  virtual const std::string& getUri() const noexcept = 0;
  virtual void getTime(vesklib_Timestamp* timestamp) = 0;
  // The JSON description, without whitespace.
  virtual std::string toJson() = 0;
};
