// One linear regression shared between a correlator's sampling thread and
// its callers, spoken to in time stamps: every call runs under one mutex.
// Records are turned into decimals before the mutex is taken and the result
// back into a record while it is held. Failures (a bad record, a fit that
// cannot be made, a result no record can hold) are thrown and leave the
// output record unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "vesklib/linearRegression.h"
#include "vesklib/timestamp.h"

namespace vesklib {

class LinearRegressionFilterWrapper {
 public:
  explicit LinearRegressionFilterWrapper(std::shared_ptr<LinearRegressionFilterInterface> regression)
      : regression_(std::move(regression)) {}
  virtual ~LinearRegressionFilterWrapper() = default;
  LinearRegressionFilterWrapper(const LinearRegressionFilterWrapper&) = delete;
  LinearRegressionFilterWrapper& operator=(const LinearRegressionFilterWrapper&) = delete;

  uint64_t getHistorySize();
  void addSample(const vesklib_Timestamp& x, const vesklib_Timestamp& y);
  // y on the fitted line at x.
  void estimate(const vesklib_Timestamp& x, vesklib_Timestamp* y);
  // x at which the fitted line reaches y.
  void inverseEstimate(const vesklib_Timestamp& y, vesklib_Timestamp* x);

 private:
  using Mapping = void (LinearRegressionFilterInterface::*)(const Decimal& in, Decimal* out) const;

  // One way along the fitted line (estimate or its inverse), under the mutex.
  void mapAlongTheLine(Mapping mapping, const vesklib_Timestamp& in, vesklib_Timestamp* out);

  std::mutex mutex_;
  std::shared_ptr<LinearRegressionFilterInterface> regression_;
};

}  // namespace vesklib
