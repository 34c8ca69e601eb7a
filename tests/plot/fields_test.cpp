// Fixed-column fields: layouts of format literals, single fields and whole rows.
#include "plot/fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "plot/results.h"
#include "support/bits.h"
#include "textio/textio.h"

namespace {

using plot::Field;
using plot::FieldError;
using plot::RowError;

TEST(Layout, FieldsOfTheTableFormats) {
  const std::vector<Field> row = plot::layout(files::kSweepRowFormat);
  const std::vector<std::pair<std::size_t, std::size_t>> want = {{5, 5},   {24, 5}, {39, 6},
                                                                 {50, 12}, {69, 6}, {87, 6}};
  ASSERT_EQ(row.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(row[i].column, want[i].first) << i;
    EXPECT_EQ(row[i].width, want[i].second) << i;
  }
  const std::vector<Field> geo = plot::layout("(f14.4, f15.4, f15.4)");
  ASSERT_EQ(geo.size(), 3u);
  EXPECT_EQ(geo[1].column, 14u);
  EXPECT_EQ(geo[2].column, 29u);
  EXPECT_EQ(geo[2].width, 15u);
}

TEST(Layout, CaseBlanksAndBareX) {
  const std::vector<Field> f = plot::layout(" ( X , 2x,F3.1 ) ");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].column, 3u);
  EXPECT_EQ(f[0].width, 3u);
}

TEST(Layout, AnythingElseGivesNoFields) {
  for (const char* bad : {"", "()", "5X, f5.2", "(A5)", "(f5)", "(f.2)", "(f5.)", "(i5)", "(f0.0)",
                          "(f5.2, 'x')", "(f5.2, /, f5.2)", "(X,2(f4.1))"}) {
    EXPECT_TRUE(plot::layout(bad).empty()) << bad;
  }
}

// The fields lie where the record writer puts them, also for the forms it takes beyond the
// tables' own: a repeat count, no comma between items, a comma before the ')'.
TEST(Layout, FieldsWhereTheWriterPutsThem) {
  struct Case {
    const char* format;
    std::size_t fields;
  };
  for (const Case& c : {Case{"(5X f5.2)", 1}, Case{"(2X, 3F6.1)", 3}, Case{"(f5.2,)", 1}}) {
    const std::vector<Field> fields = plot::layout(c.format);
    ASSERT_EQ(fields.size(), c.fields) << c.format;
    std::vector<textio::Out> values;
    for (std::size_t i = 0; i < fields.size(); ++i)
      values.emplace_back(1.5 + static_cast<double>(i));
    const std::string row = textio::format_record(c.format, values).text;
    std::vector<double> back(fields.size());
    EXPECT_EQ(plot::read_row(row, fields, back).error, RowError::None) << c.format << ": " << row;
    for (std::size_t i = 0; i < fields.size(); ++i)
      EXPECT_EQ(back[i], 1.5 + static_cast<double>(i));
  }
}

TEST(ReadFixed, WhatAnFEditDescriptorWrites) {
  struct Case {
    const char* text;
    FieldError error;
    double value;
  };
  const Case cases[] = {
      {" 5.00", FieldError::None, 5.0},
      {"12345.678", FieldError::None, 12345.678},
      {"-0.0000", FieldError::None, -0.0},
      {".5000", FieldError::None, 0.5},
      {"-.500", FieldError::None, -0.5},
      {"   3.", FieldError::None, 3.0},
      {"    7", FieldError::None, 7.0},
      {"******", FieldError::Stars, 0.0},
      {"*", FieldError::Stars, 0.0},
      {"      ", FieldError::Blank, 0.0},
      {"5.00 ", FieldError::Bad, 0.0},  // left-aligned: the column is shifted
      {" 1e3", FieldError::Bad, 0.0},   // no exponents in fixed fields
      {" +1.0", FieldError::Bad, 0.0},
      {"  inf", FieldError::Bad, 0.0},
      {"  nan", FieldError::Bad, 0.0},
      {"   -.", FieldError::Bad, 0.0},
      {" 1.2.3", FieldError::Bad, 0.0},
      {" 12*45", FieldError::Bad, 0.0},  // stars only when the whole field is stars
      {"- 1.0", FieldError::Bad, 0.0},
  };
  for (const Case& c : cases) {
    const std::string s = c.text;
    double v = 99.0;
    const plot::FieldResult r = plot::read_fixed(s.data(), s.data() + s.size(), v);
    EXPECT_EQ(r.error, c.error) << '"' << s << '"';
    if (c.error == FieldError::None) {
      EXPECT_SAME_BITS(v, c.value) << '"' << s << "\" gave " << v;
      EXPECT_EQ(r.ptr, s.data() + s.size());
    } else {
      EXPECT_EQ(v, 99.0) << "value changed on error for \"" << s << '"';
    }
  }
}

