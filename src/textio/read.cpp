// Free-form input: value readers and the list read that spans records.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>

#include "textio/textio.h"

namespace textio {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Checks the shape of a real value: [sign] (digits [. [digits]] | . digits) [exp], where exp is
// e, E, d or D, an optional sign and at least one digit. Writes the text as std::from_chars
// takes it (no "+" in front, "e" for the exponent letter) into `norm`.
bool normalise_real(std::string_view t, std::string& norm) {
  std::size_t p = 0;
  norm.clear();
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) {
    if (t[p] == '-') norm += '-';
    ++p;
  }
  std::size_t mantissa_digits = 0;
  while (p < t.size() && is_digit(t[p])) {
    norm += t[p++];
    ++mantissa_digits;
  }
  if (p < t.size() && t[p] == '.') {
    norm += t[p++];
    while (p < t.size() && is_digit(t[p])) {
      norm += t[p++];
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) return false;  // also rejects "inf", "nan", "+", "."
  if (p < t.size()) {
    const char e = t[p];
    if (e != 'e' && e != 'E' && e != 'd' && e != 'D') return false;
    norm += 'e';
    ++p;
    if (p < t.size() && (t[p] == '+' || t[p] == '-')) norm += t[p++];
    std::size_t exponent_digits = 0;
    while (p < t.size() && is_digit(t[p])) {
      norm += t[p++];
      ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
  }
  return p == t.size();
}

// Decimal exponent of the first significant digit of a normalised real text that is not zero.
// It tells an overflow from an underflow: the two limits lie dozens of decades apart.
long decimal_exponent(std::string_view t) {
  std::size_t p = (t[0] == '-') ? 1 : 0;
  long position = 0;  // exponent of the digit at p
  long first = 0;
  bool found = false;
  std::size_t int_digits = 0;
  while (p + int_digits < t.size() && is_digit(t[p + int_digits])) ++int_digits;
  position = static_cast<long>(int_digits) - 1;
  for (; p < t.size() && t[p] != 'e'; ++p) {
    if (t[p] == '.') continue;
    if (!found && t[p] != '0') {
      first = position;
      found = true;
    }
    --position;
  }
  long exponent = 0;
  if (p < t.size()) {
    ++p;
    const bool negative = t[p] == '-';
    if (t[p] == '-' || t[p] == '+') ++p;
    for (; p < t.size(); ++p) exponent = std::min(exponent * 10 + (t[p] - '0'), 1000000000L);
    if (negative) exponent = -exponent;
  }
  return first + exponent;
}

template <class T>
ReadError parse_real_as(std::string_view text, T& value) noexcept {
  try {
    thread_local std::string norm;
    if (!normalise_real(text, norm)) return ReadError::BadReal;
    T v{};
    const char* first = norm.data();
    const char* last = first + norm.size();
    // Converted straight from the decimal text at the item's own precision.
    auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
      // The value rounds to infinity (cannot be held: a bad value) or to zero (below half the
      // smallest subnormal: a signed zero, the correctly rounded result).
      if (decimal_exponent(norm) >= 0) return ReadError::BadReal;
      v = norm[0] == '-' ? -T(0) : T(0);
    } else if (r.ec != std::errc() || r.ptr != last) {
      return ReadError::BadReal;
    }
    value = v;
    return ReadError::None;
  } catch (...) {  // allocation failure of the normalised text
    return ReadError::BadReal;
  }
}

template <class T>
ReadError parse_int_as(std::string_view t, T& value) noexcept {
  std::size_t p = 0;
  bool negative = false;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) negative = t[p++] == '-';
  if (p == t.size()) return ReadError::BadInteger;
  for (std::size_t k = p; k < t.size(); ++k) {
    if (!is_digit(t[k])) return ReadError::BadInteger;
  }
  // Accumulated as a negative number so that the most negative value fits.
  T v = 0;
  for (; p < t.size(); ++p) {
    const T digit = static_cast<T>(t[p] - '0');
    if (v < (std::numeric_limits<T>::min() + digit) / 10) return ReadError::BadInteger;
    v = static_cast<T>(v * 10 - digit);
  }
  if (!negative) {
    if (v == std::numeric_limits<T>::min()) return ReadError::BadInteger;
    v = static_cast<T>(-v);
  }
  value = v;
  return ReadError::None;
}

