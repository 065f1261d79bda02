#include "vesklib/hostTimescaleLinux.h"

#include <cerrno>
#include <ctime>
#include <utility>

#include "jsonz/jsonString.h"
#include "qzerr/errorDetail.h"

namespace vesklib {

using jsonz::jsonString;

HostTimescale::HostTimescale(std::string uri) : uri_(std::move(uri)) {}

const std::string& HostTimescale::getUri() const noexcept { return uri_; }

void HostTimescale::getTime(vesklib_Timestamp* timestamp) {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
    const int32_t error = errno;
    QZERR_ERROR(qzerr::kOsFault)
        .channel("qzsyncdomain_debug", "Failed to getTime from the HostTimescale on Linux.")
        .add("errno", error)
        .raise();
  }
  timestamp->seconds = now.tv_sec;
  timestamp->nanos = static_cast<int32_t>(now.tv_nsec);
  timestamp->fractionalNanos = 0;
  timestamp->isNegative = false;
}

std::string HostTimescale::toJson() { return "{\"uri\":" + jsonString(uri_) + "}"; }

}  // namespace vesklib
