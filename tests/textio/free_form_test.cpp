// Free-form output: record blank, separators and the spelling of reals.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "support/bits.h"
#include "support/spelling.h"
#include "textio/textio.h"

namespace {

using textio::Out;

std::string spell(double v) {
  std::string s;
  textio::append_real(s, v);
  return s;
}
std::string spell(float v) {
  std::string s;
  textio::append_real(s, v);
  return s;
}
std::string record(std::initializer_list<Out> values) {
  return textio::free_record(std::span<const Out>(values.begin(), values.size()));
}

TEST(FreeFormReal, DoublePlacement) {
  const support::Spelling<double> cases[] = {
      {1.5, "1.5"},
      {2.0, "2."},
      {100.0, "100."},
      {1234567.0, "1234567."},
      {1234567.5, "1234567.5"},
      {0.0, "0."},
      {-0.0, "-0."},
      {0.05, "0.05"},
      {0.1, "0.1"},
      {1.5e-6, "0.0000015"},
      {1e-6, "0.000001"},
      {9.999e-7, "9.999E-7"},
      {12345678.0, "1.2345678E+7"},
      {1e7, "1.E+7"},
      {2.0e7, "2.E+7"},
      {1.5e-7, "1.5E-7"},
      {-2.5, "-2.5"},
      {-12345678.0, "-1.2345678E+7"},
      {1.0 / 3.0, "0.3333333333333333"},
      {123.456, "123.456"},
      {1e100, "1.E+100"},
      {1.7976931348623157e308, "1.7976931348623157E+308"},
      {4.9406564584124654e-324, "5.E-324"},
      {-2.2250738585072014e-308, "-2.2250738585072014E-308"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {-std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {std::numeric_limits<double>::infinity(), "Infinity"},
      {-std::numeric_limits<double>::infinity(), "-Infinity"},
  };
  support::expect_spellings<double>(cases, [](double v) { return spell(v); });
}

TEST(FreeFormReal, SinglePlacement) {
  const support::Spelling<float> cases[] = {
      {0.1f, "0.1"},
      {1.0f / 3.0f, "0.33333334"},
      {0.0f, "0."},
      {-0.0f, "-0."},
      {1.0f, "1."},
      {-2.5f, "-2.5"},
      {16777216.0f, "1.6777216E+7"},
      {3.4028235e38f, "3.4028235E+38"},
      {1e-45f, "1.E-45"},
      {0.0065f, "0.0065"},
      {std::numeric_limits<float>::infinity(), "Infinity"},
      {std::numeric_limits<float>::quiet_NaN(), "NaN"},
  };
  support::expect_spellings<float>(cases, [](float v) { return spell(v); });
}

TEST(FreeFormRecord, BlanksBetweenValues) {
  EXPECT_EQ(record({0.1f}), " 0.1");
  EXPECT_EQ(record({0.1}), " 0.1");
  EXPECT_EQ(record({1.0f / 3.0f}), " 0.33333334");
  EXPECT_EQ(record({"  facet normal", 0.0f, 1.0f, -2.5f}), "   facet normal 0. 1. -2.5");
  EXPECT_EQ(record({}), "");
  EXPECT_EQ(record({std::int64_t{0}}), " 0");
  EXPECT_EQ(record({std::int64_t{-42}, std::int32_t{7}}), " -42 7");
  EXPECT_EQ(record({std::numeric_limits<std::int64_t>::min()}), " -9223372036854775808");
  // Two character values touch; a number between them separates.
  EXPECT_EQ(record({"ab", "cd", 1.0, "e", "f "}), " abcd 1. ef ");
  EXPECT_EQ(record({"Optimizing of geometry. Please wait..."}),
            " Optimizing of geometry. Please wait...");
  EXPECT_EQ(record({""}), " ");
  EXPECT_EQ(record({1.0, 2.5, -3.0, 0.125}), " 1. 2.5 -3. 0.125");
  const std::string stored = "kept  ";
  EXPECT_EQ(record({stored, 2.0f}), " kept   2.");
}

// Every finite value written free-form reads back as the same bits.
TEST(FreeFormReal, DoubleRoundTrip) {
  std::mt19937_64 rng(20240611);
  int checked = 0;
  while (checked < 200000) {
    const double v = std::bit_cast<double>(rng());
    if (!std::isfinite(v)) continue;
    ++checked;
    double back = 0.0;
    const std::string text = spell(v);
    ASSERT_EQ(textio::parse_real(text, back), textio::ReadError::None) << text;
    ASSERT_SAME_BITS(back, v) << text << " " << std::hexfloat << v;
  }
  // Values of ordinary size, where the fixed placements are used.
  std::uniform_real_distribution<double> u(-8.0, 8.0);
  for (int k = 0; k < 100000; ++k) {
    const double v = std::pow(10.0, u(rng)) * (k % 2 ? -1 : 1);
    double back = 0.0;
    const std::string text = spell(v);
    ASSERT_EQ(textio::parse_real(text, back), textio::ReadError::None) << text;
    ASSERT_SAME_BITS(back, v) << text;
  }
}

TEST(FreeFormReal, SingleRoundTrip) {
  std::mt19937 rng(7);
  int checked = 0;
  while (checked < 200000) {
    const float v = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    if (!std::isfinite(v)) continue;
    ++checked;
    float back = 0.0f;
    const std::string text = spell(v);
    ASSERT_EQ(textio::parse_real(text, back), textio::ReadError::None) << text;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(v)) << text;
  }
}

// Whole records: written, then read back by a free-form read of the same kinds.
TEST(FreeFormRecord, RecordRoundTrip) {
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> u(-1e3, 1e3);
  for (int k = 0; k < 2000; ++k) {
    const double a = u(rng), b = u(rng) * 1e-9, c = u(rng) * 1e9;
    const float f = static_cast<float>(u(rng));
    const std::int64_t n = static_cast<std::int64_t>(rng());
    std::istringstream in(record({a, b, c, f, n}) + "\r\n");
    textio::StreamSource src(in);
    double a2 = 0, b2 = 0, c2 = 0;
    float f2 = 0;
    std::int64_t n2 = 0;
    const textio::In items[] = {a2, b2, c2, f2, n2};
    int item = -1;
    ASSERT_EQ(textio::read_list(src, items, item), textio::ReadError::None);
    EXPECT_SAME_BITS(a2, a);
    EXPECT_SAME_BITS(b2, b);
    EXPECT_SAME_BITS(c2, c);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(f2), std::bit_cast<std::uint32_t>(f));
    EXPECT_EQ(n2, n);
  }
}

}  // namespace
