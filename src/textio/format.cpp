// Records laid out by a format literal: quoted literals, nX, A, Aw, Iw, Fw.d, "/" and "$".
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "textio/textio.h"

namespace textio {
namespace {

using Item = FormatItem;

bool is_data(Item::Kind k) {
  return k == Item::Kind::A || k == Item::Kind::I || k == Item::Kind::F;
}

[[noreturn]] void bad_format(std::string_view format, std::string_view why) {
  throw std::invalid_argument("format \"" + std::string(format) + "\": " + std::string(why));
}

// Format literals are written by the program itself, so a malformed one is a programming error
// (std::invalid_argument), not a run-time condition.
class Parser {
 public:
  explicit Parser(std::string_view format) : f_(format) {}

  std::vector<Item> parse() {
    skip_blanks();
    if (!take('(')) bad_format(f_, "must start with '('");
    std::vector<Item> items;
    for (;;) {
      skip_blanks();
      if (at_end()) bad_format(f_, "missing ')'");
      const char c = f_[pos_];
      if (c == ')') {
        ++pos_;
        break;
      }
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == '\'' || c == '"') {
        items.push_back(literal(c));
        continue;
      }
      if (c == '/') {
        ++pos_;
        items.push_back({Item::Kind::Slash, {}});
        continue;
      }
      if (c == '$') {
        ++pos_;
        items.push_back({Item::Kind::Dollar, {}});
        continue;
      }
      // [repeat] descriptor
      const int repeat = number(-1);
      skip_blanks();
      if (at_end()) bad_format(f_, "missing ')'");
      const char d = upper(f_[pos_++]);
      if (d == 'X') {
        Item it{Item::Kind::Skip, {}};
        it.count = repeat < 0 ? 1 : repeat;
        items.push_back(it);
        continue;
      }
      Item it{Item::Kind::A, {}};
      if (d == 'A') {
        it.width = number(-1);
        if (it.width == 0) bad_format(f_, "A0");
      } else if (d == 'I') {
        it.kind = Item::Kind::I;
        it.width = number(-1);
        if (it.width < 0) bad_format(f_, "I needs a width");
      } else if (d == 'F') {
        it.kind = Item::Kind::F;
        it.width = number(-1);
        skip_blanks();
        if (it.width < 0 || !take('.')) bad_format(f_, "F needs w.d");
        it.decimals = number(-1);
        if (it.decimals < 0) bad_format(f_, "F needs w.d");
      } else {
        bad_format(f_, "unsupported descriptor");
      }
      if (repeat == 0) bad_format(f_, "zero repeat count");
      for (int k = 0; k < (repeat < 0 ? 1 : repeat); ++k) items.push_back(it);
    }
    skip_blanks();
    if (!at_end()) bad_format(f_, "text after ')'");
    for (std::size_t k = 0; k + 1 < items.size(); ++k) {
      if (items[k].kind == Item::Kind::Dollar) bad_format(f_, "'$' must be the last item");
    }
    return items;
  }

