#include "vesklib/decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>

#include "qzerr/exception.h"

namespace vesklib {
namespace {

constexpr int64_t kMaxSeconds = static_cast<int64_t>(std::numeric_limits<uint64_t>::max());
// What an output holds before a conversion, to see whether it was written.
constexpr vesklib_Timestamp kUntouched{11, 22, 33, true};
const char* const kUntouchedDecimal = "12345";

enum class Direction { kToDecimal, kToTimestamp, kRoundTrip };
enum class Outcome { kConverts, kInvalidParameter, kOutOfRange };

struct Case {
  const char* name;
  Direction direction;
  vesklib_Timestamp record;  // the input, or for kToTimestamp the expected output
  const char* decimal;       // the input for kToTimestamp, else the expected output
  Outcome outcome;
  const char* message;  // of kInvalidParameter
};

constexpr Direction kToDecimal = Direction::kToDecimal;
constexpr Direction kToTimestamp = Direction::kToTimestamp;
constexpr Direction kRoundTrip = Direction::kRoundTrip;
constexpr Outcome kConverts = Outcome::kConverts;
constexpr Outcome kInvalid = Outcome::kInvalidParameter;
constexpr vesklib_Timestamp kNone{};
const char* const kNanosMessage = "Nano seconds field greater than 1e+9";
const char* const kNanMessage = "The input timestamp is NaN";
const char* const kMaxMessage = "Exceeded the max vesklib_Timestamp value";

const Case kCases[] = {
    {"Positive", kToDecimal, {5, 7, 0, false}, "5.000000007", kConverts, nullptr},
    {"Negative", kToDecimal, {5, 7, 0, true}, "-5.000000007", kConverts, nullptr},
    {"LargestNanos", kToDecimal, {0, 999999999, 0, false}, "0.999999999", kConverts, nullptr},
    {"FractionalNanosIgnored", kToDecimal, {1, 2, 500, false}, "1.000000002", kConverts, nullptr},
    {"SecondsReadUnsigned", kToDecimal, {kMaxSeconds, 999999999, 0, false},
     "18446744073709551615.999999999", kConverts, nullptr},
    {"NegativeZeroIsZero", kToDecimal, {0, 0, 0, true}, "0", kConverts, nullptr},
    {"NanosOfOneSecond", kToDecimal, {0, 1000000000, 0, false}, nullptr, kInvalid, kNanosMessage},
    {"NegativeNanos", kToDecimal, {0, -1, 0, false}, nullptr, kInvalid, kNanosMessage},

    {"WholeNumber", kToTimestamp, {42, 0, 0, false}, "42", kConverts, nullptr},
    {"CutAfterNineDigits", kToTimestamp, {1, 0, 0, false}, "1.0000000009", kConverts, nullptr},
    {"RoundingCarriesIntoNanos", kToTimestamp, {0, 2, 0, false}, "0.0000000019999999999", kConverts,
     nullptr},
    {"SixteenthDigitBelowHalfNoCarry", kToTimestamp, {0, 2, 0, false}, "0.0000000029999994",
     kConverts, nullptr},
    {"RoundingCarriesIntoSeconds", kToTimestamp, {1, 0, 0, true}, "-0.9999999999999996", kConverts,
     nullptr},
    {"NegativeValue", kToTimestamp, {2, 500000000, 0, true}, "-2.5", kConverts, nullptr},
    {"PositiveValueClearsSign", kToTimestamp, {2, 500000000, 0, false}, "2.5", kConverts, nullptr},
    {"TinyNegativeKeepsSign", kToTimestamp, {0, 0, 0, true}, "-0.0000000000000001", kConverts, nullptr},
    {"NegativeZeroIsPositive", kToTimestamp, {0, 0, 0, false}, "-0", kConverts, nullptr},
    {"LargestSeconds", kToTimestamp, {kMaxSeconds, 999999999, 0, false}, "18446744073709551615.9999999994",
     kConverts, nullptr},
    {"TwoToThe64", kToTimestamp, kNone, "18446744073709551616", kInvalid, kMaxMessage},
    {"MinusTwoToThe64", kToTimestamp, kNone, "-18446744073709551616", kInvalid, kMaxMessage},
    {"Infinity", kToTimestamp, kNone, "inf", kInvalid, kMaxMessage},
    {"MinusInfinity", kToTimestamp, kNone, "-inf", kInvalid, kMaxMessage},
    {"NaN", kToTimestamp, kNone, "nan", kInvalid, kNanMessage},
    {"RoundingReachesTwoToThe64", kToTimestamp, kNone, "18446744073709551615.9999999999999995",
     Outcome::kOutOfRange, nullptr},

    {"RoundTripPositive", kRoundTrip, {5, 7, 123, false}, nullptr, kConverts, nullptr},
    {"RoundTripNegative", kRoundTrip, {1700000000, 123456789, 0, true}, nullptr, kConverts, nullptr},
    {"RoundTripLargest", kRoundTrip, {kMaxSeconds, 999999999, 9, true}, nullptr, kConverts, nullptr},
    {"RoundTripZero", kRoundTrip, {0, 0, 0, false}, nullptr, kConverts, nullptr},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

auto fields(const vesklib_Timestamp& t) {
  return std::make_tuple(t.seconds, t.nanos, t.fractionalNanos, t.isNegative);
}

// Runs the case's conversion; the outputs are only written by a conversion.
void convert(const Case& c, Decimal* decimal, vesklib_Timestamp* timestamp) {
  switch (c.direction) {
    case Direction::kToDecimal:
      secondsNanosecondsToDecimal(c.record, decimal);
      return;
    case Direction::kToTimestamp:
      decimalToTimestamp(Decimal(c.decimal), timestamp);
      return;
    case Direction::kRoundTrip:
      secondsNanosecondsToDecimal(c.record, decimal);
      decimalToTimestamp(*decimal, timestamp);
      return;
  }
}

class DecimalConversion : public testing::TestWithParam<Case> {};

TEST_P(DecimalConversion, MatchesTable) {
  const Case& c = GetParam();
  Decimal decimal(kUntouchedDecimal);
  vesklib_Timestamp timestamp = kUntouched;

  switch (c.outcome) {
    case Outcome::kInvalidParameter:
      try {
        convert(c, &decimal, &timestamp);
        ADD_FAILURE() << "no exception";
      } catch (const qzerr::Exception& e) {
        EXPECT_EQ(e.status().code, -52005);
        const std::string detail = e.what();
        EXPECT_NE(detail.find("\"error_constant\":\"qzkormerr_invalidParameter\",\"file\":\"decimal\""),
                  std::string::npos) << detail;
        EXPECT_NE(detail.find(std::string("\"qzsyncdomain_debug\":{\"message\":\"") + c.message + "\"}"),
                  std::string::npos) << detail;
      }
      break;
    case Outcome::kOutOfRange:
      EXPECT_THROW(convert(c, &decimal, &timestamp), std::out_of_range);
      break;
    case Outcome::kConverts:
      convert(c, &decimal, &timestamp);
      break;
  }

  if (c.outcome != Outcome::kConverts) {
    EXPECT_EQ(decimal, Decimal(kUntouchedDecimal));
    EXPECT_EQ(fields(timestamp), fields(kUntouched));
  } else if (c.direction == Direction::kToDecimal) {
    EXPECT_EQ(decimal, Decimal(c.decimal)) << decimal.str(40);
  } else {
    vesklib_Timestamp expected = c.record;
    expected.fractionalNanos = 0;
    EXPECT_EQ(fields(timestamp), fields(expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, DecimalConversion, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace vesklib
