#include "companion/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

extern char** environ;

namespace process {

namespace {

// A descriptor closed when the object goes.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// A descriptor of 0, 1 or 2 (this process had one of its standard streams closed) moved above
// them: the child's dup2 onto 0-2 must never find its source there.
int above_standard(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  ::close(fd);
  return moved;
}

int open_file(const fs::path& path, int flags) {
  return above_standard(::open(path.c_str(), flags | O_CLOEXEC, 0644));
}

bool pipe_pair(int fds[2]) {
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  fds[0] = above_standard(fds[0]);
  fds[1] = above_standard(fds[1]);
  return fds[0] >= 0 && fds[1] >= 0;
}

// What the child tells the parent through the report pipe when it cannot go on.
struct Report {
  int step;  // a Failure
  int error;
};

// Between fork and exec: only async-signal-safe calls, on what the parent prepared.
struct Prepared {
  const char* path;
  char* const* argv;
  char* const* envp;
  const char* dir;   // nullptr: stay
  int in, out, err;  // -1: inherited
  int report;
  bool own_group;
  int cpu_seconds;
  bool no_core;
};

[[noreturn]] void tell_and_exit(int report, Failure step) {
  const Report r{static_cast<int>(step), errno};
  (void)!::write(report, &r, sizeof r);
  _exit(step == Failure::Exec ? 127 : 126);
}

[[noreturn]] void become(const Prepared& p) {
  if (p.own_group) setpgid(0, 0);
  if (p.dir != nullptr && chdir(p.dir) != 0) tell_and_exit(p.report, Failure::Open);
  // dup2 leaves the new descriptor open across exec; every source is above 2 and close-on-exec.
  if (p.in >= 0) dup2(p.in, 0);
  if (p.out >= 0) dup2(p.out, 1);
  if (p.err >= 0) dup2(p.err, 2);
  if (p.cpu_seconds > 0) {
    const rlimit cpu{static_cast<rlim_t>(p.cpu_seconds), static_cast<rlim_t>(p.cpu_seconds)};
    setrlimit(RLIMIT_CPU, &cpu);
  }
  if (p.no_core) {
    const rlimit core{0, 0};
    setrlimit(RLIMIT_CORE, &core);
  }
  execve(p.path, p.argv, p.envp);
  tell_and_exit(p.report, Failure::Exec);
}

void fail(Result& r, Failure f, int error, std::string what) {
  r.failure = f;
  r.error = error;
  r.what = std::move(what);
}

// Appends what `fd` has to `text`, waiting up to `timeout_ms` (-1: for ever) for it; false at
// the end of the stream.
bool read_some(int fd, std::string& text, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  const int ready = ::poll(&p, 1, timeout_ms);
  if (ready == 0) return true;
  if (ready < 0) return errno == EINTR;
  char buf[4096];
  const ssize_t n = ::read(fd, buf, sizeof buf);
  if (n < 0) return errno == EINTR || errno == EAGAIN;
  text.append(buf, static_cast<std::size_t>(n));
  return n > 0;
}

// Lock-free, so that a signal handler may set it.
std::atomic<bool> stop_flag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_interrupt(int) {
  request_stop();
}

bool runnable(const std::string& path, int& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (::access(path.c_str(), X_OK) == 0) return true;
  error = EACCES;
  return false;
}

}  // namespace

std::string find_program(const std::string& program, int* why) {
  int error = ENOENT;
  std::string found;
  if (program.find('/') != std::string::npos) {
    if (runnable(program, error)) found = program;
  } else if (!program.empty()) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
      const auto colon = rest.find(':');
      const std::string_view dir = rest.substr(0, colon);
      const std::string candidate =
          (fs::path(dir.empty() ? std::string_view(".") : dir) / program).string();
      if (runnable(candidate, error)) {
        found = candidate;
        break;
      }
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  if (found.empty() && why != nullptr) *why = error;
  return found;
}

void stop_on_interrupt() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

void request_stop() noexcept {
  stop_flag.store(true);
}

bool stop_requested() noexcept {
  return stop_flag.load();
}

int Result::exit_code() const {
  return ran() && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

int Result::signal() const {
  return ran() && WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
}

std::string Result::failure_text() const {
  const std::string why = std::strerror(error);
  switch (failure) {
    case Failure::None:
      return "";
    case Failure::Open:
      return "cannot open " + what + ": " + why;
    case Failure::Fork:
    case Failure::Exec:
      return "cannot start " + what + ": " + why;
    case Failure::Wait:
      return "cannot wait for " + what + ": " + why;
  }
  return "";
}

Child::~Child() {
  if (out_fd_ >= 0) ::close(out_fd_);
}

Child::Child(Child&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      own_group_(other.own_group_),
      out_fd_(std::exchange(other.out_fd_, -1)),
      program_(std::move(other.program_)),
      started_(other.started_) {}

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    if (out_fd_ >= 0) ::close(out_fd_);
    pid_ = std::exchange(other.pid_, -1);
    own_group_ = other.own_group_;
    out_fd_ = std::exchange(other.out_fd_, -1);
    program_ = std::move(other.program_);
    started_ = other.started_;
  }
  return *this;
}

void Child::signal(int sig) const {
  if (pid_ <= 0) return;
  ::kill(own_group_ ? -pid_ : pid_, sig);
}

Child start(const Command& command, Result& failure) {
  Child child;
  child.program_ = command.argv.empty() ? std::string() : command.argv[0];
  child.own_group_ = command.own_group;
  // A path goes to exec as it is, which says what is wrong with it.
  int error = 0;
  const std::string path = child.program_.find('/') != std::string::npos
                               ? child.program_
                               : find_program(child.program_, &error);
  if (path.empty()) {
    fail(failure, Failure::Exec, error, child.program_);
    return child;
  }
  std::vector<std::string> args = command.argv;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = command.env.value_or(std::vector<std::string>());
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string dir = command.dir.string();

  auto opened = [&](const fs::path& file, int flags, Fd& fd) {
    if (file.empty()) return true;
    fd.reset(open_file(file, flags));
    if (fd.get() >= 0) return true;
    fail(failure, Failure::Open, errno, file.string());
    return false;
  };
  Fd in, out, err;
  constexpr int kWrite = O_WRONLY | O_CREAT | O_TRUNC;
  if (!opened(command.in, O_RDONLY, in) || !opened(command.out, kWrite, out)) return child;
  const bool shared = !command.err.empty() && command.err == command.out;
  if (!shared && !opened(command.err, kWrite, err)) return child;
  Fd capture_read, capture_write;
  if (command.capture_out) {
    int fds[2];
    if (!pipe_pair(fds)) {
      fail(failure, Failure::Fork, errno, child.program_);
      return child;
    }
    capture_read.reset(fds[0]);
    capture_write.reset(fds[1]);
  }
  int report_fds[2];
  if (!pipe_pair(report_fds)) {
    fail(failure, Failure::Fork, errno, child.program_);
    return child;
  }
  Fd report_read(report_fds[0]), report_write(report_fds[1]);

  const Prepared p{path.c_str(),
                   argv.data(),
                   command.env ? envp.data() : environ,
                   dir.empty() ? nullptr : dir.c_str(),
                   in.get(),
                   command.capture_out ? capture_write.get() : out.get(),
                   shared ? out.get() : err.get(),
                   report_write.get(),
                   command.own_group,
                   command.cpu_seconds,
                   command.no_core};
  child.started_ = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) become(p);
  if (pid < 0) {
    fail(failure, Failure::Fork, errno, child.program_);
    return child;
  }
  // Also here, so that the group exists before the parent signals it.
  if (command.own_group) setpgid(pid, pid);
  report_write.reset();
  capture_write.reset();
  Report r{};
  ssize_t n = 0;
  while ((n = ::read(report_read.get(), &r, sizeof r)) < 0 && errno == EINTR) {
  }
  if (n == static_cast<ssize_t>(sizeof r)) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    const Failure step = static_cast<Failure>(r.step);
    fail(failure, step, r.error, step == Failure::Open ? dir : child.program_);
    return child;
  }
  child.pid_ = pid;
  child.out_fd_ = capture_read.release();
  return child;
}

