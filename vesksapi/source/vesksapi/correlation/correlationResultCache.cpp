#include "vesksapi/correlation/correlationResultCache.h"

#include <boost/container_hash/hash.hpp>
#include <boost/multi_index/hashed_index.hpp>
#include <boost/multi_index/sequenced_index.hpp>
#include <boost/multi_index_container.hpp>

#include "vesksapi/libraryObjects.h"

namespace vesksapi {

namespace {

char normaliseCharacter(char c) {
  if (c == '-') return ':';
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameTimestamp(const vesklib_Timestamp& a, const vesklib_Timestamp& b) {
  return a.seconds == b.seconds && a.nanos == b.nanos && a.fractionalNanos == b.fractionalNanos &&
         a.isNegative == b.isNegative;
}

struct KeyHash {
  size_t operator()(const CorrelationKey& key) const { return hashCorrelationKey(key); }
};

struct KeyEqual {
  bool operator()(const CorrelationKey& a, const CorrelationKey& b) const {
    return a.firstName == b.firstName && a.secondName == b.secondName && sameTimestamp(a.timestamp, b.timestamp);
  }
};

// The question as asked.
struct ForwardKey {
  using result_type = CorrelationKey;
  CorrelationKey operator()(const CorrelationRecord& record) const {
    return {record.sourceName, record.otherName, record.sourceTimestamp};
  }
};

// The question that the answer answers when asked back from the other clock.
struct InverseKey {
  using result_type = CorrelationKey;
  CorrelationKey operator()(const CorrelationRecord& record) const {
    return {record.otherName, record.sourceName, record.otherTimestamp};
  }
};

namespace mi = boost::multi_index;

using RecordSet = mi::multi_index_container<
    CorrelationRecord, mi::indexed_by<mi::sequenced<>, mi::hashed_unique<ForwardKey, KeyHash, KeyEqual>,
                                      mi::hashed_unique<InverseKey, KeyHash, KeyEqual>>>;

constexpr int kByAge = 0;
constexpr int kByForwardKey = 1;
constexpr int kByInverseKey = 2;
constexpr float kMaxLoadFactor = 1.0f;

}  // namespace

std::string normaliseUriTail(const std::string& uri) {
  std::string tail = uri.substr(uri.rfind('/') + 1);
  for (char& c : tail) c = normaliseCharacter(c);
  return tail;
}

std::string normalisedTimescaleName(const std::string& uri) {
  return uri == libraryObjects::systemTimescaleUri() ? "localhost" : normaliseUriTail(uri);
}

std::string orderedPairKey(const std::string& name1, const std::string& name2) {
  return name1 > name2 ? name1 + name2 : name2 + name1;
}

size_t hashCorrelationKey(const CorrelationKey& key) {
  size_t seed = 0;
  boost::hash_combine(seed, key.firstName);
  boost::hash_combine(seed, key.secondName);
  boost::hash_combine(seed, key.timestamp.seconds);
  boost::hash_combine(seed, key.timestamp.nanos);
  boost::hash_combine(seed, key.timestamp.fractionalNanos);
  boost::hash_combine(seed, key.timestamp.isNegative);
  return seed;
}

struct CorrelationResultCache::Records {
  RecordSet set;
};

CorrelationResultCache::CorrelationResultCache() : records_(std::make_unique<Records>()) {
  records_->set.get<kByForwardKey>().max_load_factor(kMaxLoadFactor);
  records_->set.get<kByInverseKey>().max_load_factor(kMaxLoadFactor);
}

CorrelationResultCache::~CorrelationResultCache() = default;

std::optional<vesklib_Timestamp> CorrelationResultCache::findForward(const std::string& sourceName,
                                                                     const std::string& otherName,
                                                                     const vesklib_Timestamp& timestamp) const {
  const auto& index = records_->set.get<kByForwardKey>();
  const auto found = index.find(CorrelationKey{sourceName, otherName, timestamp});
  if (found == index.end()) return std::nullopt;
  return found->otherTimestamp;
}

std::optional<vesklib_Timestamp> CorrelationResultCache::findInverse(const std::string& sourceName,
                                                                     const std::string& otherName,
                                                                     const vesklib_Timestamp& timestamp) const {
  const auto& index = records_->set.get<kByInverseKey>();
  const auto found = index.find(CorrelationKey{sourceName, otherName, timestamp});
  if (found == index.end()) return std::nullopt;
  return found->sourceTimestamp;
}

void CorrelationResultCache::evictOldestWhenFull(uint32_t limit) {
  auto& byAge = records_->set.get<kByAge>();
  if (!byAge.empty() && byAge.size() >= limit) byAge.pop_front();
}

bool CorrelationResultCache::insert(const CorrelationRecord& record) {
  return records_->set.get<kByAge>().push_back(record).second;
}

void CorrelationResultCache::clear() { records_->set.clear(); }

size_t CorrelationResultCache::size() const { return records_->set.size(); }

}  // namespace vesksapi
