// Free-form input: value readers and reads across records.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>

#include "support/bits.h"
#include "textio/textio.h"

namespace {

using textio::In;
using textio::ReadError;

// Sentinels that show an item left unchanged.
constexpr double kKeep = -777.0;
constexpr std::int64_t kKeepInt = -777;

struct ReadResult {
  ReadError error;
  int item;
  std::string rest;  // the records left after the read
};

ReadResult run(const std::string& input, std::span<const In> items) {
  std::istringstream in(input);
  textio::StreamSource src(in);
  ReadResult r{};
  r.error = textio::read_list(src, items, r.item);
  std::string line;
  while (src.next_record(line)) r.rest += line + "|";
  return r;
}

TEST(ReadList, RealsIntoDoubles) {
  struct Case {
    const char* input;
    double a, b, c;  // expected values; kKeep: unchanged
    const char* rest;
  };
  const Case cases[] = {
      {"1 2 3", 1, 2, 3, ""},
      {"1.5d3, .5, 3.", 1500, 0.5, 3, ""},
      {"1.5D-2,1.5e3,1.5E+3", 0.015, 1500, 1500, ""},
      {"+2.5 -2.5 -0", 2.5, -2.5, -0.0, ""},
      {"3*2.", 2, 2, 2, ""},
      {"2*2. 7", 2, 2, 7, ""},
      {"5*1.25\nnext", 1.25, 1.25, 1.25, "next|"},  // a count beyond the items fills them
      {"1 /", 1, kKeep, kKeep, ""},
      {"/ 1 2 3", kKeep, kKeep, kKeep, ""},
      {"1,,3", 1, kKeep, 3, ""},
      {",2,,", kKeep, 2, kKeep, ""},
      {",2,\n/", kKeep, 2, kKeep, ""},
      {"1 , , 3", 1, kKeep, 3, ""},
      {"2* 3", kKeep, kKeep, 3, ""},
      {"1,2*,", 1, kKeep, kKeep, ""},
      {"1\t2\t\t3", 1, 2, 3, ""},
      {"1\r\n2\r\n3\r\nrest", 1, 2, 3, "rest|"},
      {"\n\n1\n\n2 3 4 5\nrest", 1, 2, 3, "rest|"},
      {"1,\n2\n,3", 1, 2, 3, ""},  // a comma at a line end or start separates once
      {"1 2/junk", 1, 2, kKeep, ""},
      {"1 2 3 junk, ***\nnext", 1, 2, 3, "next|"},
      {"1e-400 -1e-400 1e-310", 0, -0.0, 1e-310, ""},  // below the subnormals: zero
      {"12345678901234567890123 0.1000000000000000055511151231257827 1", 1.2345678901234568e22, 0.1,
       1, ""},
  };
  for (const Case& c : cases) {
    double a = kKeep, b = kKeep, c3 = kKeep;
    const In items[] = {a, b, c3};
    const ReadResult r = run(c.input, items);
    ASSERT_EQ(r.error, ReadError::None) << c.input;
    EXPECT_SAME_BITS(a, c.a) << c.input;
    EXPECT_SAME_BITS(b, c.b) << c.input;
    EXPECT_SAME_BITS(c3, c.c) << c.input;
    EXPECT_EQ(r.rest, c.rest) << c.input;
  }
}

TEST(ReadList, Integers) {
  struct Case {
    const char* input;
    std::int64_t a, b;
    const char* rest;
  };
  const Case cases[] = {
      {"3, 4", 3, kKeepInt, ""},  // one item: the rest of the line is discarded
      {"3\n4", 3, 4, ""},
      {"+7 -0", 7, 0, ""},
      {"9223372036854775807 -9223372036854775808", std::numeric_limits<std::int64_t>::max(),
       std::numeric_limits<std::int64_t>::min(), ""},
      {"007,-010", 7, -10, ""},
  };
  for (const Case& c : cases) {
    std::int64_t a = kKeepInt, b = kKeepInt;
    const bool one = std::string_view(c.input) == "3, 4";
    const In both[] = {a, b};
    const ReadResult r = run(c.input, std::span<const In>(both, one ? 1 : 2));
    ASSERT_EQ(r.error, ReadError::None) << c.input;
    EXPECT_EQ(a, c.a) << c.input;
    EXPECT_EQ(b, c.b) << c.input;
    EXPECT_EQ(r.rest, c.rest) << c.input;
  }
  std::int32_t choice = -1;
  const In menu[] = {choice};
  EXPECT_EQ(run("2147483647", menu).error, ReadError::None);
  EXPECT_EQ(choice, 2147483647);
  EXPECT_EQ(run("-2147483648", menu).error, ReadError::None);
  EXPECT_EQ(choice, -2147483648);
}

TEST(ReadList, BadValuesNameTheirItem) {
  struct Case {
    const char* input;
    ReadError error;
    int item;
  };
  // Items: int64, double, int32, float.
  const Case cases[] = {
      {"1.5 2 3 4", ReadError::BadInteger, 1},
      {"x 2 3 4", ReadError::BadInteger, 1},
      {"1 abc 3 4", ReadError::BadReal, 2},
      {"1 2 3. 4", ReadError::BadInteger, 3},
      {"1 2 2147483648 4", ReadError::BadInteger, 3},
      {"1 2 -2147483649 4", ReadError::BadInteger, 3},
      {"9223372036854775808 2 3 4", ReadError::BadInteger, 1},
      {"99999999999999999999 2 3 4", ReadError::BadInteger, 1},
      {"1 inf 3 4", ReadError::BadReal, 2},
      {"1 nan 3 4", ReadError::BadReal, 2},
      {"1 2 3 infinity", ReadError::BadReal, 4},
      {"1 Infinity 3 4", ReadError::BadReal, 2},
      {"1 1e999 3 4", ReadError::BadReal, 2},
      {"1 2 3 1e39", ReadError::BadReal, 4},  // beyond single precision
      {"1 2 3 -4e38", ReadError::BadReal, 4},
      {"1 1.5e 3 4", ReadError::BadReal, 2},
      {"1 1.5e+ 3 4", ReadError::BadReal, 2},
      {"1 . 3 4", ReadError::BadReal, 2},
      {"1 - 3 4", ReadError::BadReal, 2},
      {"- 2 3 4", ReadError::BadInteger, 1},
      {"1 0x10 3 4", ReadError::BadReal, 2},
      {"1 1.5+3 3 4", ReadError::BadReal, 2},
      {"1 2*x 3 4", ReadError::BadReal, 2},
      {"1 0*2 3 4", ReadError::BadReal, 2},
      {"1 *2 3 4", ReadError::BadReal, 2},
      {"1 2 3*1.5", ReadError::BadInteger, 3},
      {"1 2 3 4e", ReadError::BadReal, 4},
      {"1 2 3", ReadError::EndOfFile, 4},
      {"1\n\n2\n", ReadError::EndOfFile, 3},
      {"", ReadError::EndOfFile, 1},
      {"1 2 3 'x'", ReadError::BadReal, 4},
  };
  for (const Case& c : cases) {
    std::int64_t n = 0;
    double d = 0;
    std::int32_t m = 0;
    float f = 0;
    const In items[] = {n, d, m, f};
    const ReadResult r = run(c.input, items);
    EXPECT_EQ(r.error, c.error) << c.input;
    EXPECT_EQ(r.item, c.item) << c.input;
  }
}

TEST(ReadList, SinglePrecisionComesStraightFromTheText) {
  float f = 0;
  const In items[] = {f};
  // 1.00000005960464477539062500001 is above the halfway point 1 + 2^-24: rounds up to 1+2^-23.
  // Through a double it would first become exactly 1 + 2^-24 and then tie to even, giving 1.
  ASSERT_EQ(run("1.00000005960464477539062500001", items).error, ReadError::None);
  EXPECT_EQ(f, 1.0f + 0x1p-23f);
  ASSERT_EQ(run("0.33333334", items).error, ReadError::None);
  EXPECT_EQ(f, 1.0f / 3.0f);
  ASSERT_EQ(run("1e-46", items).error, ReadError::None);
  EXPECT_EQ(f, 0.0f);
}

TEST(ParseReal, LimitsOfTheTypes) {
  struct Case {
    const char* text;
    ReadError d_error;
    double d;
    ReadError f_error;
    float f;
  };
  constexpr ReadError ok = ReadError::None, bad = ReadError::BadReal;
  const Case cases[] = {
      {"3.4028235e38", ok, 3.4028235e38, ok, 3.4028235e38f},
      {"3.40282357e38", ok, 3.40282357e38, bad, 0},  // past the float halfway to 2^128
      {"-3.40282357e38", ok, -3.40282357e38, bad, 0},
      {"1.7976931348623158e308", ok, 1.7976931348623157e308, bad, 0},
      {"1.797693134862316e308", bad, 0, bad, 0},
      {"1e99999999999999999999", bad, 0, bad, 0},
      {"0.0001e309", ok, 1e305, bad, 0},
      {"7.1e-46", ok, 7.1e-46, ok, 0x1p-149f},  // rounds up to the smallest subnormal
      {"7e-46", ok, 7e-46, ok, 0.0f},           // rounds down to zero
      {"-7e-46", ok, -7e-46, ok, -0.0f},
      {"2.48e-324", ok, 0x1p-1074, ok, 0.0f},
      {"2.47e-324", ok, 0.0, ok, 0.0f},
      {"-100000e-330", ok, -0.0, ok, -0.0f},
      {"1e-99999999999999999999", ok, 0.0, ok, 0.0f},
  };
  for (const Case& c : cases) {
    double d = kKeep;
    float f = -777.0f;
    EXPECT_EQ(textio::parse_real(c.text, d), c.d_error) << c.text;
    EXPECT_EQ(textio::parse_real(c.text, f), c.f_error) << c.text;
    if (c.d_error == ok) {
      EXPECT_SAME_BITS(d, c.d) << c.text;
    } else {
      EXPECT_EQ(d, kKeep) << c.text;  // left unchanged
    }
    if (c.f_error == ok) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(f), std::bit_cast<std::uint32_t>(c.f)) << c.text;
    } else {
      EXPECT_EQ(f, -777.0f) << c.text;
    }
  }
}

