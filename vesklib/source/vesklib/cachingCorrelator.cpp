#include "vesklib/cachingCorrelator.h"

#include <boost/container_hash/hash.hpp>

#include "vesklib/timescaleInterface.h"

namespace vesklib {

bool CachingCorrelator::CorrelationKey::operator==(const CorrelationKey& other) const {
  return sourceUri == other.sourceUri && seconds == other.seconds && nanos == other.nanos &&
         fractionalNanos == other.fractionalNanos && isNegative == other.isNegative;
}

size_t CachingCorrelator::CorrelationKeyHash::operator()(const CorrelationKey& key) const {
  size_t seed = 0;
  boost::hash_combine(seed, boost::hash<std::string>()(key.sourceUri));
  boost::hash_combine(seed, key.seconds);
  boost::hash_combine(seed, key.nanos);
  boost::hash_combine(seed, key.fractionalNanos);
  boost::hash_combine(seed, key.isNegative);
  return seed;
}

// One bucket to start with; the map rehashes to keep one entry per bucket.
CachingCorrelator::CachingCorrelator(std::string uri, TimestampCorrelatorInterface* wrapped)
    : cache_(1), uri_(std::move(uri)), wrapped_(wrapped) {
  cache_.max_load_factor(1.0f);
}

TimestampCorrelatorInterface* CachingCorrelator::create(const std::string& uri,
                                                        TimestampCorrelatorInterface* wrapped) {
  return new CachingCorrelator(uri, wrapped);
}

void CachingCorrelator::correlate(const vesklib_Timestamp* timestampInSourceTimescale,
                                  TimescaleInterface* sourceTimescale, vesklib_Timestamp* correlatedTimestamp) {
  const vesklib_Timestamp& in = *timestampInSourceTimescale;
  CorrelationKey key{sourceTimescale->getUri(), in.seconds, in.nanos, in.fractionalNanos, in.isNegative};
  const auto found = cache_.find(key);
  if (found != cache_.end()) {
    *correlatedTimestamp = found->second;
    return;
  }
  wrapped_->correlate(timestampInSourceTimescale, sourceTimescale, correlatedTimestamp);
  cache_.emplace(std::move(key), *correlatedTimestamp);
}

}  // namespace vesklib
