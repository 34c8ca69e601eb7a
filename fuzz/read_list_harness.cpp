// The free-form reader's harness: reads a record list into items of the kinds given and checks
// every value against the reference reading and the writer's round trip.
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
// The free-form reader.

// The items of one read, each holding a sentinel until the read fills it.
struct Items {
  std::vector<textio::In::Kind> kinds;
  std::int32_t i32[kMaxItems];
  std::int64_t i64[kMaxItems];
  float f[kMaxItems];
  double d[kMaxItems];
  std::vector<textio::In> in;

  // `call` called with the storage of item n, the one of its kind.
  template <class Self, class F>
  static auto visit(Self& self, std::size_t n, F call) {
    switch (self.kinds[n]) {
      case textio::In::Kind::Int32:
        return call(self.i32[n]);
      case textio::In::Kind::Int64:
        return call(self.i64[n]);
      case textio::In::Kind::Single:
        return call(self.f[n]);
      case textio::In::Kind::Double:
        break;
    }
    return call(self.d[n]);
  }

  explicit Items(std::vector<textio::In::Kind> k) : kinds(std::move(k)) {
    for (std::size_t n = 0; n < kinds.size(); ++n) {
      i32[n] = -777;
      i64[n] = -777;
      f[n] = -777.0f;
      d[n] = -777.0;
      visit(*this, n, [&](auto& v) { in.emplace_back(v); });
    }
  }
  Items(const Items&) = delete;
  Items& operator=(const Items&) = delete;

  // Bits of item n, whatever its kind.
  std::uint64_t bits(std::size_t n) const {
    return visit(*this, n, [](const auto& v) -> std::uint64_t {
      using T = std::remove_cvref_t<decltype(v)>;
      if constexpr (std::is_integral_v<T>) {
        return static_cast<std::make_unsigned_t<T>>(v);
      } else {
        return std::bit_cast<std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>(v);
      }
    });
  }
  textio::Out out(std::size_t n) const {
    return visit(*this, n, [](const auto& v) { return textio::Out(v); });
  }
};

static bool is_int_kind(textio::In::Kind k) {
  return k == textio::In::Kind::Int32 || k == textio::In::Kind::Int64;
}

void read_list_one(const std::uint8_t* data, std::size_t size) {
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

}  // namespace fuzz
