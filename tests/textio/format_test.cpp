// Records laid out by format literals.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "textio/textio.h"

namespace {

using textio::Out;

textio::Formatted fmt(std::string_view format, std::initializer_list<Out> values) {
  return textio::format_record(format, std::span<const Out>(values.begin(), values.size()));
}
std::string text(std::string_view format, std::initializer_list<Out> values) {
  return fmt(format, values).text;
}

constexpr const char* kRow = "(5X, f5.2, 14X,f5.2, 10X,f6.4, 5X,f12.3, 7X,f6.2, 12X,f6.2)";

TEST(FormatRecord, ProgramLayouts) {
  EXPECT_EQ(text("(f14.4, f15.4, f15.4)", {0.5, 0.12345, -3.0}),
            "        0.5000         0.1235        -3.0000");
  const std::string row = text(kRow, {5.0, 7.5, 0.45, 12345.678, 30.0});
  EXPECT_EQ(row, "      5.00               7.50          0.4500        12345.678        30.00");
  EXPECT_EQ(row.size(), 75u);
  const std::string row4 = text(kRow, {5.0, 7.5, 0.45, 12345.678, 30.0, -2.5});
  EXPECT_EQ(row4, row + "            " + " -2.50");
  EXPECT_EQ(row4.size(), 93u);
  EXPECT_EQ(text("(A36, f12.2, A5)", {"Average power output for a site P = ", 1234.5, "W"}),
            "Average power output for a site P =      1234.50    W");
  EXPECT_EQ(text("(A36, f12.2, A5)", {"Average energy production E = ", 98765.4321, "kW.h"}),
            "      Average energy production E =     98765.43 kW.h");
  EXPECT_EQ(text("(A18, f12.6, A15)", {"Volume of blade", 0.123456, "cubic meters"}),
            "   Volume of blade    0.123456   cubic meters");
  EXPECT_EQ(text("(A18, f12.6, A15)", {"Mass of blade", 69.13536, "kg"}),
            "     Mass of blade   69.135360             kg");
  EXPECT_EQ(text("(I3)", {std::int64_t{2}}), "  2");
  EXPECT_EQ(text("(I3)", {std::int64_t{100}}), "100");
  EXPECT_EQ(text("(A)", {"  rc(i)     Alpha   Cl    Cd"}), "  rc(i)     Alpha   Cl    Cd");
}

TEST(FormatRecord, PromptsStayOpen) {
  const auto p = fmt("(\" Enter number of blades, Numb=\", $)", {});
  EXPECT_EQ(p.text, " Enter number of blades, Numb=");
  EXPECT_FALSE(p.ends_record);
  const auto q = fmt("(' Enter hub radius, rhub=',$)", {});
  EXPECT_EQ(q.text, " Enter hub radius, rhub=");
  EXPECT_FALSE(q.ends_record);
  EXPECT_TRUE(fmt("(A)", {"x"}).ends_record);
  // Doubled quotes inside a literal, the other quote kind as is.
  EXPECT_EQ(text("('it''s \"x\"', \"say \"\"y\"\" 'z'\")", {}), "it's \"x\"say \"y\" 'z'");
}

TEST(FormatRecord, FixedFields) {
  struct Case {
    const char* format;
    double v;
    const char* text;
  };
  const Case cases[] = {
      {"(F5.4)", 0.5, ".5000"},  // one short: the leading zero gives way
      {"(F6.4)", 0.5, "0.5000"},
      {"(F6.4)", -0.5, "-.5000"},
      {"(F7.4)", -0.5, "-0.5000"},
      {"(F4.4)", 0.5, "****"},          // still too wide
      {"(F7.4)", -0.00001, "-0.0000"},  // negative, rounds to zero
      {"(F7.4)", -0.0, "-0.0000"},
      {"(F6.4)", 0.0, "0.0000"},
      {"(F5.2)", 999.99, "*****"},
      {"(F6.2)", 999.99, "999.99"},
      {"(F6.2)", 999.995, "******"},  // rounds up to 1000.00
      {"(F5.2)", 0.125, " 0.12"},     // exact binary 0.125: tie to even
      {"(F5.2)", 0.375, " 0.38"},
      {"(F5.2)", 2.675, " 2.67"},  // the double below 2.675
      {"(F4.1)", 0.25, " 0.2"},
      {"(F4.1)", 0.35, " 0.3"},  // 0.34999999999999997...
      {"(F12.3)", 12345.678, "   12345.678"},
      {"(F4.0)", 2.5, "  2."},  // the point is always written
      {"(F4.0)", 3.5, "  4."},
      {"(F3.0)", 0.4, " 0."},
      {"(F2.0)", 0.4, "0."},
      {"(F10.4)", std::numeric_limits<double>::quiet_NaN(), "       NaN"},
      {"(F10.4)", std::numeric_limits<double>::infinity(), "  Infinity"},
      {"(F10.4)", -std::numeric_limits<double>::infinity(), " -Infinity"},
      {"(F5.2)", std::numeric_limits<double>::infinity(), "*****"},
      {"(F5.2)", -std::numeric_limits<double>::infinity(), "*****"},
      {"(F20.2)", 1e300, "********************"},
      {"(F0.3)", -1.5, "-1.500"},
      {"(f15.4)", -3.0, "        -3.0000"},
  };
  for (const Case& c : cases) EXPECT_EQ(text(c.format, {c.v}), c.text) << c.format << " " << c.v;
  // A float is placed by its exact value.
  EXPECT_EQ(text("(F12.9)", {0.1f}), " 0.100000001");
}

TEST(FormatRecord, IntegerAndTextFields) {
  EXPECT_EQ(text("(I3)", {std::int64_t{1000}}), "***");
  EXPECT_EQ(text("(I3)", {std::int64_t{-99}}), "-99");
  EXPECT_EQ(text("(I3)", {std::int64_t{-100}}), "***");
  EXPECT_EQ(text("(I5)", {std::int32_t{0}}), "    0");
  EXPECT_EQ(text("(I0)", {std::int64_t{-12}}), "-12");
  EXPECT_EQ(text("(A5)", {"W"}), "    W");
  EXPECT_EQ(text("(A3)", {"abcdef"}), "abc");
  EXPECT_EQ(text("(A3)", {"abc"}), "abc");
  EXPECT_EQ(text("(A)", {""}), "");
  EXPECT_EQ(text("(A, A)", {"ab ", " cd"}), "ab  cd");
}

TEST(FormatRecord, SkipsAndTheEndOfValues) {
  // Blanks of nX are written only when something follows them.
  EXPECT_EQ(text("(5X, F5.2, 3X)", {1.0}), "      1.00");
  EXPECT_EQ(text("(5X, F5.2, 3X, F5.2)", {1.0}), "      1.00");
  EXPECT_EQ(text("(5X, F5.2, 3X, F5.2)", {1.0, 2.0}), "      1.00    2.00");
  EXPECT_EQ(text("(2X, 'a', 1X, 'b', 4X)", {}), "  a b");
  // Literals up to the next data descriptor are written, the rest not.
  EXPECT_EQ(text("(I3, ' m', I3, ' s')", {std::int64_t{5}}), "  5 m");
  EXPECT_EQ(text("(I3, ' m', I3, ' s')", {std::int64_t{5}, std::int64_t{6}}), "  5 m  6 s");
  EXPECT_EQ(text("('x=', F5.2)", {}), "x=");
  // Case, blanks, repeat counts, optional commas.
  EXPECT_EQ(text(" ( 2 f 6 . 2 , i 2 ) ", {1.0, 2.0, std::int64_t{3}}), "  1.00  2.00 3");
  EXPECT_EQ(text("(3F4.1)", {1.0, 2.0, 3.0}), " 1.0 2.0 3.0");
  EXPECT_EQ(text("('a'1X'b')", {}), "a b");
}

TEST(FormatRecord, MoreValuesThanDescriptorsStartNewRecords) {
  EXPECT_EQ(text("(F4.1)", {1.0, 2.0, 3.0}), " 1.0\r\n 2.0\r\n 3.0");
  EXPECT_EQ(text("('a', I2, /, 'b', I2)", {std::int64_t{1}, std::int64_t{2}}), "a 1\r\nb 2");
}

TEST(FormatRecord, ProgrammingErrorsAreRejected) {
  EXPECT_THROW(text("F5.2", {1.0}), std::invalid_argument);
  EXPECT_THROW(text("(F5.2", {1.0}), std::invalid_argument);
  EXPECT_THROW(text("(F5)", {1.0}), std::invalid_argument);
  EXPECT_THROW(text("(I)", {std::int64_t{1}}), std::invalid_argument);
  EXPECT_THROW(text("(Q3)", {1.0}), std::invalid_argument);
  EXPECT_THROW(text("('abc)", {}), std::invalid_argument);
  EXPECT_THROW(text("($, 'a')", {}), std::invalid_argument);
  EXPECT_THROW(text("(I3)", {1.0}), std::invalid_argument);
  EXPECT_THROW(text("(F5.2)", {"x"}), std::invalid_argument);
  EXPECT_THROW(text("(A)", {std::int64_t{1}}), std::invalid_argument);
  EXPECT_THROW(text("('a')", {1.0}), std::invalid_argument);
}

}  // namespace
