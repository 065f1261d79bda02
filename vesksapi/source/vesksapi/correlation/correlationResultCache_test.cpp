#include "vesksapi/correlation/correlationResultCache.h"

#include <gtest/gtest.h>

#include <string>

namespace vesksapi {
namespace {

TEST(PairNames, NormaliseTheUriTailAndNameTheHostLocalhost) {
  const struct {
    const char* uri;
    const char* tail;
    const char* name;
  } cases[] = {
      {"/10.0.0.2/veskwebs/timescales/pendulo/PTP-0/00-1B-21-FF", "00:1b:21:ff", "00:1b:21:ff"},
      {"/10.0.0.3/veskwebs/timescales/pendulo/tr/00:1b:21:ff", "00:1b:21:ff", "00:1b:21:ff"},
      {"/localhost/vesks/timescales/system", "system", "localhost"},
      {"localhost/vesks/timescales/system", "system", "system"},
      {"/localhost/vesks/timescales/system/", "", ""},
      {"No-Slash_AZ", "no:slash_az", "no:slash_az"},
      {"", "", ""},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(normaliseUriTail(entry.uri), entry.tail) << entry.uri;
    EXPECT_EQ(normalisedTimescaleName(entry.uri), entry.name) << entry.uri;
  }
}

TEST(PairNames, OneKeyForBothOrdersTheGreaterNameFirst) {
  const struct {
    const char* a;
    const char* b;
    const char* key;
  } cases[] = {
      {"localhost", "00:1b", "localhost00:1b"},
      {"ab", "a", "aba"},
      {"a", "a", "aa"},
      {"", "x", "x"},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(orderedPairKey(entry.a, entry.b), entry.key);
    EXPECT_EQ(orderedPairKey(entry.b, entry.a), entry.key);
  }
}

TEST(HashCorrelationKey, EveryPartOfTheKeyCounts) {
  const std::string a = "a";
  const std::string b = "b";
  const std::string c = "c";
  const vesklib_Timestamp base{1, 2, 3, false};
  const vesklib_Timestamp changed[] = {{9, 2, 3, false}, {1, 9, 3, false}, {1, 2, 9, false}, {1, 2, 3, true}};
  const size_t hash = hashCorrelationKey({a, b, base});
  EXPECT_EQ(hash, hashCorrelationKey({std::string("a"), std::string("b"), vesklib_Timestamp{1, 2, 3, false}}));
  EXPECT_NE(hash, hashCorrelationKey({b, a, base}));
  EXPECT_NE(hash, hashCorrelationKey({c, b, base}));
  EXPECT_NE(hash, hashCorrelationKey({a, c, base}));
  for (const vesklib_Timestamp& timestamp : changed) EXPECT_NE(hash, hashCorrelationKey({a, b, timestamp}));
}

vesklib_Timestamp at(int64_t seconds) { return vesklib_Timestamp{seconds, 100, 7, false}; }

bool same(const std::optional<vesklib_Timestamp>& found, const vesklib_Timestamp& expected) {
  return found && found->seconds == expected.seconds && found->nanos == expected.nanos &&
         found->fractionalNanos == expected.fractionalNanos && found->isNegative == expected.isNegative;
}

TEST(CorrelationResultCache, AnswersAQuestionAndItsReverse) {
  CorrelationResultCache cache;
  const vesklib_Timestamp question{10, 20, 30, true};
  const vesklib_Timestamp answer{40, 50, 60, false};
  ASSERT_TRUE(cache.insert({"host", question, "gm", answer}));

  EXPECT_TRUE(same(cache.findForward("host", "gm", question), answer));
  EXPECT_TRUE(same(cache.findInverse("gm", "host", answer), question));
  // The reverse question is not a forward record, nor the question an inverse one.
  EXPECT_FALSE(cache.findForward("gm", "host", answer));
  EXPECT_FALSE(cache.findInverse("host", "gm", question));
}

// Time stamps match in all four fields, names in both places.
TEST(CorrelationResultCache, MissesWhenAnyPartOfTheQuestionDiffers) {
  CorrelationResultCache cache;
  const vesklib_Timestamp question{10, 20, 30, true};
  ASSERT_TRUE(cache.insert({"host", question, "gm", at(1)}));
  const vesklib_Timestamp near[] = {{11, 20, 30, true}, {10, 21, 30, true}, {10, 20, 31, true}, {10, 20, 30, false}};
  for (const vesklib_Timestamp& timestamp : near) EXPECT_FALSE(cache.findForward("host", "gm", timestamp));
  EXPECT_FALSE(cache.findForward("host", "gm2", question));
  EXPECT_FALSE(cache.findForward("host2", "gm", question));
  EXPECT_TRUE(cache.findForward("host", "gm", question));
}

TEST(CorrelationResultCache, RefusesARecordWhoseForwardOrInverseKeyIsHeld) {
  CorrelationResultCache cache;
  ASSERT_TRUE(cache.insert({"host", at(1), "gm", at(2)}));
  EXPECT_FALSE(cache.insert({"host", at(1), "gm", at(3)}));  // the same question
  EXPECT_FALSE(cache.insert({"host", at(4), "gm", at(2)}));  // the same answer
  EXPECT_TRUE(cache.insert({"gm", at(2), "host", at(1)}));   // the reverse question itself
  EXPECT_EQ(cache.size(), 2u);
  EXPECT_TRUE(same(cache.findForward("host", "gm", at(1)), at(2)));
}

TEST(CorrelationResultCache, EvictsTheOldestRecordOnceTheLimitIsReached) {
  CorrelationResultCache cache;
  for (int64_t second = 0; second < 100; ++second) ASSERT_TRUE(cache.insert({"a", at(second), "b", at(-second)}));
  cache.evictOldestWhenFull(101);
  EXPECT_EQ(cache.size(), 100u);

  cache.evictOldestWhenFull(100);
  EXPECT_EQ(cache.size(), 99u);
  EXPECT_FALSE(cache.findForward("a", "b", at(0)));
  EXPECT_FALSE(cache.findInverse("b", "a", at(0)));
  EXPECT_TRUE(cache.findForward("a", "b", at(1)));

  // Insertion order, not the order of the keys: the next oldest goes next.
  ASSERT_TRUE(cache.insert({"a", at(-5), "b", at(500)}));
  cache.evictOldestWhenFull(1);
  EXPECT_FALSE(cache.findForward("a", "b", at(1)));
  EXPECT_TRUE(cache.findForward("a", "b", at(-5)));
  // The record evicted may be asked and stored again.
  EXPECT_TRUE(cache.insert({"a", at(0), "b", at(0)}));
}

TEST(CorrelationResultCache, ClearEmptiesBothLookups) {
  CorrelationResultCache cache;
  CorrelationResultCache empty;
  empty.evictOldestWhenFull(0);
  EXPECT_EQ(empty.size(), 0u);

  ASSERT_TRUE(cache.insert({"a", at(1), "b", at(2)}));
  cache.clear();
  EXPECT_EQ(cache.size(), 0u);
  EXPECT_FALSE(cache.findForward("a", "b", at(1)));
  EXPECT_FALSE(cache.findInverse("b", "a", at(2)));
  EXPECT_TRUE(cache.insert({"a", at(1), "b", at(2)}));
}

}  // namespace
}  // namespace vesksapi
