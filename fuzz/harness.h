// Fuzz harnesses of the text records: the free-form reader (with the free-form writer it must
// agree with) and the format-string writer. The libFuzzer targets in fuzz/ and the replay test in
// tests/textio/fuzz_replay_test.cpp run the same bodies, so every input checked in under
// tests/fuzz_corpus/ is replayed in the normal suite.
//
// A broken invariant throws fuzz::Failure (deliberately not a std::exception, so that no handler
// in the code under test can swallow it). Any other exception that escapes is a fault as well.
//
// Input layouts (chosen so that seed inputs are readable text):
//
//  read_list_one:  "<kinds>\n<records>"
//      <kinds>: one item per byte, 'i' int32, 'l' int64, 'f' float, 'd' double, any other byte
//      picks a kind by its two low bits; at most kMaxItems items. <records>: the text read.
//      E.g. "ii\n3\n4", "ddd\n3*2.", "dd\n1,,3 /".
//
//  format_one:     "<format>\n<value>\n<value>..."   (text mode), or "!<bytes>" (model mode)
//      Text mode: an arbitrary format literal and values, one a line: "i<integer>",
//      "f<float>", "d<double>" (strtoll/strtof/strtod spellings, so "dnan" and "d0x1p-1074"
//      work), anything else is a character value (the whole line, "s" stripped if it leads).
//      E.g. "(f14.4, f15.4, f15.4)\nd0.5\nd0.12345\nd-3.0".
//      Model mode: the bytes build a well-formed format (random letter case, blanks, repeat
//      counts, doubled quotes) and values of matching kinds; the record must equal the one an
//      independent model lays out with printf as the reference for the fields.
//
// Bounds: the format writer takes widths, decimals and repeat counts up to 10^9 (a record may be
// that long), so a format literal can ask for gigabytes. Text-mode formats are skipped when a
// number in them lies in (kMaxNumber, 10^9] or their numbers add up to more than kMaxNumberSum;
// numbers beyond 10^9 are kept, since they must be refused before anything is allocated. The
// field writers are called with widths and decimals in [0, kMaxNumber] (negative ones are outside
// their contract).
#pragma once

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

#include "textio/textio.h"

