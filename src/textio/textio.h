// Text records: the two forms in which every file and console line of rotorforge is read and
// written.
//
//  * Free-form records: values separated by blanks, commas or line ends. On output a record
//    that holds values starts with one blank; reals are spelled with the shortest digits that
//    read back as the same value at the value's own precision.
//  * Formatted records: a fixed-column layout given by a format literal such as
//    "(f14.4, f15.4, f15.4)" or "(' Enter number of blades, Numb=', $)".
//
// Every output record ends with CR LF, on the console and in files. Input records end at LF; a
// CR right before it is not part of the record.
//
// Errors that end the run (an unreadable answer, end of file, a failed open or write) are thrown
// as textio::RunError; the main program catches it in one place, closes every file and exits
// with the error's status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace textio {

// ---------------------------------------------------------------------------------------------
// Values written and items read.

// One value of an output list. Integers, single- and double-precision reals and character
// values; a float is spelled at single precision, a double at double precision.
struct Out {
  enum class Kind { Int, Single, Double, Text };
  Kind kind;
  std::int64_t i = 0;
  float f = 0.0f;
  double d = 0.0;
  std::string_view s;

  Out(std::int64_t v) : kind(Kind::Int), i(v) {}
  Out(std::int32_t v) : kind(Kind::Int), i(v) {}
  Out(float v) : kind(Kind::Single), f(v) {}
  Out(double v) : kind(Kind::Double), d(v) {}
  Out(std::string_view v) : kind(Kind::Text), s(v) {}
  Out(const char* v) : kind(Kind::Text), s(v) {}
  Out(const std::string& v) : kind(Kind::Text), s(v) {}
};

// One item of an input list: where the value goes and of which kind it is.
struct In {
  enum class Kind { Int32, Int64, Single, Double };
  Kind kind;
  void* target;

  In(std::int32_t& v) : kind(Kind::Int32), target(&v) {}
  In(std::int64_t& v) : kind(Kind::Int64), target(&v) {}
  In(float& v) : kind(Kind::Single), target(&v) {}
  In(double& v) : kind(Kind::Double), target(&v) {}
};

// ---------------------------------------------------------------------------------------------
// Pure spelling (no I/O). These are what the streams below use.

// Free-form spelling of one real, without the record's leading blank:
// 2.0 -> "2.", 0.05 -> "0.05", 1.5e-6 -> "0.0000015", 12345678.0 -> "1.2345678E+7".
void append_real(std::string& out, double v);
void append_real(std::string& out, float v);

// The text of one free-form record holding `values`, without the line end.
// An empty list gives an empty string.
std::string free_record(std::span<const Out> values);
// Appends that record text to `out`.
void append_free(std::string& out, std::span<const Out> values);

// One record laid out by a format literal. `ends_record` is false when the format ends in "$"
// (the record stays open and the next output continues it).
struct Formatted {
  std::string text;
  bool ends_record = true;
};
Formatted format_record(std::string_view format, std::span<const Out> values);
// A malformed format literal, or a value of the wrong kind for its descriptor, is a programming
// error: format_record throws std::invalid_argument. More values than the format's descriptors
// start a new record ("\r\n" inside `text`) and use the format again from its start.

// The items of a format literal as format_record lays a record out by them (a repeat count
// gives its descriptor that many times); for the readers of formatted records. A malformed
// literal throws std::invalid_argument.
struct FormatItem {
  enum class Kind { Literal, Skip, A, I, F, Slash, Dollar };
  Kind kind;
  std::string literal;  // Literal: the text, doubled quotes already made single
  int width = -1;       // A: -1 for the value's own length; I, F: 0 for the minimal width
  int decimals = 0;     // F
  int count = 1;        // Skip: number of blanks
};
std::vector<FormatItem> format_items(std::string_view format);

// The fields themselves. A width of 0 takes the value's own length.
// Fw.d: "-0.0000", ".5000" in F5.4, asterisks when it does not fit, "NaN"/"Infinity" right-aligned.
void append_fixed(std::string& out, double v, int width, int decimals);
// Iw: right-aligned, asterisks when it does not fit.
void append_integer(std::string& out, std::int64_t v, int width);

// ---------------------------------------------------------------------------------------------
// Errors that end the run.

// Messages and statuses thrown by this library:
//   Console::read       "<what>: <read error text>"                        status 2
//   InFile::read        "<path>, record <n>: <read error text>"            status 2
//                       (n: the record holding the bad value; at the end of the file, the
//                       number the missing record would have had)
//   open, write, flush, close, removal of a file
//                       "<path>: <operating system's message>"             status 1
//                       e.g. "Result/Energy1.out: No such file or directory"
class RunError : public std::runtime_error {
 public:
  RunError(const std::string& message, int status) : std::runtime_error(message), status_(status) {}
  int status() const noexcept { return status_; }

 private:
  int status_;
};

// Texts of the free-form read errors; %d is the 1-based number of the item in the read.
//   "Bad integer for item %d in list input"
//   "Bad real number in item %d of list input"
//   "End of file"
enum class ReadError { None, BadInteger, BadReal, EndOfFile };
std::string read_error_text(ReadError error, int item);

