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
