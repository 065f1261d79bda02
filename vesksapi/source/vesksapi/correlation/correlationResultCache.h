// The answers already given on one pair of clocks, so that a repeated
// question, or the reverse of an answered one, needs no correlator call:
//   if (auto answer = cache.findForward(source, other, in)) return *answer;
//   cache.evictOldestWhenFull(limit); /* ask the correlator */ cache.insert({source, in, other, out});
// Pair names come from normalisedTimescaleName; a cache serves one
// orderedPairKey and is made in place (std::map::try_emplace).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "vesklib/timestamp.h"

namespace vesksapi {

// The URI's last segment (the whole URI without a '/'), each '-' made ':'
// and every letter lower-cased: a grandmaster's identity however a target
// spells it.
std::string normaliseUriTail(const std::string& uri);
// "localhost" for the host's system timescale, normaliseUriTail otherwise.
std::string normalisedTimescaleName(const std::string& uri);
// The greater name directly followed by the lesser: one key for both orders.
std::string orderedPairKey(const std::string& name1, const std::string& name2);

// One answered question: `sourceTimestamp` on `sourceName` is
// `otherTimestamp` on `otherName`.
struct CorrelationRecord {
  std::string sourceName;
  vesklib_Timestamp sourceTimestamp;
  std::string otherName;
  vesklib_Timestamp otherTimestamp;
};

// A lookup key: two names and a time stamp (compared in all four fields).
struct CorrelationKey {
  const std::string& firstName;
  const std::string& secondName;
  const vesklib_Timestamp& timestamp;
};

// Both names, then seconds, nanos, fractionalNanos and isNegative, combined
// in this order.
size_t hashCorrelationKey(const CorrelationKey& key);

class CorrelationResultCache {
 public:
  CorrelationResultCache();
  ~CorrelationResultCache();
  CorrelationResultCache(const CorrelationResultCache&) = delete;
  CorrelationResultCache& operator=(const CorrelationResultCache&) = delete;

  // The answer stored for `timestamp` asked on `sourceName` towards `otherName`.
  std::optional<vesklib_Timestamp> findForward(const std::string& sourceName, const std::string& otherName,
                                               const vesklib_Timestamp& timestamp) const;
  // The same question answered by a record asked the other way round, from
  // `otherName`, whose answer on `sourceName` was `timestamp`: that record's question.
  std::optional<vesklib_Timestamp> findInverse(const std::string& sourceName, const std::string& otherName,
                                               const vesklib_Timestamp& timestamp) const;
  // Removes the oldest record when `limit` or more are held.
  void evictOldestWhenFull(uint32_t limit);
  // Appends the record as the newest; false (nothing stored) when its
  // forward or its inverse key is already held.
  bool insert(const CorrelationRecord& record);
  void clear();
  size_t size() const;

 private:
  struct Records;
  std::unique_ptr<Records> records_;
};

}  // namespace vesksapi