ReadError store(const In& item, std::string_view text) {
  switch (item.kind) {
    case In::Kind::Int32:
      return parse_int(text, *static_cast<std::int32_t*>(item.target));
    case In::Kind::Int64:
      return parse_int(text, *static_cast<std::int64_t*>(item.target));
    case In::Kind::Single:
      return parse_real(text, *static_cast<float*>(item.target));
    case In::Kind::Double:
      return parse_real(text, *static_cast<double*>(item.target));
  }
  return ReadError::None;
}

ReadError bad_value(const In& item) {
  return (item.kind == In::Kind::Int32 || item.kind == In::Kind::Int64) ? ReadError::BadInteger
                                                                        : ReadError::BadReal;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}
bool ends_value(char c) {
  return is_blank(c) || c == ',' || c == '/';
}

}  // namespace

ReadError parse_int(std::string_view text, std::int64_t& value) noexcept {
  return parse_int_as(text, value);
}
ReadError parse_int(std::string_view text, std::int32_t& value) noexcept {
  return parse_int_as(text, value);
}
ReadError parse_real(std::string_view text, double& value) noexcept {
  return parse_real_as(text, value);
}
ReadError parse_real(std::string_view text, float& value) noexcept {
  return parse_real_as(text, value);
}

ReadError read_list(RecordSource& source, std::span<const In> items, int& item) {
  std::string record;
  item = 0;
  // A read always starts on a fresh record.
  if (!source.next_record(record)) {
    item = items.empty() ? 0 : 1;
    return ReadError::EndOfFile;
  }
  std::size_t next = 0;  // next item to fill
  std::size_t p = 0;
  // Whether a comma may open a null value: at the start of the read and right after a comma.
  bool after_comma = true;
  while (next < items.size()) {
    while (p < record.size() && is_blank(record[p])) ++p;
    if (p == record.size()) {
      // A line end separates like a blank; the read goes on with the next record.
      if (!source.next_record(record)) {
        item = static_cast<int>(next) + 1;
        return ReadError::EndOfFile;
      }
      p = 0;
      continue;
    }
    const char c = record[p];
    if (c == '/') break;  // the remaining items keep their values
    if (c == ',') {
      ++p;
      if (after_comma) ++next;  // nothing between two commas: this item keeps its value
      after_comma = true;
      continue;
    }
    std::size_t end = p;
    while (end < record.size() && !ends_value(record[end])) ++end;
    std::string_view token(record.data() + p, end - p);
    p = end;
    after_comma = false;
    // r*v: r copies of v; r* alone: r null values.
    std::size_t repeat = 1;
    if (const std::size_t star = token.find('*'); star != std::string_view::npos) {
      const std::string_view count = token.substr(0, star);
      repeat = 0;
      for (char d : count) {
        if (!is_digit(d)) {
          repeat = 0;
          break;
        }
        // Saturates: a count beyond the items left fills them.
        repeat = repeat > items.size() ? repeat : repeat * 10 + static_cast<std::size_t>(d - '0');
      }
      if (count.empty() || repeat == 0) {
        item = static_cast<int>(next) + 1;
        return bad_value(items[next]);
      }
      token = token.substr(star + 1);
    }
    for (std::size_t k = 0; k < repeat && next < items.size(); ++k, ++next) {
      if (token.empty()) continue;  // null value
      const ReadError e = store(items[next], token);
      if (e != ReadError::None) {
        item = static_cast<int>(next) + 1;
        return e;
      }
    }
    // Blanks and one comma after a value form one separator.
    while (p < record.size() && is_blank(record[p])) ++p;
    if (p < record.size() && record[p] == ',') {
      ++p;
      after_comma = true;
    }
  }
  // The rest of the last record read is skipped.
  return ReadError::None;
}

}  // namespace textio
