// Reference oracles of the harnesses: independent spellings and readings of numbers that the
// text records must agree with.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "harness.h"

namespace fuzz {

[[noreturn]] void fail(const std::string& what) {
  throw Failure{what};
}

int fuzz_target(const char* target, void (*one)(const std::uint8_t*, std::size_t),
                const std::uint8_t* data, std::size_t size) {
  try {
    one(data, size);
  } catch (const Failure& f) {
    std::fprintf(stderr, "%s: %s\n", target, f.what.c_str());
    std::abort();
  }
  return 0;
}

std::string printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

std::string hex(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a", v);
  return buf;
}

// ---------------------------------------------------------------------------------------------
// Reference readers, written from the rules of the text form, independently of textio.

// [sign] digits [. [digits]] | [sign] . digits, then optionally e/E/d/D [sign] digits.
bool ref_real_shape(std::string_view t) {
  std::size_t p = 0;
  auto digits = [&] {
    const std::size_t start = p;
    while (p < t.size() && t[p] >= '0' && t[p] <= '9') ++p;
    return p - start;
  };
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) ++p;
  std::size_t n = digits();
  if (p < t.size() && t[p] == '.') {
    ++p;
    n += digits();
  }
  if (n == 0) return false;
  if (p == t.size()) return true;
  if (std::strchr("eEdD", t[p]) == nullptr || t[p] == '\0') return false;
  ++p;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) ++p;
  return digits() > 0 && p == t.size();
}

bool ref_int_shape(std::string_view t) {
  std::size_t p = 0;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) ++p;
  if (p == t.size()) return false;
  for (; p < t.size(); ++p) {
    if (t[p] < '0' || t[p] > '9') return false;
  }
  return true;
}

// The value strtod/strtof give for a real of the text form ('d' read as 'e'); false when it is
// not a real or lies beyond the largest finite value.
template <class T>
bool ref_real(std::string_view t, T& value) {
  if (!ref_real_shape(t)) return false;
  std::string s(t);
  for (char& c : s) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  T v;
  if constexpr (std::is_same_v<T, float>) {
    v = std::strtof(s.c_str(), nullptr);
  } else {
    v = std::strtod(s.c_str(), nullptr);
  }
  if (std::isinf(v)) return false;
  value = v;
  return true;
}

template <class T>
bool ref_int(std::string_view t, T& value) {
  if (!ref_int_shape(t)) return false;
  const std::string s(t);
  errno = 0;
  const long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (errno == ERANGE) return false;
  if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return false;
  value = static_cast<T>(v);
  return true;
}

