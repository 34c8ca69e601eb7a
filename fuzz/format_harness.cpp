// The format-string writer's harness: any format literal in text mode, and in model mode a
// well-formed format whose record must match an independent printf model.
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

// ---------------------------------------------------------------------------------------------
// The format-string writer.

// Fw.d as a field: printf's correctly rounded fixed spelling, the point always written, the "0"
// before the point dropped when the field is one character short, asterisks when it does not fit.
std::string ref_fixed(double v, int width, int decimals) {
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

std::string ref_integer(std::int64_t v, int width) {
  const std::string s = std::to_string(v);
  if (width == 0) return s;
  if (s.size() > static_cast<std::size_t>(width)) return std::string(width, '*');
  return std::string(width - s.size(), ' ') + s;
}

void check_fixed(double v, int width, int decimals) {
  std::string out = "#";
  textio::append_fixed(out, v, width, decimals);
  const std::string want = ref_fixed(v, width, decimals);
  if (out.substr(1) != want) {
    fail("append_fixed(" + hex(v) + ", " + std::to_string(width) + ", " + std::to_string(decimals) +
         ") gave \"" + out.substr(1) + "\", expected \"" + want + "\"");
  }
  if (out[0] != '#') fail("append_fixed overwrote what was there");
}

void check_integer(std::int64_t v, int width) {
  std::string out = "#";
  textio::append_integer(out, v, width);
  if (out != "#" + ref_integer(v, width)) {
    fail("append_integer(" + std::to_string(v) + ", " + std::to_string(width) + ") gave \"" +
         out.substr(1) + "\"");
  }
}

// A number as it may be spelled in a format: blanks may stand between its digits.
static std::string spell_number(long v, ByteReader& r) {
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
bool format_within_bounds(std::string_view f) {
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
static void format_text(std::string_view input) {
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

// Model mode: a well-formed format and matching values, laid out by an independent model.
ModelRun format_model(ByteReader& r) {
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

void format_one(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && data[0] == '!') {
    ByteReader r(data + 1, size - 1);
    format_model(r);
    return;
  }
  format_text(std::string_view(reinterpret_cast<const char*>(data), size));
}

}  // namespace fuzz