// Readers of one whole value text (no blanks or separators around it). On error `value` is left
// unchanged and BadInteger / BadReal is returned.
//  * Integers: optional sign and decimal digits; a value outside the item's type is bad.
//  * Reals: optional sign, then digits with an optional point (".5", "3.", "1.5"), then an
//    optional exponent e, E, d or D with optional sign and digits ("1.5d3"). Names such as "inf"
//    or "nan" are not numbers. A value beyond the type's largest finite value is bad; one below
//    its smallest subnormal reads as zero. A float is converted straight from the decimal text.
ReadError parse_int(std::string_view text, std::int64_t& value) noexcept;
ReadError parse_int(std::string_view text, std::int32_t& value) noexcept;
ReadError parse_real(std::string_view text, double& value) noexcept;
ReadError parse_real(std::string_view text, float& value) noexcept;

// ---------------------------------------------------------------------------------------------
// Streams.

// Where records are read from: a source of lines (an istream or a file).
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // Next record without its line end (LF, and a CR right before it); false at end of input.
  virtual bool next_record(std::string& record) = 0;
};

// Records from an input stream: the console's answers, or text held in memory.
class StreamSource : public RecordSource {
 public:
  explicit StreamSource(std::istream& in) : in_(in) {}
  bool next_record(std::string& record) override;

 private:
  std::istream& in_;
};

// One free-form read of `items` from `source`, starting on the next record and continuing onto
// following records until every item has a value (or "/" ends the read). Values of items left
// unchanged ("/", empty item between commas) are kept. The rest of the last record read is
// skipped. `item` receives the 1-based number of the failing item when an error is returned.
ReadError read_list(RecordSource& source, std::span<const In> items, int& item);

// The console: answers from an input stream, prompts and tables to an output stream. Every read
// first flushes what was written. A formatted write ending in "$" leaves the record open.
class Console {
 public:
  Console(std::istream& in, std::ostream& out);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Free-form record (an empty list writes an empty line).
  void write(std::initializer_list<Out> values = {});
  // Record laid out by a format literal.
  void write_fmt(std::string_view format, std::initializer_list<Out> values = {});
  // Raw bytes without any record handling (progress bars).
  void write_raw(std::string_view bytes);
  // One free-form read; on error throws RunError (status 2) whose message names `what`
  // (e.g. the name of the value asked) before the error text.
  void read(std::initializer_list<In> items, std::string_view what);
  void flush();
  std::ostream& out();
  bool out_is_terminal() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A file opened for output. Opening creates it when missing but does not truncate it: the first
// record written replaces whatever the file held, so a file opened and never written keeps its
// content. Failed opens and writes throw RunError naming the path.
// One OutFile is one stream with one position; share it by reference (a file opened by the main
// program and written by another module). Not for concurrent use from several threads.
class OutFile {
 public:
  OutFile();  // not open
  // Opens; with must_exist the open fails when the file is absent (a working file that should
  // have been created earlier).
  explicit OutFile(std::string path, bool must_exist = false);
  ~OutFile();  // closes, keeping, without throwing
  OutFile(OutFile&&) noexcept;
  OutFile& operator=(OutFile&&) noexcept;

  void open(std::string path, bool must_exist = false);
  bool is_open() const;
  const std::string& path() const;

  void write(std::initializer_list<Out> values = {});
  void write(std::span<const Out> values);
  void write_fmt(std::string_view format, std::initializer_list<Out> values = {});

  // Hands what was written so far to the operating system; throws RunError on failure.
  // (Writes are buffered; close() and every console read flush as well.)
  void flush();

  // Closes, keeping the file; throws RunError if anything written did not reach the disk.
  // A failure already thrown by a write is not thrown again.
  void close();
  // Closes and removes the file (what was written but not yet flushed is dropped).
  void close_delete();

 private:
  friend void flush_all_files() noexcept;
  friend void close_all_files() noexcept;
  void close_quietly() noexcept;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Flushes every open OutFile (a failure is kept and thrown by that file's next write or close).
// Console::read calls it, so that result files are complete while the program waits.
void flush_all_files() noexcept;
// Closes every open OutFile, keeping it, without throwing (a failure is written to std::cerr).
// For the main program when the run ends on a RunError: what was written stays on disk.
void close_all_files() noexcept;

// A file opened for input; it must exist. Free-form reads run from its first record on.
class InFile : public RecordSource {
 public:
  InFile();                           // not open
  explicit InFile(std::string path);  // opens
  // Reads `text` as the file at `path` would be read, errors naming `path` and the record;
  // nothing is opened, and closing (or close_delete) leaves any file at `path` alone.
  static InFile over_text(std::string path, std::string text);
  ~InFile() override;
  InFile(InFile&&) noexcept;
  InFile& operator=(InFile&&) noexcept;

  void open(std::string path);
  bool is_open() const;
  const std::string& path() const;

  // One free-form read; on error throws RunError (status 2) whose message names the file and the
  // record where the read failed.
  void read(std::initializer_list<In> items);
  void read(std::span<const In> items);

  void close();         // keeping the file
  void close_delete();  // removing it

  bool next_record(std::string& record) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Removes a file if it exists (no error when it does not).
void remove_file(const std::string& path);

}  // namespace textio