// One value text through textio's readers and the reference readers: same verdict, same bits.
void check_token(std::string_view token) {
  using textio::ReadError;
  {
    std::int32_t got = 11, want = 11;
    const bool ok = textio::parse_int(token, got) == ReadError::None;
    const bool ref = ref_int(token, want);
    if (ok != ref || got != want) fail("parse_int(int32) of \"" + printable(token) + "\"");
  }
  {
    std::int64_t got = 11, want = 11;
    const bool ok = textio::parse_int(token, got) == ReadError::None;
    const bool ref = ref_int(token, want);
    if (ok != ref || got != want) fail("parse_int(int64) of \"" + printable(token) + "\"");
  }
  {
    double got = 11.0, want = 11.0;
    const ReadError e = textio::parse_real(token, got);
    const bool ref = ref_real(token, want);
    if ((e == ReadError::None) != ref ||
        std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(want)) {
      fail("parse_real(double) of \"" + printable(token) + "\": " + hex(got) + " against " +
           hex(want));
    }
    if (e != ReadError::None && e != ReadError::BadReal) fail("parse_real gave a non-real error");
  }
  {
    float got = 11.0f, want = 11.0f;
    const bool ok = textio::parse_real(token, got) == ReadError::None;
    const bool ref = ref_real(token, want);
    if (ok != ref || std::bit_cast<std::uint32_t>(got) != std::bit_cast<std::uint32_t>(want)) {
      fail("parse_real(float) of \"" + printable(token) + "\": " + hex(got) + " against " +
           hex(want));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Free-form spelling of reals.

// The spelling of a finite real: the shortest digits that read back, placed by the decimal
// exponent E of the first digit: fixed for -6 <= E <= 6, "d.dddE+n" otherwise.
template <class T>
void check_real_spelling(T v) {
  if (!std::isfinite(v)) return;
  std::string s;
  textio::append_real(s, v);
  using Bits = std::conditional_t<std::is_same_v<T, float>, std::uint32_t, std::uint64_t>;
  T back{};
  if (textio::parse_real(s, back) != textio::ReadError::None ||
      std::bit_cast<Bits>(back) != std::bit_cast<Bits>(v)) {
    fail("free-form spelling \"" + s + "\" of " + hex(v) + " does not read back");
  }
  std::string_view t = s;
  if (std::signbit(v) != (!t.empty() && t[0] == '-')) fail("sign of \"" + s + "\"");
  if (t[0] == '-') t.remove_prefix(1);
  std::string digits;  // significant digits
  int exponent = 0;    // decimal exponent of the first significant digit
  if (const std::size_t e = t.find('E'); e != std::string_view::npos) {
    // d.dddE+n / d.dddE-n with |n| > 6 and no leading zero in n.
    if (e < 2 || t[1] != '.' || t[0] < '1' || t[0] > '9' || e + 2 >= t.size() ||
        (t[e + 1] != '+' && t[e + 1] != '-') || t[e + 2] == '0') {
      fail("exponential spelling \"" + s + "\"");
    }
    digits = std::string(1, t[0]) + std::string(t.substr(2, e - 2));
    for (char c : digits) {
      if (c < '0' || c > '9') fail("digits of \"" + s + "\"");
    }
    exponent = std::atoi(std::string(t.substr(e + 1)).c_str());
    if (exponent >= -6 && exponent <= 6) fail("exponent form for a fixed value: \"" + s + "\"");
  } else {
    const std::size_t point = t.find('.');
    if (point == std::string_view::npos || point == 0 || t.find('.', point + 1) != t.npos) {
      fail("fixed spelling \"" + s + "\"");
    }
    const std::string all = std::string(t.substr(0, point)) + std::string(t.substr(point + 1));
    for (char c : all) {
      if (c < '0' || c > '9') fail("digits of \"" + s + "\"");
    }
    const std::size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) {
      if (s != "0." && s != "-0.") fail("zero spelled \"" + s + "\"");
      return;
    }
    exponent = static_cast<int>(point) - 1 - static_cast<int>(first);
    if (exponent < -6 || exponent > 6) fail("fixed form for an exponential value: \"" + s + "\"");
    // No superfluous zeros: "0." only below 1, the last digit after the point not a zero.
    if (exponent >= 0 && t[0] == '0') fail("leading zero in \"" + s + "\"");
    if (exponent < 0 && point != 1) fail("integer part of \"" + s + "\"");
    if (t.back() == '0' && point + 1 < t.size()) fail("trailing zero in \"" + s + "\"");
    digits = all.substr(first);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  }
  // Shortest: printf's correctly rounded digits reach the value with no fewer digits.
  const int max_digits = std::is_same_v<T, float> ? 9 : 17;
  int needed = max_digits;
  for (int p = 1; p < max_digits; ++p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, static_cast<double>(v));
    T r;
    if constexpr (std::is_same_v<T, float>) {
      r = std::strtof(buf, nullptr);
    } else {
      r = std::strtod(buf, nullptr);
    }
    if (r == v) {
      needed = p;
      break;
    }
  }
  if (static_cast<int>(digits.size()) > needed) {
    fail("\"" + s + "\" has more digits than " + std::to_string(needed));
  }
}

template bool ref_real<float>(std::string_view, float&);
template bool ref_real<double>(std::string_view, double&);
template bool ref_int<std::int32_t>(std::string_view, std::int32_t&);
template bool ref_int<std::int64_t>(std::string_view, std::int64_t&);
template void check_real_spelling<float>(float);
template void check_real_spelling<double>(double);

}  // namespace fuzz
