// The console, files for output and input, and removing files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "textio/textio.h"

namespace textio {
namespace {

constexpr int kFileStatus = 1;  // exit status of a failed open, write, close or removal
constexpr int kReadStatus = 2;  // exit status of an unreadable value or end of file
constexpr std::size_t kFlushSize = 1 << 16;

[[noreturn]] void file_error(const std::string& path, int error) {
  throw RunError(path + ": " + std::strerror(error), kFileStatus);
}

// Writes all of `bytes`; returns 0 or the errno of the failure.
int write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

}  // namespace

bool StreamSource::next_record(std::string& record) {
  if (!std::getline(in_, record)) return false;
  if (!record.empty() && record.back() == '\r') record.pop_back();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Open output files, so that pending output can be pushed to disk before the program waits for
// an answer (the user may look at a result file meanwhile).

struct FileRegistry {
  std::mutex mutex;
  std::vector<OutFile*> files;
};
static FileRegistry& registry() {
  // Never destroyed: an OutFile may outlive every other static object.
  static FileRegistry* r = new FileRegistry;
  return *r;
}

// Replacing a file: the records are written over the old content from the start, and whatever
// of the old content lies beyond them is cut off at every flush. The file thus holds exactly what
// was written whenever the program hands it over (flush, console read, close), and it is never
// truncated to length zero first: on ext4 a truncate-to-zero followed by a rewrite forces the
// data to disk at close, which costs milliseconds per rewrite of a coefficient file in the
// optimiser against tens of microseconds this way.
struct OutFile::Impl {
  std::string path;
  int fd = -1;
  bool regular = false;      // only a regular file can be cut
  bool written = false;      // a first record has been written: the old content is to go
  std::uint64_t size = 0;    // length of the file on disk as far as known
  std::uint64_t handed = 0;  // bytes handed to the operating system
  std::string buffer;
  int error = 0;          // errno of the first failure
  bool reported = false;  // that failure has been thrown

  void flush() {
    if (error == 0 && !buffer.empty()) {
      error = write_all(fd, buffer);
      if (error == 0) handed += buffer.size();
    }
    buffer.clear();
    if (error != 0 || !written) return;
    if (regular && handed < size) {
      if (::ftruncate(fd, static_cast<off_t>(handed)) != 0) {
        error = errno;
      } else {
        size = handed;
      }
    } else if (handed > size) {
      size = handed;
    }
  }
  void raise_if_failed() {
    if (error != 0 && !reported) {
      reported = true;
      file_error(path, error);
    }
  }
  void record(std::string_view text, bool ends_record) {
    if (fd < 0) throw std::logic_error("textio::OutFile: write to a file that is not open");
    written = true;
    buffer += text;
    if (ends_record) buffer += "\r\n";
    if (buffer.size() >= kFlushSize) flush();
    raise_if_failed();
  }
  // Closes; returns the errno of the first failure not yet thrown, or 0.
  int close_fd() {
    flush();
    if (::close(fd) != 0 && error == 0) error = errno;
    fd = -1;
    return reported ? 0 : error;
  }
};

OutFile::OutFile() = default;

OutFile::OutFile(std::string path, bool must_exist) {
  open(std::move(path), must_exist);
}

void OutFile::close_quietly() noexcept {
  if (!is_open()) return;
  {
    std::lock_guard lock(registry().mutex);
    std::erase(registry().files, this);
  }
  if (const int e = impl_->close_fd(); e != 0) {
    // A destructor cannot throw; the loss is at least not silent.
    std::cerr << impl_->path << ": " << std::strerror(e) << '\n';
  }
}

OutFile::~OutFile() {
  close_quietly();
}

OutFile::OutFile(OutFile&& other) noexcept {
  std::lock_guard lock(registry().mutex);
  impl_ = std::move(other.impl_);
  std::replace(registry().files.begin(), registry().files.end(), &other, this);
}

OutFile& OutFile::operator=(OutFile&& other) noexcept {
  if (this != &other) {
    close_quietly();
    std::lock_guard lock(registry().mutex);
    impl_ = std::move(other.impl_);
    std::replace(registry().files.begin(), registry().files.end(), &other, this);
  }
  return *this;
}

void OutFile::open(std::string path, bool must_exist) {
  if (is_open()) close();
  // Created when missing, never truncated here: the first record written does that.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | (must_exist ? 0 : O_CREAT), 0666);
  if (fd < 0) file_error(path, errno);
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!impl_) impl_ = std::make_unique<Impl>();
  *impl_ = Impl{};
  impl_->path = std::move(path);
  impl_->fd = fd;
  impl_->regular = regular;
  impl_->size = regular ? static_cast<std::uint64_t>(st.st_size) : 0;
  std::lock_guard lock(registry().mutex);
  registry().files.push_back(this);
}

bool OutFile::is_open() const {
  return impl_ && impl_->fd >= 0;
}

const std::string& OutFile::path() const {
  static const std::string none;
  return impl_ ? impl_->path : none;
}

void OutFile::write(std::initializer_list<Out> values) {
  write(std::span<const Out>(values.begin(), values.size()));
}

void OutFile::write(std::span<const Out> values) {
  thread_local std::string text;
  text.clear();
  append_free(text, values);
  if (!impl_) throw std::logic_error("textio::OutFile: write to a file that is not open");
  impl_->record(text, true);
}

void OutFile::write_fmt(std::string_view format, std::initializer_list<Out> values) {
  const Formatted f = format_record(format, std::span<const Out>(values.begin(), values.size()));
  if (!impl_) throw std::logic_error("textio::OutFile: write to a file that is not open");
  impl_->record(f.text, f.ends_record);
}

void OutFile::flush() {
  if (!is_open()) return;
  impl_->flush();
  impl_->raise_if_failed();
}

void OutFile::close() {
  if (!is_open()) return;
  {
    std::lock_guard lock(registry().mutex);
    std::erase(registry().files, this);
  }
  if (const int e = impl_->close_fd(); e != 0) {
    impl_->reported = true;
    file_error(impl_->path, e);
  }
}

void OutFile::close_delete() {
  if (!is_open()) return;
  {
    std::lock_guard lock(registry().mutex);
    std::erase(registry().files, this);
  }
  impl_->buffer.clear();  // nothing of it is wanted
  ::close(impl_->fd);
  impl_->fd = -1;
  if (::unlink(impl_->path.c_str()) != 0 && errno != ENOENT) file_error(impl_->path, errno);
}

void flush_all_files() noexcept {
  std::lock_guard lock(registry().mutex);
  // A failure is kept in the file and thrown by its next write or its close.
  for (OutFile* f : registry().files) f->impl_->flush();
}

void close_all_files() noexcept {
  std::vector<OutFile*> files;
  {
    std::lock_guard lock(registry().mutex);
    files = registry().files;
  }
  for (OutFile* f : files) f->close_quietly();
}

// ---------------------------------------------------------------------------------------------

struct InFile::Impl {
  std::string path;
  int fd = -1;
  std::string buffer;
  std::size_t pos = 0;
  bool at_end = false;
  long records = 0;        // records handed out so far
  bool in_memory = false;  // the whole text is in `buffer`; no descriptor
};

InFile::InFile() = default;
InFile::InFile(std::string path) {
  open(std::move(path));
}
InFile::~InFile() {
  if (impl_ && impl_->fd >= 0) ::close(impl_->fd);
}
InFile::InFile(InFile&&) noexcept = default;
InFile& InFile::operator=(InFile&& other) noexcept {
  if (this != &other) {
    if (impl_ && impl_->fd >= 0) ::close(impl_->fd);
    impl_ = std::move(other.impl_);
  }
  return *this;
}

void InFile::open(std::string path) {
  if (is_open()) close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) file_error(path, errno);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    file_error(path, EISDIR);
  }
  if (!impl_) impl_ = std::make_unique<Impl>();
  *impl_ = Impl{};
  impl_->path = std::move(path);
  impl_->fd = fd;
}

