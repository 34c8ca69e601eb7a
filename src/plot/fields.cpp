#include "plot/fields.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "textio/textio.h"

namespace plot {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<Field> layout(std::string_view format) {
  std::vector<textio::FormatItem> items;
  try {
    items = textio::format_items(format);
  } catch (const std::invalid_argument&) {
    return {};
  }
  std::vector<Field> fields;
  std::size_t column = 0;
  for (const textio::FormatItem& item : items) {
    if (item.kind == textio::FormatItem::Kind::Skip) {
      column += static_cast<std::size_t>(item.count);
    } else if (item.kind == textio::FormatItem::Kind::F && item.width > 0) {
      fields.push_back({column, static_cast<std::size_t>(item.width)});
      column += static_cast<std::size_t>(item.width);
    } else {
      return {};
    }
  }
  return fields;
}

FieldResult read_fixed(const char* first, const char* last, double& value) noexcept {
  const char* p = first;
  while (p != last && is_blank(*p)) ++p;
  if (p == last) return {p, FieldError::Blank};
  bool stars = true;
  for (const char* q = first; q != last; ++q) stars = stars && *q == '*';
  if (stars) return {last, FieldError::Stars};

  // [-]digits[.digits] or [-].digits, nothing after it: what an F edit descriptor writes.
  const char* number = p;
  if (*p == '-') ++p;
  const char* int_start = p;
  while (p != last && *p >= '0' && *p <= '9') ++p;
  std::ptrdiff_t n_digits = p - int_start;
  if (p != last && *p == '.') {
    ++p;
    const char* frac_start = p;
    while (p != last && *p >= '0' && *p <= '9') ++p;
    n_digits += p - frac_start;
  }
  if (n_digits == 0 || p != last) return {p, FieldError::Bad};
  double v = 0.0;
  const auto r = std::from_chars(number, last, v, std::chars_format::fixed);
  if (r.ec != std::errc() || r.ptr != last) return {r.ptr, FieldError::Bad};
  value = v;
  return {last, FieldError::None};
}

RowResult read_row(std::string_view record, std::span<const Field> fields,
                   std::span<double> values) noexcept {
  std::size_t column = 0;
  for (std::size_t i = 0; i < values.size() && i < fields.size(); ++i) {
    const Field& f = fields[i];
    for (; column < f.column && column < record.size(); ++column) {
      if (!is_blank(record[column])) return {RowError::Stray, i};
    }
    if (record.size() < f.column + f.width) return {RowError::Short, i};
    double v = 0.0;
    const char* start = record.data() + f.column;
    const FieldResult r = read_fixed(start, start + f.width, v);
    if (r.error == FieldError::Stars) {
      v = std::numeric_limits<double>::quiet_NaN();
    } else if (r.error != FieldError::None) {
      return {RowError::BadField, i};
    }
    values[i] = v;
    column = f.column + f.width;
  }
  for (; column < record.size(); ++column) {
    if (!is_blank(record[column]))
      return {RowError::Trailing, values.empty() ? 0 : values.size() - 1};
  }
  return {};
}

std::string printable(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c < 0x20 || c > 0x7E) c = '?';
  }
  return out;
}

std::string row_error_text(std::string_view record, std::span<const Field> fields,
                           RowResult result) {
  const std::string number = std::to_string(result.field + 1);
  switch (result.error) {
    case RowError::None:
      return "no error";
    case RowError::Short:
      return "the line ends before field " + number + " (" + std::to_string(record.size()) +
             " characters)";
    case RowError::Stray:
      return "unexpected text before field " + number;
    case RowError::Trailing:
      return "unexpected text after field " + number;
    case RowError::BadField: {
      const Field& f = fields[result.field];
      return "field " + number + " is not a number: \"" +
             printable(record.substr(f.column, f.width)) + "\"";
    }
  }
  return "unknown error";
}

}  // namespace plot
