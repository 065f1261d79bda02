// For tests: a status record owned by the test, released when it goes, and
// read back as code and detail text. It starts fresh ({0, 0, grow, null});
// give it another grow function to stand for a caller with its own allocator.
#pragma once

#include <cstdint>
#include <string>

#include "qzerr/status.h"

namespace vesk::testing {

class TestStatus {
 public:
  TestStatus() : TestStatus(qzerr_growJsonBuffer) {}
  explicit TestStatus(qzerr_GrowFunction grow) : status_{0, 0, grow, nullptr} {}
  TestStatus(const TestStatus&) = delete;
  TestStatus& operator=(const TestStatus&) = delete;
  ~TestStatus() { qzerr_releaseJson(&status_); }

  qzerr_Status* get() { return &status_; }
  operator qzerr_Status*() { return &status_; }
  qzerr_Status* operator->() { return &status_; }
  const qzerr_Status* operator->() const { return &status_; }

  int32_t code() const { return status_.code; }
  // The detail text; empty while there is no buffer.
  std::string json() const { return status_.json != nullptr ? status_.json : ""; }

 private:
  qzerr_Status status_;
};

}  // namespace vesk::testing