InFile InFile::over_text(std::string path, std::string text) {
  InFile in;
  in.impl_ = std::make_unique<Impl>();
  in.impl_->path = std::move(path);
  in.impl_->buffer = std::move(text);
  in.impl_->at_end = true;
  in.impl_->in_memory = true;
  return in;
}

bool InFile::is_open() const {
  return impl_ && (impl_->fd >= 0 || impl_->in_memory);
}

const std::string& InFile::path() const {
  static const std::string none;
  return impl_ ? impl_->path : none;
}

bool InFile::next_record(std::string& record) {
  if (!is_open()) throw std::logic_error("textio::InFile: read from a file that is not open");
  Impl& f = *impl_;
  for (;;) {
    const std::size_t lf = f.buffer.find('\n', f.pos);
    if (lf != std::string::npos || (f.at_end && f.pos < f.buffer.size())) {
      // A last line without a line end is still a record.
      const std::size_t end = lf == std::string::npos ? f.buffer.size() : lf;
      record.assign(f.buffer, f.pos, end - f.pos);
      f.pos = lf == std::string::npos ? end : lf + 1;
      if (!record.empty() && record.back() == '\r') record.pop_back();
      ++f.records;
      return true;
    }
    if (f.at_end) return false;
    f.buffer.erase(0, f.pos);
    f.pos = 0;
    const std::size_t old = f.buffer.size();
    f.buffer.resize(old + kFlushSize);
    ssize_t n;
    do {
      n = ::read(f.fd, f.buffer.data() + old, kFlushSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      const int e = errno;
      f.buffer.resize(old);
      file_error(f.path, e);
    }
    f.buffer.resize(old + static_cast<std::size_t>(n));
    if (n == 0) f.at_end = true;
  }
}

void InFile::read(std::initializer_list<In> items) {
  read(std::span<const In>(items.begin(), items.size()));
}

void InFile::read(std::span<const In> items) {
  if (!is_open()) throw std::logic_error("textio::InFile: read from a file that is not open");
  int item = 0;
  const ReadError e = read_list(*this, items, item);
  if (e == ReadError::None) return;
  // The record where the read failed; at the end of the file, the one that is missing.
  const long record = impl_->records + (e == ReadError::EndOfFile ? 1 : 0);
  throw RunError(
      impl_->path + ", record " + std::to_string(record) + ": " + read_error_text(e, item),
      kReadStatus);
}

void InFile::close() {
  if (!is_open()) return;
  if (impl_->in_memory) {
    impl_->in_memory = false;
    return;
  }
  ::close(impl_->fd);
  impl_->fd = -1;
}

void InFile::close_delete() {
  if (!is_open()) return;
  if (impl_->in_memory) return close();  // no file of its own to remove
  close();
  remove_file(impl_->path);
}

void remove_file(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) file_error(path, errno);
}

