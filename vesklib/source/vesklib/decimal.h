// Decimal: the exact decimal number of the timestamp conversions and the
// linear regression, and the two conversions between it and a
// vesklib_Timestamp. Both conversions are pure and report a value they cannot
// convert by throwing qzerr::Exception; the output is then left untouched.
#pragma once

#include <boost/multiprecision/cpp_dec_float.hpp>

#include "vesklib/timestamp.h"

namespace vesklib {

// Any digit count from 9 to 16 gives the backend five limbs of eight digits
// (40 digits held, 32-bit exponent), so every such count computes alike.
using Decimal = boost::multiprecision::number<boost::multiprecision::cpp_dec_float<16>>;
static_assert(Decimal::backend_type::cpp_dec_float_total_digits10 == 5 * 8,
              "Decimal must hold five limbs of eight digits");

// The exact value of the record; fractionalNanos takes no part. Throws -52005
// when nanos, read unsigned, exceeds 999,999,999.
void secondsNanosecondsToDecimal(const vesklib_Timestamp& timestamp, Decimal* value);

// Rounds the value at the 15th fractional digit, then cuts the magnitude
// toward zero at the nanosecond; fractionalNanos becomes 0. Throws -52005 for
// NaN and for a magnitude of 2^64 or more (infinities included), and
// std::out_of_range when only the rounding carries the value up to 2^64.
void decimalToTimestamp(const Decimal& value, vesklib_Timestamp* timestamp);

}  // namespace vesklib
