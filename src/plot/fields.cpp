#include "plot/fields.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace plot {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// Reads a run of decimal digits from `s` at `pos`; returns how many there were.
std::size_t digits(std::string_view s, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) != 0) ++pos;
  return pos - start;
}

}  // namespace

std::vector<Field> layout(std::string_view format) {
  std::string items;
  for (char c : format) {
    if (!is_blank(c)) items += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (items.size() < 2 || items.front() != '(' || items.back() != ')') return {};
  const std::string_view body = std::string_view(items).substr(1, items.size() - 2);

  std::vector<Field> fields;
  std::size_t column = 0;
  std::size_t pos = 0;
  while (pos < body.size()) {
    const std::size_t count_start = pos;
    const std::size_t count_len = digits(body, pos);
    std::size_t count = 0;
    if (count_len > 0) {
      std::from_chars(body.data() + count_start, body.data() + pos, count);
    }
    if (pos >= body.size()) return {};
    const char kind = body[pos++];
    if (kind == 'x') {
      if (count_len == 0) count = 1;
      column += count;
    } else if (kind == 'f' && count_len == 0) {
      const std::size_t width_start = pos;
      if (digits(body, pos) == 0 || pos >= body.size() || body[pos] != '.') return {};
      std::size_t width = 0;
      std::from_chars(body.data() + width_start, body.data() + pos, width);
      ++pos;
      if (digits(body, pos) == 0 || width == 0) return {};
      fields.push_back({column, width});
      column += width;
    } else {
      return {};
    }
    if (pos < body.size()) {
      if (body[pos] != ',') return {};
      ++pos;
      if (pos == body.size()) return {};
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