// ---------------------------------------------------------------------------------------------

struct Console::Impl {
  std::istream& in;
  std::ostream& out;
  bool terminal;
  StreamSource source;
  std::string text;
};

Console::Console(std::istream& in, std::ostream& out)
    : impl_(std::make_unique<Impl>(Impl{
          in, out, &out == &std::cout && ::isatty(STDOUT_FILENO) == 1, StreamSource(in), {}})) {}

Console::~Console() = default;

void Console::write(std::initializer_list<Out> values) {
  std::string& t = impl_->text;
  t.clear();
  append_free(t, std::span<const Out>(values.begin(), values.size()));
  t += "\r\n";
  impl_->out.write(t.data(), static_cast<std::streamsize>(t.size()));
}

void Console::write_fmt(std::string_view format, std::initializer_list<Out> values) {
  Formatted f = format_record(format, std::span<const Out>(values.begin(), values.size()));
  if (f.ends_record) f.text += "\r\n";
  impl_->out.write(f.text.data(), static_cast<std::streamsize>(f.text.size()));
}

void Console::write_raw(std::string_view bytes) {
  impl_->out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Console::read(std::initializer_list<In> items, std::string_view what) {
  // The prompt must be visible, and the result files complete, while the program waits.
  flush_all_files();
  impl_->out.flush();
  int item = 0;
  const ReadError e =
      read_list(impl_->source, std::span<const In>(items.begin(), items.size()), item);
  if (e != ReadError::None) {
    throw RunError(std::string(what) + ": " + read_error_text(e, item), kReadStatus);
  }
}

void Console::flush() {
  impl_->out.flush();
}
std::ostream& Console::out() {
  return impl_->out;
}
bool Console::out_is_terminal() const {
  return impl_->terminal;
}

}  // namespace textio
