// Fixed-column fields of the result tables: the rows that the run writes through format
// literals such as "(f14.4, f15.4, f15.4)" are read back here column by column.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plot {

// One value field of a formatted record: its first column (0-based) and its width.
struct Field {
  std::size_t column = 0;
  std::size_t width = 0;
};

// The value fields of a format literal made of nX and Fw.d items (w above 0), where the record
// writer (textio::format_record) puts them, e.g. "(5X, f5.2, 14X,f5.2)" -> {5, 5}, {24, 5}.
// Blanks and letter case do not matter. An item of any other kind, or a malformed literal, gives
// an empty list.
std::vector<Field> layout(std::string_view format);

enum class FieldError {
  None,
  Stars,  // every character is '*': the value did not fit its field when it was written
  Blank,  // nothing but blanks: no value was written there
  Bad,    // not a fixed-point number right-aligned in its field ([-]digits[.digits])
};

struct FieldResult {
  const char* ptr;  // one past the last character used
  FieldError error;
};

// Reads the fixed-point number that fills [first, last), the text of one field. Leading blanks
// are allowed (values are right-aligned), trailing ones are not, nor an exponent, a '+' sign,
// "inf" or "nan". `value` is set only when the result is FieldError::None.
FieldResult read_fixed(const char* first, const char* last, double& value) noexcept;

enum class RowError {
  None,
  Short,     // the record ends before the field
  Stray,     // a character other than a blank between two fields
  Trailing,  // a character other than a blank after the last field read
  BadField,  // the field is blank or not a number (stars are not an error)
};

struct RowResult {
  RowError error = RowError::None;
  std::size_t field = 0;  // 0-based index of the field where the error lies (Trailing: of the
                          // last field read)
};

// Reads the first values.size() fields of `fields` from `record`. A field of asterisks gives
// NaN (the value exists but was too wide to be written). Columns outside the fields must be
// blank up to the end of the last field read; after it only blanks may follow.
RowResult read_row(std::string_view record, std::span<const Field> fields,
                   std::span<double> values) noexcept;

// `text` for a message: every byte outside printable ASCII becomes '?', so that no control
// character reaches the console and no broken UTF-8 reaches the page.
std::string printable(std::string_view text);

// The text of a RowResult for a message, e.g. "field 3 is not a number: \"0.4x00\"".
std::string row_error_text(std::string_view record, std::span<const Field> fields,
                           RowResult result);

}  // namespace plot