TEST(ReadList, EmptyReadTakesOneRecord) {
  const ReadResult r = run("a b c\nnext", {});
  EXPECT_EQ(r.error, ReadError::None);
  EXPECT_EQ(r.rest, "next|");
  EXPECT_EQ(run("", {}).error, ReadError::EndOfFile);
}

TEST(ReadList, LastLineWithoutLineEnd) {
  double a = 0, b = 0;
  const In items[] = {a, b};
  const ReadResult r = run("1\r\n2", items);
  EXPECT_EQ(r.error, ReadError::None);
  EXPECT_EQ(a, 1.0);
  EXPECT_EQ(b, 2.0);
}

// The readers agree to the last bit with the C library's correctly rounded conversions on
// random decimal texts of every accepted shape (d/D exponents rewritten for strtod).
TEST(ParseReal, AgreesWithStrtodAndStrtof) {
  std::mt19937_64 rng(12345);
  auto digits = [&](int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += static_cast<char>('0' + rng() % 10);
    return s;
  };
  for (int k = 0; k < 100000; ++k) {
    std::string text;
    if (rng() % 3 == 0) text += rng() % 2 ? "-" : "+";
    const int shape = static_cast<int>(rng() % 4);
    if (shape == 0) text += digits(1 + static_cast<int>(rng() % 20));
    if (shape == 1) text += digits(1 + static_cast<int>(rng() % 10)) + ".";
    if (shape == 2) text += "." + digits(1 + static_cast<int>(rng() % 20));
    if (shape == 3) {
      text += digits(1 + static_cast<int>(rng() % 10)) + "." + digits(static_cast<int>(rng() % 20));
    }
    std::string c_text = text;
    if (rng() % 2) {
      const char letters[] = {'e', 'E', 'd', 'D'};
      const char letter = letters[rng() % 4];
      const int e = static_cast<int>(rng() % 90) - 45;
      const std::string exp = (e < 0 ? "-" : (rng() % 2 ? "+" : "")) + std::to_string(std::abs(e));
      text += letter + exp;
      c_text += "e" + exp;
    }
    double d = 0;
    float f = 0;
    ASSERT_EQ(textio::parse_real(text, d), ReadError::None) << text;
    const double d_ref = std::strtod(c_text.c_str(), nullptr);
    const float f_ref = std::strtof(c_text.c_str(), nullptr);
    ASSERT_SAME_BITS(d, d_ref) << text;
    if (std::isinf(f_ref)) {  // beyond single precision: cannot be held
      ASSERT_EQ(textio::parse_real(text, f), ReadError::BadReal) << text;
    } else {
      ASSERT_EQ(textio::parse_real(text, f), ReadError::None) << text;
      ASSERT_EQ(std::bit_cast<std::uint32_t>(f), std::bit_cast<std::uint32_t>(f_ref)) << text;
    }
  }
}