Result wait(Child& child, const Watch& watch) {
  Result r;
  if (child.pid_ <= 0) {
    fail(r, Failure::Wait, ECHILD, child.program_);
    return r;
  }
  const bool watching = watch.time_limit > 0.0 || watch.stop || watch.tick;
  const int every_ms = static_cast<int>(watch.every.count());
  bool signalled = false;
  for (;;) {
    bool idle = false;
    if (child.out_fd_ >= 0) {
      if (!read_some(child.out_fd_, r.output, watching ? every_ms : -1)) {
        ::close(child.out_fd_);
        child.out_fd_ = -1;
      }
    } else {
      int raw = 0;
      const pid_t got = waitpid(child.pid_, &raw, watching ? WNOHANG : 0);
      if (got == child.pid_) {
        r.raw = raw;
        break;
      }
      if (got < 0 && errno != EINTR) {
        fail(r, Failure::Wait, errno, child.program_);
        break;
      }
      idle = got == 0;
    }
    if (!watching) continue;
    if (!signalled && watch.stop && watch.stop()) {
      r.stopped = signalled = true;
      child.signal(watch.stop_signal);
    } else if (!signalled && watch.time_limit > 0.0 &&
               std::chrono::duration<double>(std::chrono::steady_clock::now() - child.started_)
                       .count() > watch.time_limit) {
      r.timed_out = signalled = true;
      child.signal(SIGKILL);
    }
    if (watch.tick) watch.tick();
    if (idle) std::this_thread::sleep_for(watch.every);
  }
  child.pid_ = -1;
  return r;
}

Result run(const Command& command, const Watch& watch) {
  Result failure;
  Child child = start(command, failure);
  if (!failure.ran()) return failure;
  return wait(child, watch);
}

}  // namespace process
