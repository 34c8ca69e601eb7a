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

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
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

[[noreturn]] void fail(const std::string& what);
// `s` with control and non-ASCII bytes as \xNN, for messages; a double as a hexadecimal float.
std::string printable(std::string_view s);
std::string hex(double v);

// ---------------------------------------------------------------------------------------------
// The two harness bodies.

void read_list_one(const std::uint8_t* data, std::size_t size);
void format_one(const std::uint8_t* data, std::size_t size);

// The body of a libFuzzer target named `target`: runs `one` on the input; a broken invariant is
// written as "<target>: <what>" to standard error and aborts (the crash libFuzzer looks for).
int fuzz_target(const char* target, void (*one)(const std::uint8_t*, std::size_t),
                const std::uint8_t* data, std::size_t size);

// ---------------------------------------------------------------------------------------------
// Reference oracles (oracles.cpp), pinned by the replay test so that a broken oracle cannot pass
// everything.

// Whether `t` has the shape of a real or an integer item of the free-form reader.
bool ref_real_shape(std::string_view t);
bool ref_int_shape(std::string_view t);
// Reads `t` as the reference reading does (float, double; int32, int64); false when it cannot.
template <class T>
bool ref_real(std::string_view t, T& value);
template <class T>
bool ref_int(std::string_view t, T& value);
// Checks the free-form spelling of one token and of one finite real (float, double).
void check_token(std::string_view token);
template <class T>
void check_real_spelling(T v);

// Fw.d and Iw fields as printf lays them out, and the field writers' agreement with them.
std::string ref_fixed(double v, int width, int decimals);
std::string ref_integer(std::int64_t v, int width);
void check_fixed(double v, int width, int decimals);
void check_integer(std::int64_t v, int width);

// Whether a text-mode format stays within the bounds above.
bool format_within_bounds(std::string_view f);

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

// What a model-mode run built and checked.
struct ModelRun {
  std::string format;
  std::size_t values = 0;
  std::string record;
};

// Model mode on its own: builds the format and values from `r` and checks the record.
ModelRun format_model(ByteReader& r);

}  // namespace fuzz