 private:
  static char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  bool at_end() const { return pos_ >= f_.size(); }
  void skip_blanks() {
    while (!at_end() && (f_[pos_] == ' ' || f_[pos_] == '\t')) ++pos_;
  }
  bool take(char c) {
    if (!at_end() && f_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  // Unsigned decimal number (blanks inside ignored), or `none` when there is no digit.
  int number(int none) {
    skip_blanks();
    if (at_end() || f_[pos_] < '0' || f_[pos_] > '9') return none;
    long v = 0;
    while (!at_end() && ((f_[pos_] >= '0' && f_[pos_] <= '9') || f_[pos_] == ' ')) {
      if (f_[pos_] != ' ') {
        v = v * 10 + (f_[pos_] - '0');
        if (v > 1000000000) bad_format(f_, "number too large");
      }
      ++pos_;
    }
    return static_cast<int>(v);
  }
  Item literal(char quote) {
    ++pos_;
    Item it{Item::Kind::Literal, {}};
    for (;;) {
      if (at_end()) bad_format(f_, "unterminated literal");
      const char c = f_[pos_++];
      if (c == quote) {
        if (take(quote)) {
          it.literal += quote;
          continue;
        }
        return it;
      }
      it.literal += c;
    }
  }

  std::string_view f_;
  std::size_t pos_ = 0;
};

void fill_field(std::string& out, std::string_view text, int width) {
  if (width == 0) {
    out += text;
  } else if (text.size() > static_cast<std::size_t>(width)) {
    out.append(static_cast<std::size_t>(width), '*');
  } else {
    out.append(static_cast<std::size_t>(width) - text.size(), ' ');
    out += text;
  }
}

}  // namespace

void append_fixed(std::string& out, double v, int width, int decimals) {
  if (std::isnan(v)) {
    fill_field(out, "NaN", width);
    return;
  }
  if (std::isinf(v)) {
    fill_field(out, v < 0 ? "-Infinity" : "Infinity", width);
    return;
  }
  // std::to_chars with a precision rounds the exact binary value, ties to even, as printf does,
  // and keeps the sign of a negative value that rounds to zero ("-0.0000"). The largest double
  // has 309 integer digits.
  std::string buf(312 + static_cast<std::size_t>(decimals), '\0');
  auto r =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
  buf.resize(static_cast<std::size_t>(r.ptr - buf.data()));
  if (decimals == 0) buf += '.';  // the point is always written
  const std::size_t w = static_cast<std::size_t>(width);
  if (width != 0 && buf.size() == w + 1) {
    // One character short: the "0" before the point of a magnitude below 1 gives way.
    const std::size_t zero = buf[0] == '-' ? 1 : 0;
    if (buf[zero] == '0' && buf[zero + 1] == '.') buf.erase(zero, 1);
  }
  fill_field(out, buf, width);
}

void append_integer(std::string& out, std::int64_t v, int width) {
  std::array<char, 24> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  fill_field(out, std::string_view(buf.data(), static_cast<std::size_t>(r.ptr - buf.data())),
             width);
}

std::vector<FormatItem> format_items(std::string_view format) {
  return Parser(format).parse();
}

Formatted format_record(std::string_view format, std::span<const Out> values) {
  const std::vector<Item> items = format_items(format);
  Formatted result;
  result.ends_record = items.empty() || items.back().kind != Item::Kind::Dollar;
  bool has_data = false;
  for (const Item& it : items) has_data = has_data || is_data(it.kind);
  if (!has_data && !values.empty()) bad_format(format, "values given but no data descriptor");

  std::string& out = result.text;
  std::size_t next = 0;     // next value
  std::size_t pending = 0;  // blanks of nX, written only when something follows them
  auto flush_pending = [&] {
    out.append(pending, ' ');
    pending = 0;
  };
  for (;;) {
    for (const Item& it : items) {
      if (is_data(it.kind) && next == values.size()) return result;
      switch (it.kind) {
        case Item::Kind::Literal:
          flush_pending();
          out += it.literal;
          break;
        case Item::Kind::Skip:
          pending += static_cast<std::size_t>(it.count);
          break;
        case Item::Kind::Slash:
          pending = 0;
          out += "\r\n";
          break;
        case Item::Kind::Dollar:
          break;
        case Item::Kind::A: {
          const Out& v = values[next++];
          if (v.kind != Out::Kind::Text) bad_format(format, "A needs a character value");
          flush_pending();
          if (it.width < 0) {
            out += v.s;
          } else {
            const std::size_t w = static_cast<std::size_t>(it.width);
            if (v.s.size() >= w) {
              out += v.s.substr(0, w);
            } else {
              out.append(w - v.s.size(), ' ');
              out += v.s;
            }
          }
          break;
        }
        case Item::Kind::I: {
          const Out& v = values[next++];
          if (v.kind != Out::Kind::Int) bad_format(format, "I needs an integer value");
          flush_pending();
          append_integer(out, v.i, it.width);
          break;
        }
        case Item::Kind::F: {
          const Out& v = values[next++];
          double d = 0.0;
          if (v.kind == Out::Kind::Double) {
            d = v.d;
          } else if (v.kind == Out::Kind::Single) {
            d = static_cast<double>(v.f);  // exact
          } else {
            bad_format(format, "F needs a real value");
          }
          flush_pending();
          append_fixed(out, d, it.width, it.decimals);
          break;
        }
      }
    }
    if (next == values.size()) return result;
    // More values than descriptors: a new record, the format used again from its start.
    pending = 0;
    out += "\r\n";
  }
}

std::string read_error_text(ReadError error, int item) {
  switch (error) {
    case ReadError::None:
      return {};
    case ReadError::BadInteger:
      return "Bad integer for item " + std::to_string(item) + " in list input";
    case ReadError::BadReal:
      return "Bad real number in item " + std::to_string(item) + " of list input";
    case ReadError::EndOfFile:
      return "End of file";
  }
  return {};
}

}  // namespace textio
