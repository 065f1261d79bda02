// The least-squares line through a sliding window of (x, y) samples, in
// exact decimals. Samples are kept as offsets from the first sample ever
// added (the origin, which never moves), with running sums, so adding a
// sample and fitting cost a constant number of operations whatever the
// window. No lock: LinearRegressionFilterWrapper shares one between threads.
#pragma once

#include <cstdint>
#include <list>
#include <utility>

#include "vesklib/decimal.h"

namespace vesklib {

class LinearRegressionFilterInterface {
 public:
  virtual ~LinearRegressionFilterInterface() = default;

  virtual uint64_t historySize() const = 0;
  virtual void addSample(const Decimal& x, const Decimal& y) = 0;
  // The x at which the fitted line reaches y.
  virtual void inverseEstimate(const Decimal& y, Decimal* x) const = 0;
  // The fitted line's y at x.
  virtual void estimate(const Decimal& x, Decimal* y) const = 0;
};

class LinearRegression final : public LinearRegressionFilterInterface {
 public:
  // -52005 unless 2 <= maxHistorySize <= what the history can hold.
  explicit LinearRegression(uint64_t maxHistorySize);

  uint64_t historySize() const override { return offsetsFromStart_.size(); }
  // Once the window is full, each new sample drops the oldest.
  void addSample(const Decimal& x, const Decimal& y) override;
  // -52008 when the fitted slope is 0; otherwise as estimate.
  void inverseEstimate(const Decimal& y, Decimal* x) const override;
  // -52010 with fewer than 2 samples, -52008 when all share one x. A failed
  // estimate leaves the output alone.
  void estimate(const Decimal& x, Decimal* y) const override;

  // y = slope * x + intercept in absolute coordinates; fails as estimate.
  void fit(Decimal* slope, Decimal* intercept) const;

 private:
  using Offsets = std::list<std::pair<Decimal, Decimal>>;

  const uint64_t maxHistorySize_;
  Offsets offsetsFromStart_;  // oldest first
  Decimal originX_{-1};
  Decimal originY_{-1};
  Decimal sumX_{0};
  Decimal sumY_{0};
  Decimal sumXX_{0};
  Decimal sumXY_{0};
};

}  // namespace vesklib
