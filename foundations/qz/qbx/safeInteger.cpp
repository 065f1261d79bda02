#include "qz/qbx/safeInteger.h"

#include "qz/qbx/exception.h"

namespace qz::qbx {
namespace {

// Reports keep the same site names whatever the build calls this file.
constexpr char kSiteFile[] = "./qz/qbx/SafeInteger";
constexpr int32_t kAddLine = 125;
constexpr int32_t kMultiplyLine = 163;
constexpr int32_t kNegativeLine = 194;

}  // namespace

uint32_t safeAdd(uint32_t a, uint32_t b) {
  uint32_t sum;
  if (__builtin_add_overflow(a, b, &sum)) throw exception::OutOfRange(kSiteFile, kAddLine);
  return sum;
}

uint32_t safeMultiply(uint32_t a, uint32_t b) {
  uint32_t product;
  if (__builtin_mul_overflow(a, b, &product)) throw exception::OutOfRange(kSiteFile, kMultiplyLine);
  return product;
}

uint32_t safeToUnsigned(int32_t value) {
  if (value < 0) throw exception::OutOfRange(kSiteFile, kNegativeLine);
  return static_cast<uint32_t>(value);
}

}  // namespace qz::qbx
