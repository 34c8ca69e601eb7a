// Free-form output records: the record blank, the value separators and the spelling of reals.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "textio/textio.h"

namespace textio {
namespace {

// Places the shortest round-trip digits of a finite value. `sci` is std::to_chars's scientific
// form: an optional "-", one digit, optionally "." and more digits, then "e", a sign and at least
// two exponent digits ("-1.5e-07", "2e+07", "0e+00").
void place_digits(std::string& out, std::string_view sci) {
  std::size_t pos = 0;
  if (sci[0] == '-') {
    out += '-';
    pos = 1;
  }
  // Significant digits without the point.
  std::array<char, 24> digits{};
  std::size_t n = 0;
  for (; sci[pos] != 'e'; ++pos) {
    if (sci[pos] != '.') digits[n++] = sci[pos];
  }
  int exponent = std::atoi(sci.data() + pos + 1);  // sign included; the text is null-free
  const std::string_view d(digits.data(), n);

  if (exponent >= 0 && exponent <= 6) {
    // Fixed with the point after exponent+1 digits; zeros fill up to the point.
    const std::size_t int_digits = static_cast<std::size_t>(exponent) + 1;
    if (n <= int_digits) {
      out += d;
      out.append(int_digits - n, '0');
      out += '.';
    } else {
      out += d.substr(0, int_digits);
      out += '.';
      out += d.substr(int_digits);
    }
  } else if (exponent < 0 && exponent >= -6) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += d;
  } else {
    out += d[0];
    out += '.';
    out += d.substr(1);
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    std::array<char, 8> e{};
    auto r = std::to_chars(e.data(), e.data() + e.size(), exponent < 0 ? -exponent : exponent);
    out.append(e.data(), r.ptr);
  }
}

// Non-finite values have no digits; they are spelled by name.
bool append_non_finite(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "NaN";
    return true;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-Infinity" : "Infinity";
    return true;
  }
  return false;
}

}  // namespace

void append_real(std::string& out, double v) {
  if (append_non_finite(out, v)) return;
  // Longest shortest form of a double: "-2.2250738585072014e-308" (24 characters).
  std::array<char, 32> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::scientific);
  place_digits(out, std::string_view(buf.data(), static_cast<std::size_t>(r.ptr - buf.data())));
}

void append_real(std::string& out, float v) {
  if (append_non_finite(out, static_cast<double>(v))) return;
  std::array<char, 32> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::scientific);
  place_digits(out, std::string_view(buf.data(), static_cast<std::size_t>(r.ptr - buf.data())));
}

void append_free(std::string& out, std::span<const Out> values) {
  bool previous_text = false;
  bool first = true;
  for (const Out& v : values) {
    const bool text = v.kind == Out::Kind::Text;
    // The record's own blank comes with the first value; two character values touch.
    if (first || !(text && previous_text)) out += ' ';
    first = false;
    previous_text = text;
    switch (v.kind) {
      case Out::Kind::Int: {
        std::array<char, 24> buf{};
        auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v.i);
        out.append(buf.data(), r.ptr);
        break;
      }
      case Out::Kind::Single:
        append_real(out, v.f);
        break;
      case Out::Kind::Double:
        append_real(out, v.d);
        break;
      case Out::Kind::Text:
        out += v.s;
        break;
    }
  }
}

std::string free_record(std::span<const Out> values) {
  std::string out;
  append_free(out, values);
  return out;
}

}  // namespace textio
