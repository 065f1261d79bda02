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
  mapAlongTheLine(&LinearRegressionFilterInterface::estimate, x, y);
}

void LinearRegressionFilterWrapper::inverseEstimate(const vesklib_Timestamp& y, vesklib_Timestamp* x) {
  mapAlongTheLine(&LinearRegressionFilterInterface::inverseEstimate, y, x);
}

void LinearRegressionFilterWrapper::mapAlongTheLine(Mapping mapping, const vesklib_Timestamp& in,
                                                    vesklib_Timestamp* out) {
  Decimal decimalIn, decimalOut;
  secondsNanosecondsToDecimal(in, &decimalIn);
  std::lock_guard<std::mutex> lock(mutex_);
  (regression_.get()->*mapping)(decimalIn, &decimalOut);
  decimalToTimestamp(decimalOut, out);
}

}  // namespace vesklib
