// vesklib::CachingCorrelator: a memo in front of another correlator. A
// conversion it has answered before (same source URI, same four fields of
// the time stamp) comes from its cache without asking the correlator behind
// it; everything else is forwarded. Failures are never stored, and entries
// are never evicted: the cache only grows, for the life of the object, and
// a key keeps its first answer. No lock: callers come one at a time. The
// wrapped correlator is not owned and must outlive this one.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "vesklib/timestampCorrelatorInterface.h"

namespace vesklib {

class CachingCorrelator final : public TimestampCorrelatorInterface {
 public:
  CachingCorrelator(std::string uri, TimestampCorrelatorInterface* wrapped);

  static TimestampCorrelatorInterface* create(const std::string& uri, TimestampCorrelatorInterface* wrapped);

  void correlate(const vesklib_Timestamp* timestampInSourceTimescale, TimescaleInterface* sourceTimescale,
                 vesklib_Timestamp* correlatedTimestamp) override;
  const std::string& getUri() const noexcept override { return uri_; }
  const std::string& getTimescale1Uri() const noexcept override { return wrapped_->getTimescale1Uri(); }
  const std::string& getTimescale2Uri() const noexcept override { return wrapped_->getTimescale2Uri(); }
  void start() override { wrapped_->start(); }
  void stop() override { wrapped_->stop(); }
  bool isRunning() const noexcept override { return wrapped_->isRunning(); }
  // The wrapped correlator's own description, unchanged.
  std::string toJson() override { return wrapped_->toJson(); }

 private:
  struct CorrelationKey {
    std::string sourceUri;
    int64_t seconds;
    int32_t nanos;
    int32_t fractionalNanos;
    bool isNegative;

    bool operator==(const CorrelationKey& other) const;
  };
  struct CorrelationKeyHash {
    size_t operator()(const CorrelationKey& key) const;
  };

  std::unordered_map<CorrelationKey, vesklib_Timestamp, CorrelationKeyHash> cache_;
  const std::string uri_;
  TimestampCorrelatorInterface* const wrapped_;
};

}  // namespace vesklib
