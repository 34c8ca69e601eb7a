#include "util/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(Shortest, ReadsBackAsTheSameDouble) {
  for (double v : {0.15, 1.5, 20.0, -1.5, 1e-5, 0.1 + 0.2, 123456789.125}) {
    const std::string t = number_text::shortest(v);
    EXPECT_EQ(std::stod(t), v) << t;
  }
  EXPECT_EQ(number_text::shortest(20.0), "20");
  EXPECT_EQ(number_text::shortest(0.15), "0.15");
}

TEST(Fixed, LocaleFreeDecimalsWithoutNegativeZero) {
  struct Case {
    double v;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {1234.5, 2, "1234.50"},
      {-3.14159, 3, "-3.142"},
      {-0.004, 2, "0.00"},
      {-0.0, 0, "0"},
      {0.125, 2, "0.12"},  // the binary value 0.125 is a tie, broken to even
      {1e21, 0, "1000000000000000000000"},
      {std::nan(""), 2, "n/a"},
      {std::numeric_limits<double>::infinity(), 1, "inf"},
  };
  for (const Case& c : cases) EXPECT_EQ(number_text::fixed(c.v, c.decimals), c.text) << c.v;
}

}  // namespace
