#include "vesklib/testing/fakeTimescale.h"

#include "qzerr/errorDetail.h"
#include "vesklib/testing/timestampNanos.h"

namespace vesklib::testing {

FakeTimescale::FakeTimescale(std::string uri, int64_t offsetNanos, int64_t driftPpb)
    : uri_(std::move(uri)), startNanos_(hostNanos()), driftPpb_(driftPpb), offsetNanos_(offsetNanos) {}

void FakeTimescale::hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = true;
}

void FakeTimescale::release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
  }
  released_.notify_all();
}

int64_t FakeTimescale::atHostNanos(int64_t hostNanos) const {
  const __int128 drift = static_cast<__int128>(hostNanos - startNanos_) * driftPpb_ / kNanosPerSecond;
  return hostNanos + offsetNanos_ + static_cast<int64_t>(drift);
}

void FakeTimescale::getTime(vesklib_Timestamp* timestamp) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [this] { return !held_; });
  }
  const uint64_t read = ++reads_;
  const uint64_t failFrom = failFrom_;
  if (failFrom != 0 && read >= failFrom) {
    QZERR_ERROR(qzerr::kCommunicationsFault)
        .channel("qzsyncdomain_debug", "Scripted clock failure.")
        .add("uri", uri_)
        .add("read", read)
        .raise();
  }
  *timestamp = timestampOf(atHostNanos(hostNanos()));
}

}  // namespace vesklib::testing