TEST(ReadRow, TableRowsOfBothWidths) {
  const std::vector<Field> f = plot::layout(files::kSweepRowFormat);
  // The 75-character row of five values and the 93-character pitch-controlled row.
  const std::string five =
      "      5.00               7.50          0.4500        12345.678        30.00";
  const std::string six = five + std::string(12, ' ') + " -2.50";
  ASSERT_EQ(five.size(), 75u);
  ASSERT_EQ(six.size(), 93u);
  double v[6] = {};
  ASSERT_EQ(plot::read_row(five, f, std::span<double>(v, 5)).error, RowError::None);
  EXPECT_EQ(v[0], 5.0);
  EXPECT_EQ(v[1], 7.5);
  EXPECT_EQ(v[2], 0.45);
  EXPECT_EQ(v[3], 12345.678);
  EXPECT_EQ(v[4], 30.0);
  ASSERT_EQ(plot::read_row(six, f, v).error, RowError::None);
  EXPECT_EQ(v[5], -2.5);
  // A five-value reader must not accept a sixth value after the fifth field.
  const plot::RowResult extra = plot::read_row(six, f, std::span<double>(v, 5));
  EXPECT_EQ(extra.error, RowError::Trailing);
  EXPECT_EQ(plot::row_error_text(six, f, extra), "unexpected text after field 5");
  // Trailing blanks after the last field are fine.
  EXPECT_EQ(plot::read_row(five + "   ", f, std::span<double>(v, 5)).error, RowError::None);
}

TEST(ReadRow, StarsAreMissingValuesNotErrors) {
  const std::vector<Field> f = plot::layout(files::kSweepRowFormat);
  const std::string row =
      "     25.00               7.50          0.4500     ************        30.00";
  double v[5] = {};
  ASSERT_EQ(plot::read_row(row, f, v).error, RowError::None);
  EXPECT_TRUE(std::isnan(v[3]));
  EXPECT_EQ(v[4], 30.0);
}

TEST(ReadRow, BrokenRows) {
  const std::vector<Field> f = plot::layout(files::kSweepRowFormat);
  const std::string good =
      "      5.00               7.50          0.4500        12345.678        30.00";
  struct Case {
    std::string row;
    RowError error;
    std::size_t field;
    const char* text;
  };
  std::string letter = good;
  letter[42] = 'x';
  std::string stray = good;
  stray[15] = '#';
  std::string blank_field = good;
  blank_field.replace(24, 5, "     ");
  const Case cases[] = {
      {good.substr(0, 60), RowError::Short, 3, "the line ends before field 4 (60 characters)"},
      {"", RowError::Short, 0, "the line ends before field 1 (0 characters)"},
      {letter, RowError::BadField, 2, "field 3 is not a number: \"0.4x00\""},
      {stray, RowError::Stray, 1, "unexpected text before field 2"},
      {blank_field, RowError::BadField, 1, "field 2 is not a number: \"     \""},
      // A row shifted by one column is caught on the field that loses its alignment.
      {good.substr(1), RowError::BadField, 0, "field 1 is not a number: \"5.00 \""},
      {" " + good, RowError::Stray, 1, "unexpected text before field 2"},
  };
  for (const Case& c : cases) {
    double v[5] = {};
    const plot::RowResult r = plot::read_row(c.row, f, v);
    EXPECT_EQ(r.error, c.error) << c.row;
    EXPECT_EQ(r.field, c.field) << c.row;
    EXPECT_EQ(plot::row_error_text(c.row, f, r), c.text);
  }
}

}  // namespace
