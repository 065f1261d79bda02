#include "vesklib/decimal.h"

#include <cinttypes>
#include <cstdio>
#include <ios>
#include <string>

#include "qzerr/errorDetail.h"

namespace vesklib {

namespace {

constexpr uint32_t kMaxNanos = 999999999;
constexpr int kRenderedFractionDigits = 15;
constexpr size_t kNanosDigits = 9;

// 2^64: the first magnitude whose whole seconds no record can hold.
const Decimal& secondsLimit() {
  static const Decimal limit = Decimal("18446744073709551615") + 1;
  return limit;
}

}  // namespace

void secondsNanosecondsToDecimal(const vesklib_Timestamp& timestamp, Decimal* value) {
  const uint32_t nanos = static_cast<uint32_t>(timestamp.nanos);
  if (nanos > kMaxNanos) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel("qzsyncdomain_debug", "Nano seconds field greater than 1e+9")
        .raise();
  }
  // Sign, 20 digits, point, 9 digits and the NUL.
  char text[32];
  snprintf(text, sizeof text, "%c%" PRIu64 ".%09" PRIu32, timestamp.isNegative ? '-' : '+',
           static_cast<uint64_t>(timestamp.seconds), nanos);
  *value = Decimal(text);
}

void decimalToTimestamp(const Decimal& value, vesklib_Timestamp* timestamp) {
  if (boost::multiprecision::isnan(value)) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel("qzsyncdomain_debug", "The input timestamp is NaN")
        .raise();
  }
  if (boost::multiprecision::abs(value) >= secondsLimit()) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel("qzsyncdomain_debug", "Exceeded the max vesklib_Timestamp value")
        .raise();
  }
  std::string magnitude = value.str(kRenderedFractionDigits, std::ios_base::fixed);
  if (!magnitude.empty() && magnitude[0] == '-') magnitude.erase(0, 1);

  vesklib_Timestamp result{};
  result.isNegative = value < 0;
  const size_t point = magnitude.find('.');
  // stoull throws std::out_of_range when the rounding reached 2^64.
  result.seconds = static_cast<int64_t>(std::stoull(magnitude.substr(0, point)));
  if (point != std::string::npos) {
    result.nanos = static_cast<int32_t>(std::stoul(magnitude.substr(point + 1, kNanosDigits)));
  }
  *timestamp = result;
}

}  // namespace vesklib
