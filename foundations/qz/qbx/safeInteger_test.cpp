#include "qz/qbx/safeInteger.h"

#include <gtest/gtest.h>

#include <functional>

#include "qz/qbx/exception.h"
#include "qz/qbx/numericCast.h"

namespace qz::qbx {
namespace {

struct RangeCase {
  const char* name;
  std::function<uint32_t()> operation;
  const char* file;  // null: the operation succeeds
  int32_t line;
  uint32_t result;
};

TEST(QbxSafeInteger, OutOfRangeNamesItsSiteAndGoodValuesPass) {
  const RangeCase cases[] = {
      {"narrow 2^32", [] { return numericCastToUint32(0x100000000ull); }, "./qz/qbx/NumericCast", 67, 0},
      {"narrow max", [] { return numericCastToUint32(0xffffffffull); }, nullptr, 0, 0xffffffffu},
      {"add overflow", [] { return safeAdd(0xffffffffu, 1); }, "./qz/qbx/SafeInteger", 125, 0},
      {"add fits", [] { return safeAdd(0xfffffffeu, 1); }, nullptr, 0, 0xffffffffu},
      {"multiply overflow", [] { return safeMultiply(0x40000000u, 4); }, "./qz/qbx/SafeInteger", 163, 0},
      {"multiply fits", [] { return safeMultiply(0x3fffffffu, 4); }, nullptr, 0, 0xfffffffcu},
      {"negative", [] { return safeToUnsigned(-1); }, "./qz/qbx/SafeInteger", 194, 0},
      {"non-negative", [] { return safeToUnsigned(0x7fffffff); }, nullptr, 0, 0x7fffffffu},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.file == nullptr) {
      EXPECT_EQ(c.operation(), c.result);
      continue;
    }
    try {
      c.operation();
      ADD_FAILURE() << "no exception";
    } catch (const exception::OutOfRange& e) {
      EXPECT_STREQ(e.file(), c.file);
      EXPECT_EQ(e.line(), c.line);
    }
  }
}

}  // namespace
}  // namespace qz::qbx
