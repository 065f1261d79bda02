#include "vesklib/linearRegression.h"

#include "qzerr/errorDetail.h"

namespace vesklib {

namespace {

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr uint64_t kMinHistorySize = 2;

uint64_t historyLimit() { return std::list<std::pair<Decimal, Decimal>>().max_size(); }

}  // namespace

LinearRegression::LinearRegression(uint64_t maxHistorySize) : maxHistorySize_(maxHistorySize) {
  if (maxHistorySize < kMinHistorySize) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Max history size needs to be >= 2.")
        .add("maxHistorySize", maxHistorySize)
        .raise();
  }
  if (maxHistorySize > historyLimit()) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Max history size set greater than system limitations.")
        .add("offsetsFromStart.max_size()", historyLimit())
        .add("maxHistorySize", maxHistorySize)
        .raise();
  }
}

void LinearRegression::addSample(const Decimal& x, const Decimal& y) {
  if (offsetsFromStart_.empty()) {
    originX_ = x;
    originY_ = y;
    offsetsFromStart_.emplace_back(Decimal(0), Decimal(0));
    return;
  }
  if (offsetsFromStart_.size() >= maxHistorySize_) {
    const auto& [dx0, dy0] = offsetsFromStart_.front();
    sumX_ -= dx0;
    sumY_ -= dy0;
    sumXX_ -= dx0 * dx0;
    sumXY_ -= dx0 * dy0;
    offsetsFromStart_.pop_front();
  }
  const Decimal dx = x - originX_;
  const Decimal dy = y - originY_;
  offsetsFromStart_.emplace_back(dx, dy);
  sumX_ += dx;
  sumY_ += dy;
  sumXX_ += dx * dx;
  sumXY_ += dx * dy;
}

void LinearRegression::fit(Decimal* slope, Decimal* intercept) const {
  const uint64_t count = historySize();
  if (count < kMinHistorySize) {
    QZERR_ERROR(qzerr::kResourceNotInitialized)
        .channel(kChannel, "Not enough history to calculate slope and intercept")
        .raise();
  }
  const Decimal n(count);
  const Decimal denominator = n * sumXX_ - sumX_ * sumX_;
  if (denominator == 0) {
    QZERR_ERROR(qzerr::kOsFault).channel(kChannel, "Invalid denominator in correlator calculation").raise();
  }
  const Decimal fittedSlope = (n * sumXY_ - sumX_ * sumY_) / denominator;
  const Decimal offsetIntercept = (sumY_ - fittedSlope * sumX_) / n;
  *intercept = originY_ + offsetIntercept - fittedSlope * originX_;
  *slope = fittedSlope;
}

void LinearRegression::estimate(const Decimal& x, Decimal* y) const {
  Decimal slope, intercept;
  fit(&slope, &intercept);
  *y = slope * x + intercept;
}

void LinearRegression::inverseEstimate(const Decimal& y, Decimal* x) const {
  Decimal slope, intercept;
  fit(&slope, &intercept);
  if (slope == 0) QZERR_ERROR(qzerr::kOsFault).channel(kChannel, "LinearRegression slope is 0.").raise();
  *x = (y - intercept) / slope;
}

}  // namespace vesklib