namespace fuzz {

inline constexpr std::size_t kMaxItems = 16;
inline constexpr std::size_t kMaxValues = 64;
inline constexpr long kMaxNumber = 1000;
inline constexpr long kMaxNumberSum = 5000;

struct Failure {
  std::string what;
};

[[noreturn]] inline void fail(const std::string& what) {
  throw Failure{what};
}

inline std::string printable(std::string_view s) {
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

inline std::string hex(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a", v);
  return buf;
}

// ---------------------------------------------------------------------------------------------
// Reference readers, written from the rules of the text form, independently of textio.

// [sign] digits [. [digits]] | [sign] . digits, then optionally e/E/d/D [sign] digits.
inline bool ref_real_shape(std::string_view t) {
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

inline bool ref_int_shape(std::string_view t) {
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
inline void check_token(std::string_view token) {
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

// ---------------------------------------------------------------------------------------------
// The free-form reader.

// Records split at LF, a CR right before the LF dropped; a last line without LF is a record (and
// loses a CR at its end as well, as textio's sources do: the remains of a cut CR LF).
class VectorSource : public textio::RecordSource {
 public:
  explicit VectorSource(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t lf = text.find('\n', start);
      if (lf == std::string_view::npos) lf = text.size();
      std::string r(text.substr(start, lf - start));
      if (!r.empty() && r.back() == '\r') r.pop_back();
      records_.push_back(std::move(r));
      start = lf + 1;
    }
  }
  explicit VectorSource(std::vector<std::string> records) : records_(std::move(records)) {}
  bool next_record(std::string& record) override {
    if (ended_) fail("a record asked for after the end of input was seen");
    if (next_ == records_.size()) {
      ended_ = true;
      return false;
    }
    record = records_[next_++];
    return true;
  }
  std::size_t consumed() const { return next_; }

 private:
  std::vector<std::string> records_;
  std::size_t next_ = 0;
  bool ended_ = false;
};

// The items of one read, each holding a sentinel until the read fills it.
struct Items {
  std::vector<textio::In::Kind> kinds;
  std::int32_t i32[kMaxItems];
  std::int64_t i64[kMaxItems];
  float f[kMaxItems];
  double d[kMaxItems];
  std::vector<textio::In> in;

  explicit Items(std::vector<textio::In::Kind> k) : kinds(std::move(k)) {
    for (std::size_t n = 0; n < kinds.size(); ++n) {
      i32[n] = -777;
      i64[n] = -777;
      f[n] = -777.0f;
      d[n] = -777.0;
      switch (kinds[n]) {
        case textio::In::Kind::Int32:
          in.emplace_back(i32[n]);
          break;
        case textio::In::Kind::Int64:
          in.emplace_back(i64[n]);
          break;
        case textio::In::Kind::Single:
          in.emplace_back(f[n]);
          break;
        case textio::In::Kind::Double:
          in.emplace_back(d[n]);
          break;
      }
    }
  }
  Items(const Items&) = delete;
  Items& operator=(const Items&) = delete;

  // Bits of item n, whatever its kind.
  std::uint64_t bits(std::size_t n) const {
    switch (kinds[n]) {
      case textio::In::Kind::Int32:
        return static_cast<std::uint32_t>(i32[n]);
      case textio::In::Kind::Int64:
        return static_cast<std::uint64_t>(i64[n]);
      case textio::In::Kind::Single:
        return std::bit_cast<std::uint32_t>(f[n]);
      case textio::In::Kind::Double:
        return std::bit_cast<std::uint64_t>(d[n]);
    }
    return 0;
  }
  textio::Out out(std::size_t n) const {
    switch (kinds[n]) {
      case textio::In::Kind::Int32:
        return textio::Out(i32[n]);
      case textio::In::Kind::Int64:
        return textio::Out(i64[n]);
      case textio::In::Kind::Single:
        return textio::Out(f[n]);
      case textio::In::Kind::Double:
        return textio::Out(d[n]);
    }
    return textio::Out(0);
  }
};

inline bool is_int_kind(textio::In::Kind k) {
  return k == textio::In::Kind::Int32 || k == textio::In::Kind::Int64;
}

inline void read_list_one(const std::uint8_t* data, std::size_t size) {
  using textio::In;
  using textio::ReadError;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  const std::string_view header = input.substr(0, lf);
  const std::string_view text =
      lf == std::string_view::npos ? std::string_view{} : input.substr(lf + 1);
  std::vector<In::Kind> kinds;
  for (unsigned char c : header.substr(0, kMaxItems)) {
    static constexpr In::Kind by_bits[] = {In::Kind::Int32, In::Kind::Int64, In::Kind::Single,
                                           In::Kind::Double};
    kinds.push_back(c == 'i'   ? In::Kind::Int32
                    : c == 'l' ? In::Kind::Int64
                    : c == 'f' ? In::Kind::Single
                    : c == 'd' ? In::Kind::Double
                               : by_bits[c & 3]);
  }

  // The read through the console's source and through a plain split of the records.
  Items a(kinds);
  std::istringstream stream{std::string(text)};
  textio::StreamSource stream_source(stream);
  int item_a = -1;
  const ReadError error = textio::read_list(stream_source, a.in, item_a);

  Items b(kinds);
  VectorSource vector_source(text);
  int item_b = -1;
  const ReadError error_b = textio::read_list(vector_source, b.in, item_b);
  if (error != error_b || item_a != item_b) fail("stream and record sources disagree");
  for (std::size_t n = 0; n < kinds.size(); ++n) {
    if (a.bits(n) != b.bits(n)) fail("stream and record sources read different values");
  }
  // Both leave the same records for the next read: the rest of the last record is skipped.
  if (error != ReadError::EndOfFile) {
    std::string ra, rb;
    for (;;) {
      const bool more_a = stream_source.next_record(ra);
      const bool more_b = vector_source.next_record(rb);
      if (more_a != more_b || (more_a && ra != rb)) fail("records left after the read differ");
      if (!more_a) break;
    }
  }

  const int n_items = static_cast<int>(kinds.size());
  switch (error) {
    case ReadError::None:
      break;
    case ReadError::BadInteger:
    case ReadError::BadReal:
      if (item_a < 1 || item_a > n_items) fail("failing item out of range");
      if (is_int_kind(kinds[static_cast<std::size_t>(item_a - 1)]) !=
          (error == ReadError::BadInteger)) {
        fail("error kind does not match the failing item's kind");
      }
      break;
    case ReadError::EndOfFile:
      if (item_a < (n_items == 0 ? 0 : 1) || item_a > n_items) fail("end-of-file item");
      break;
  }
  if (textio::read_error_text(error, item_a).empty() != (error == ReadError::None)) {
    fail("error text");
  }

  // Every value text in the records, as each kind, against the reference readers.
  std::size_t p = 0;
  while (p < text.size()) {
    const std::size_t end = text.find_first_of(" \t,/\r\n", p);
    const std::string_view token =
        text.substr(p, (end == std::string_view::npos ? text.size() : end) - p);
    if (!token.empty()) {
      check_token(token);
      if (const std::size_t star = token.find('*'); star != std::string_view::npos) {
        check_token(token.substr(star + 1));
      }
    }
    if (end == std::string_view::npos) break;
    p = end + 1;
  }

  // Raw bits of the records as reals: the free-form spelling reads back to the same bits.
  if (text.size() >= 8) {
    std::uint64_t u;
    std::memcpy(&u, text.data(), 8);
    check_real_spelling(std::bit_cast<double>(u));
  }
  if (text.size() >= 4) {
    std::uint32_t u;
    std::memcpy(&u, text.data(), 4);
    check_real_spelling(std::bit_cast<float>(u));
  }

  if (error != ReadError::None) return;
  // What was read, written as one free-form record and read again: the same bits.
  for (std::size_t n = 0; n < kinds.size(); ++n) {
    if (kinds[n] == In::Kind::Double) check_real_spelling(a.d[n]);
    if (kinds[n] == In::Kind::Single) check_real_spelling(a.f[n]);
  }
  std::vector<textio::Out> values;
  for (std::size_t n = 0; n < kinds.size(); ++n) values.push_back(a.out(n));
  const std::string record = textio::free_record(values);
  if (!kinds.empty() && (record.empty() || record[0] != ' ')) fail("record blank missing");
  Items c(kinds);
  for (std::size_t n = 0; n < kinds.size(); ++n) {  // other sentinels than the first read's
    c.i32[n] = 5;
    c.i64[n] = 5;
    c.f[n] = 5.0f;
    c.d[n] = 5.0;
  }
  VectorSource again(std::vector<std::string>{record, "left"});
  int item_c = -1;
  if (textio::read_list(again, c.in, item_c) != ReadError::None) {
    fail("written record \"" + printable(record) + "\" does not read back");
  }
  for (std::size_t n = 0; n < kinds.size(); ++n) {
    if (a.bits(n) != c.bits(n)) fail("item " + std::to_string(n + 1) + " of \"" + record + "\"");
  }
  if (again.consumed() != 1) fail("read of one written record took more records");
}

// ---------------------------------------------------------------------------------------------
// The format-string writer.

// Fw.d as a field: printf's correctly rounded fixed spelling, the point always written, the "0"
// before the point dropped when the field is one character short, asterisks when it does not fit.
inline std::string ref_fixed(double v, int width, int decimals) {
  std::string s;
  if (std::isnan(v)) {
    s = "NaN";
  } else if (std::isinf(v)) {
    s = v < 0 ? "-Infinity" : "Infinity";
  } else {
    const int n = std::snprintf(nullptr, 0, "%.*f", decimals, v);
    s.resize(static_cast<std::size_t>(n) + 1);
    std::snprintf(s.data(), s.size(), "%.*f", decimals, v);
    s.pop_back();
    if (decimals == 0) s += '.';
    const std::size_t sign = s[0] == '-' ? 1 : 0;
    if (width != 0 && s.size() == static_cast<std::size_t>(width) + 1 &&
        s.compare(sign, 2, "0.") == 0) {
      s.erase(sign, 1);
    }
  }
  if (width == 0) return s;
  if (s.size() > static_cast<std::size_t>(width)) return std::string(width, '*');
  return std::string(width - s.size(), ' ') + s;
}

inline std::string ref_integer(std::int64_t v, int width) {
  const std::string s = std::to_string(v);
  if (width == 0) return s;
  if (s.size() > static_cast<std::size_t>(width)) return std::string(width, '*');
  return std::string(width - s.size(), ' ') + s;
}

inline void check_fixed(double v, int width, int decimals) {
  std::string out = "#";
  textio::append_fixed(out, v, width, decimals);
  const std::string want = ref_fixed(v, width, decimals);
  if (out.substr(1) != want) {
    fail("append_fixed(" + hex(v) + ", " + std::to_string(width) + ", " + std::to_string(decimals) +
         ") gave \"" + out.substr(1) + "\", expected \"" + want + "\"");
  }
  if (out[0] != '#') fail("append_fixed overwrote what was there");
}

inline void check_integer(std::int64_t v, int width) {
  std::string out = "#";
  textio::append_integer(out, v, width);
  if (out != "#" + ref_integer(v, width)) {
    fail("append_integer(" + std::to_string(v) + ", " + std::to_string(width) + ") gave \"" +
         out.substr(1) + "\"");
  }
}

// Bytes taken one after another; zeros once they run out.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}
  std::uint8_t u8() {
    if (n_ == 0) return 0;
    --n_;
    return *p_++;
  }
  std::uint64_t bytes(int count) {
    std::uint64_t v = 0;
    for (int k = 0; k < count; ++k) v |= static_cast<std::uint64_t>(u8()) << (8 * k);
    return v;
  }
  int below(int n) { return static_cast<int>(bytes(2) % static_cast<std::uint64_t>(n)); }
  bool coin() { return (u8() & 1) != 0; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
};

// A number as it may be spelled in a format: blanks may stand between its digits.
inline std::string spell_number(long v, ByteReader& r) {
  std::string s;
  for (char c : std::to_string(v)) {
    if (!s.empty() && (r.u8() & 7) == 0) s += ' ';
    s += c;
  }
  return s;
}

// Skips a text-mode format whose numbers would ask for an unreasonable amount of memory (see the
// bounds at the top). Runs of digits joined by blanks count as one number, outside quoted
// literals, as the format parser reads them (a tab ends a number).
inline bool format_within_bounds(std::string_view f) {
  long sum = 0;
  char quote = 0;
  for (std::size_t p = 0; p < f.size();) {
    const char c = f[p];
    if (quote != 0) {
      if (c == quote) quote = 0;
      ++p;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      ++p;
      continue;
    }
    if (c < '0' || c > '9') {
      ++p;
      continue;
    }
    long v = 0;
    while (p < f.size() && ((f[p] >= '0' && f[p] <= '9') || f[p] == ' ')) {
      if (f[p] >= '0' && f[p] <= '9') v = std::min(v * 10 + (f[p] - '0'), 100000000000L);
      ++p;
    }
    if (v > 1000000000L) continue;  // refused by the parser before it allocates anything
    if (v > kMaxNumber) return false;
    sum += v;
  }
  return sum <= kMaxNumberSum;
}

// Text mode: any format literal; a malformed one throws std::invalid_argument, nothing else may
// go wrong.
inline void format_text(std::string_view input) {
  const std::size_t lf = input.find('\n');
  const std::string_view format = input.substr(0, lf);
  if (!format_within_bounds(format)) return;
  std::vector<std::string> lines;
  if (lf != std::string_view::npos) {
    std::string_view rest = input.substr(lf + 1);
    while (lines.size() < kMaxValues) {
      const std::size_t e = rest.find('\n');
      lines.emplace_back(rest.substr(0, e));
      if (e == std::string_view::npos) break;
      rest.remove_prefix(e + 1);
    }
  }
  std::vector<textio::Out> values;
  for (const std::string& line : lines) {
    const char* body = line.c_str() + (line.empty() ? 0 : 1);
    const char kind = line.empty() ? 0 : line[0];
    if (kind == 'i') {
      values.emplace_back(static_cast<std::int64_t>(std::strtoll(body, nullptr, 10)));
    } else if (kind == 'f') {
      values.emplace_back(std::strtof(body, nullptr));
    } else if (kind == 'd') {
      values.emplace_back(std::strtod(body, nullptr));
    } else {
      values.emplace_back(std::string_view(line).substr(kind == 's' ? 1 : 0));
    }
  }

  textio::Formatted full;
  try {
    full = textio::format_record(format, values);
  } catch (const std::invalid_argument&) {
    return;
  }
  // The same format without values writes what stands before the first value's field.
  textio::Formatted none;
  try {
    none = textio::format_record(format, {});
  } catch (const std::invalid_argument&) {
    fail("format accepted with values but refused without");
  }
  if (full.text.compare(0, none.text.size(), none.text) != 0) {
    fail("record without values is not the start of the record with values");
  }
  if (none.ends_record != full.ends_record) fail("ends_record depends on the values");
  // "$" as the last item leaves the record open (commas and blanks around items are dropped).
  std::string_view f = format;
  while (!f.empty() && (f.back() == ' ' || f.back() == '\t')) f.remove_suffix(1);
  if (f.empty() || f.back() != ')') fail("format accepted without a closing ')'");
  f.remove_suffix(1);
  while (!f.empty() && (f.back() == ' ' || f.back() == '\t' || f.back() == ',')) {
    f.remove_suffix(1);
  }
  if (full.ends_record == (!f.empty() && f.back() == '$')) fail("ends_record against '$'");
}

// What a model-mode run built and checked.
struct ModelRun {
  std::string format;
  std::size_t values = 0;
  std::string record;
};

// Model mode: a well-formed format and matching values, laid out by an independent model.
inline ModelRun format_model(ByteReader& r) {
  struct Desc {
    enum Kind { Literal, Skip, A, I, F, Slash } kind;
    std::string literal;
    int width = 0;  // A: -1 without width
    int decimals = 0;
  };
  std::string format = "(";
  std::vector<Desc> items;  // repeat counts expanded
  auto blanks = [&] { format.append(r.u8() % 4 == 0 ? 1 + r.u8() % 3 : 0, ' '); };
  auto letter = [&](char c) { format += r.coin() ? c : static_cast<char>(c - 'A' + 'a'); };
  auto width = [&](int most) { return r.coin() ? r.below(30) : r.below(most + 1); };
  const int n_desc = 1 + r.u8() % 8;
  for (int k = 0; k < n_desc; ++k) {
    if (k > 0) format += ',';
    blanks();
    Desc d{};
    int repeat = 1;
    switch (r.u8() % 6) {
      case 0: {
        d.kind = Desc::Literal;
        const char quote = r.coin() ? '\'' : '"';
        format += quote;
        const int len = r.u8() % 8;
        for (int c = 0; c < len; ++c) {
          const char ch = static_cast<char>(r.u8());
          d.literal += ch;
          format += ch;
          if (ch == quote) format += quote;
        }
        format += quote;
        break;
      }
      case 1:
        d.kind = Desc::Skip;
        d.width = r.below(40);
        if (d.width != 1 || r.coin()) format += spell_number(d.width, r);
        blanks();
        letter('X');
        break;
      case 2:
        d.kind = Desc::A;
        d.width = r.coin() ? -1 : 1 + width(kMaxNumber - 1);
        if (r.coin()) repeat = 1 + r.u8() % 4;
        break;
      case 3:
        d.kind = Desc::I;
        d.width = width(kMaxNumber);
        if (r.coin()) repeat = 1 + r.u8() % 4;
        break;
      case 4:
        d.kind = Desc::F;
        d.width = width(kMaxNumber);
        d.decimals = width(kMaxNumber);
        if (r.coin()) repeat = 1 + r.u8() % 4;
        break;
      default:
        d.kind = Desc::Slash;
        format += '/';
        break;
    }
    if (d.kind == Desc::A || d.kind == Desc::I || d.kind == Desc::F) {
      if (repeat > 1 || r.u8() % 8 == 0) {
        format += spell_number(repeat, r);
        blanks();
      }
      letter(d.kind == Desc::A ? 'A' : d.kind == Desc::I ? 'I' : 'F');
      if (d.width >= 0) format += spell_number(d.width, r);
      if (d.kind == Desc::F) {
        blanks();
        format += '.';
        format += spell_number(d.decimals, r);
      }
    }
    blanks();
    for (int c = 0; c < repeat; ++c) items.push_back(d);
  }
  const bool dollar = r.coin();
  if (dollar) format += ", $";
  format += ')';
  blanks();

  std::vector<const Desc*> data;
  for (const Desc& d : items) {
    if (d.kind == Desc::A || d.kind == Desc::I || d.kind == Desc::F) data.push_back(&d);
  }
  std::vector<std::string> texts;  // storage of the character values
  std::vector<textio::Out> values;
  const int n_values = data.empty() ? 0 : r.u8() % (3 * static_cast<int>(data.size()) + 1);
  texts.reserve(static_cast<std::size_t>(n_values));
  for (int k = 0; k < n_values; ++k) {
    switch (data[static_cast<std::size_t>(k) % data.size()]->kind) {
      case Desc::A: {
        std::string s;
        const int len = r.u8() % 12;
        for (int c = 0; c < len; ++c) s += static_cast<char>(r.u8());
        texts.push_back(std::move(s));
        values.emplace_back(std::string_view(texts.back()));
        break;
      }
      case Desc::I:
        values.emplace_back(r.coin() ? static_cast<std::int64_t>(r.bytes(8))
                                     : static_cast<std::int64_t>(r.u8()) - 128);
        break;
      default:
        switch (r.u8() % 4) {
          case 0:
            values.emplace_back(std::bit_cast<double>(r.bytes(8)));
            break;
          case 1:
            values.emplace_back(std::bit_cast<float>(static_cast<std::uint32_t>(r.bytes(4))));
            break;
          default: {
            // Decimal fractions, the values near rounding ties: k / 10^e.
            const auto n = static_cast<std::int32_t>(static_cast<std::uint32_t>(r.bytes(4)));
            values.emplace_back(static_cast<double>(n) / std::pow(10.0, r.u8() % 10));
            break;
          }
        }
        break;
    }
  }

  // The model: fields in order, the format used again from its start while values are left;
  // blanks of nX written only when something follows them in the record.
  std::string want;
  std::size_t pending = 0;
  std::size_t next = 0;
  bool done = false;
  while (!done) {
    for (const Desc& d : items) {
      const bool is_data = d.kind == Desc::A || d.kind == Desc::I || d.kind == Desc::F;
      if (is_data && next == values.size()) {
        done = true;
        break;
      }
      if (d.kind == Desc::Skip) {
        pending += static_cast<std::size_t>(d.width);
        continue;
      }
      if (d.kind == Desc::Slash) {
        pending = 0;
        want += "\r\n";
        continue;
      }
      want.append(pending, ' ');
      pending = 0;
      if (d.kind == Desc::Literal) {
        want += d.literal;
        continue;
      }
      const textio::Out& v = values[next++];
      if (d.kind == Desc::A) {
        const std::string s(v.s);
        const std::size_t w = static_cast<std::size_t>(d.width);
        want += d.width < 0     ? s
                : s.size() >= w ? s.substr(0, w)
                                : std::string(w - s.size(), ' ') + s;
      } else if (d.kind == Desc::I) {
        want += ref_integer(v.i, d.width);
        check_integer(v.i, d.width);
      } else {
        const double x = v.kind == textio::Out::Kind::Single ? static_cast<double>(v.f) : v.d;
        want += ref_fixed(x, d.width, d.decimals);
        check_fixed(x, d.width, d.decimals);
      }
    }
    if (done || next == values.size()) break;
    pending = 0;
    want += "\r\n";
  }

  textio::Formatted got;
  try {
    got = textio::format_record(format, values);
  } catch (const std::invalid_argument& e) {
    fail("well-formed format \"" + printable(format) + "\" refused: " + e.what());
  }
  if (got.text != want) {
    fail("format \"" + printable(format) + "\" wrote \"" + printable(got.text) + "\", expected \"" +
         printable(want) + "\"");
  }
  if (got.ends_record == dollar) fail("ends_record of \"" + printable(format) + "\"");

  // The field writers on their own, at any width and number of decimals within the bounds.
  for (int k = 0; k < 2; ++k) {
    check_fixed(std::bit_cast<double>(r.bytes(8)), r.below(kMaxNumber + 1),
                r.below(kMaxNumber + 1));
    check_integer(static_cast<std::int64_t>(r.bytes(8)), r.below(kMaxNumber + 1));
  }
  return {format, values.size(), got.text};
}

inline void format_one(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && data[0] == '!') {
    ByteReader r(data + 1, size - 1);
    format_model(r);
    return;
  }
  format_text(std::string_view(reinterpret_cast<const char*>(data), size));
}

}  // namespace fuzz
