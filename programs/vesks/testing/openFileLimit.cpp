#include "openFileLimit.h"

#include <algorithm>

namespace vesktest {

OpenFileSoftLimit::OpenFileSoftLimit(rlim_t soft) {
  getrlimit(RLIMIT_NOFILE, &own_);
  const rlimit changed{std::min(soft, own_.rlim_max), own_.rlim_max};
  setrlimit(RLIMIT_NOFILE, &changed);
}

OpenFileSoftLimit::~OpenFileSoftLimit() { setrlimit(RLIMIT_NOFILE, &own_); }

}  // namespace vesktest
