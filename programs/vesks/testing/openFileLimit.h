// Test and benchmark support: this process's open-file soft limit set for as
// long as the object lives (at most to the hard limit), then put back.
// Programs started meanwhile inherit it: lowered, to see a daemon raise its
// own; raised, so that a crowd of a thousand clients fits.
#pragma once

#include <sys/resource.h>

namespace vesktest {

class OpenFileSoftLimit {
 public:
  // RLIM_INFINITY stands for the hard limit.
  explicit OpenFileSoftLimit(rlim_t soft);
  ~OpenFileSoftLimit();
  OpenFileSoftLimit(const OpenFileSoftLimit&) = delete;
  OpenFileSoftLimit& operator=(const OpenFileSoftLimit&) = delete;

 private:
  rlimit own_{};
};

}  // namespace vesktest
