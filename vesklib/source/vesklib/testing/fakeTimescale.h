// A timescale for tests and benchmarks, scripted in process: the host's
// real-time clock moved onto a line of known offset and drift, counted
// reads, reads held back until released, and reads that fail from a given
// one on. It may be scripted and read while a sampling thread reads it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "vesklib/timescaleInterface.h"

namespace vesklib::testing {

class FakeTimescale final : public TimescaleInterface {
 public:
  // reading = host + offset + (host - host at construction) * driftPpb / 1e9
  explicit FakeTimescale(std::string uri, int64_t offsetNanos = 0, int64_t driftPpb = 0);

  void setOffset(int64_t offsetNanos) { offsetNanos_ = offsetNanos; }
  // Reads from the `read`-th on (counting from 1, all reads so far
  // included) throw -52024; 0 ends the failing.
  void failFromRead(uint64_t read) { failFrom_ = read; }
  // Reads wait while held.
  void hold();
  void release();
  uint64_t reads() const { return reads_; }

  // The line at a host time (testing::hostNanos), without a read.
  int64_t atHostNanos(int64_t hostNanos) const;

  const std::string& getUri() const noexcept override { return uri_; }
  void getTime(vesklib_Timestamp* timestamp) override;
  std::string toJson() override { return "{\"uri\":\"" + uri_ + "\"}"; }

 private:
  const std::string uri_;
  const int64_t startNanos_;
  const int64_t driftPpb_;
  std::atomic<int64_t> offsetNanos_;
  std::atomic<uint64_t> failFrom_{0};
  std::atomic<uint64_t> reads_{0};
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
};

}  // namespace vesklib::testing
