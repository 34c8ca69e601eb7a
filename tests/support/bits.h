// Bit-exact comparison of doubles for the tests: equal only when every bit is equal, with both
// values printed as hex float and decimal on failure.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace support {

// A double as hex float (the exact bits) and as 17 significant digits.
inline std::string describe(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a (%.17g)", v, v);
  return buf;
}

// The bits of a double, for comparisons that print their own message.
inline std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// Same bits.
inline ::testing::AssertionResult same_bits(double actual, double expected) {
  if (std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "got " << describe(actual) << ", expected " << describe(expected);
}

// Same bits, or both NaN (whatever their payloads).
inline ::testing::AssertionResult same_bits_or_nan(double actual, double expected) {
  if (std::isnan(actual) && std::isnan(expected)) return ::testing::AssertionSuccess();
  return same_bits(actual, expected);
}

}  // namespace support

// Bit-for-bit comparison of two doubles, printing both as hex float and decimal on failure.
#define EXPECT_SAME_BITS(actual, expected) EXPECT_TRUE(::support::same_bits((actual), (expected)))
#define ASSERT_SAME_BITS(actual, expected) ASSERT_TRUE(::support::same_bits((actual), (expected)))
