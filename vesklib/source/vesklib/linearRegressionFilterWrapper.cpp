#include "vesklib/linearRegressionFilterWrapper.h"

namespace vesklib {

uint64_t LinearRegressionFilterWrapper::getHistorySize() {
  std::lock_guard<std::mutex> lock(mutex_);
  return regression_->historySize();
}

void LinearRegressionFilterWrapper::addSample(const vesklib_Timestamp& x, const vesklib_Timestamp& y) {
  Decimal decimalX, decimalY;
  secondsNanosecondsToDecimal(x, &decimalX);
  secondsNanosecondsToDecimal(y, &decimalY);
  std::lock_guard<std::mutex> lock(mutex_);
  regression_->addSample(decimalX, decimalY);
}

void LinearRegressionFilterWrapper::estimate(const vesklib_Timestamp& x, vesklib_Timestamp* y) {
  Decimal decimalX, decimalY;
  secondsNanosecondsToDecimal(x, &decimalX);
  std::lock_guard<std::mutex> lock(mutex_);
  regression_->estimate(decimalX, &decimalY);
  decimalToTimestamp(decimalY, y);
}

void LinearRegressionFilterWrapper::inverseEstimate(const vesklib_Timestamp& y, vesklib_Timestamp* x) {
  Decimal decimalX, decimalY;
  secondsNanosecondsToDecimal(y, &decimalY);
  std::lock_guard<std::mutex> lock(mutex_);
  regression_->inverseEstimate(decimalY, &decimalX);
  decimalToTimestamp(decimalX, x);
}

}  // namespace vesklib