// Arbitrary text never breaks a read: it ends in a value, an error naming an item of the read,
// or the end of the input.
TEST(ReadList, ArbitraryTextIsHandled) {
  std::mt19937 rng(3);
  const std::string alphabet = "0123456789+-.eEdD*/, \t\r\nxi";
  for (int k = 0; k < 20000; ++k) {
    std::string input;
    const int n = static_cast<int>(rng() % 40);
    for (int c = 0; c < n; ++c) input += alphabet[rng() % alphabet.size()];
    std::int64_t a = 0;
    double b = 0;
    std::int32_t c3 = 0;
    float d = 0;
    const In items[] = {a, b, c3, d};
    const ReadResult r = run(input, items);
    if (r.error == ReadError::None) {
      EXPECT_EQ(r.item, 0) << input;
    } else {
      EXPECT_GE(r.item, 1) << input;
      EXPECT_LE(r.item, 4) << input;
    }
  }
}

TEST(ReadErrorText, Wording) {
  EXPECT_EQ(textio::read_error_text(ReadError::BadInteger, 1),
            "Bad integer for item 1 in list input");
  EXPECT_EQ(textio::read_error_text(ReadError::BadReal, 3),
            "Bad real number in item 3 of list input");
  EXPECT_EQ(textio::read_error_text(ReadError::EndOfFile, 2), "End of file");
}

}  // namespace
