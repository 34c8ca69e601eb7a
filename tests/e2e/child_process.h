// The real rotorforge running beside the test, its console on a pseudo-terminal (as a person at
// a terminal has it) or on pipes (as a front end driving the tool has it), so that a test can
// watch what the console shows while the program works, answer when it asks, and hold it at a
// file it opens. Also the named pipes (FIFOs) a test puts in place of a working file to hold
// the program at the moment it opens that file.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace e2e {

// How long a test waits for something the program must do before it counts as not done. Far
// beyond what any step takes even on a loaded machine: the limit only turns a hang into a
// failure and is never a measure of speed.
inline constexpr std::chrono::seconds kPatience{120};

enum class ConsoleKind { Terminal, Pipe };

inline const char* name_of(ConsoleKind kind) {
  return kind == ConsoleKind::Terminal ? "Terminal" : "Pipe";
}

// Whether this machine can give a program a pseudo-terminal (a container may have none).
inline bool have_terminal() {
  int master = -1;
  int slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return false;
  ::close(master);
  ::close(slave);
  return true;
}

class Child {
 public:
  // Starts the binary in `dir`; standard error goes to the file dir/.stderr.
  Child(const std::filesystem::path& dir, ConsoleKind kind) {
    // A write to a program that has ended must fail, not end the test.
    ::signal(SIGPIPE, SIG_IGN);
    const std::string work = dir.string();
    const std::string err = (dir / ".stderr").string();
    const char* binary = ROTORFORGE_BINARY;
    int child_in = -1;
    int child_out = -1;
    if (kind == ConsoleKind::Terminal) {
      // Raw mode: no echo of the answers and no rewriting of line ends, so the bytes read are
      // the bytes the program wrote; the program still sees a terminal.
      termios raw{};
      ::cfmakeraw(&raw);
      int master = -1;
      int slave = -1;
      if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
      }
      ::fcntl(master, F_SETFD, FD_CLOEXEC);
      in_ = out_ = master;
      child_in = child_out = slave;
    } else {
      int in_pipe[2];
      int out_pipe[2];
      if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
      }
      in_ = in_pipe[1];
      out_ = out_pipe[0];
      child_in = in_pipe[0];
      child_out = out_pipe[1];
    }
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      if (kind == ConsoleKind::Terminal) {
        ::setsid();
        ::ioctl(child_in, TIOCSCTTY, 0);
      }
      const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err_fd < 0 || ::dup2(child_in, 0) < 0 || ::dup2(child_out, 1) < 0 ||
          ::dup2(err_fd, 2) < 0 || ::chdir(work.c_str()) != 0) {
        ::_exit(127);
      }
      ::execl(binary, binary, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(child_in);
    if (child_out != child_in) ::close(child_out);
  }

  ~Child() {
    kill_hard();
    if (in_ >= 0) ::close(in_);
    if (out_ >= 0 && out_ != in_) ::close(out_);
  }

  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  const std::string& console() const { return console_; }

  void send(std::string_view text) {
    while (!text.empty()) {
      const ssize_t n = ::write(in_, text.data(), text.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return;  // the program has ended; what it shows tells the test why
      text.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Reads the console until `text` shows after the end of the previous text waited for, the
  // console ends or the patience runs out. True when it showed.
  bool wait_for(std::string_view text) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
      const std::size_t at = console_.find(text, cursor_);
      if (at != std::string::npos) {
        cursor_ = at + text.size();
        return true;
      }
      if (ended_) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      read_some(static_cast<int>(left.count()));
    }
  }

  // Ends the input, reads the console to its end and returns the exit status (-1 when the
  // program was ended by a signal or the patience ran out).
  int finish() {
    if (in_ != out_ && in_ >= 0) {
      ::close(in_);
      in_ = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!ended_) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return -1;
      read_some(static_cast<int>(left.count()));
    }
    return reap();
  }

  // Ends the program at once (SIGKILL) and waits for it.
  void kill_hard() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      reap();
    }
  }

 private:
  void read_some(int timeout_ms) {
    pollfd p{out_, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeout_ms);
    if (ready <= 0) return;
    char buf[4096];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n > 0) {
      console_.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      ended_ = true;  // a pipe gives 0 at its end, a terminal whose program has gone EIO
    }
  }

  int reap() {
    if (reaped_) return status_;
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return status_;
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string console_;
  std::size_t cursor_ = 0;
  bool ended_ = false;
  bool reaped_ = false;
  int status_ = -1;
};

// A named pipe in place of a working file: the program's open of the file waits until the test
// opens the other end, so the test decides when the program may go past that open.
class Gate {
 public:
  explicit Gate(std::filesystem::path path) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0644) != 0) throw std::runtime_error("mkfifo failed");
  }
  ~Gate() {
    if (held_ >= 0) ::close(held_);
  }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  // Lets one writing open of the program through and returns what it wrote; false when no
  // writer came and went within the patience.
  bool pass_writer(std::string& written) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Until a writer has opened the pipe, poll reports nothing; after it has closed, the end.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    bool done = false;
    while (!done) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) {
        written.append(buf, static_cast<std::size_t>(n));
      } else if (n == 0) {
        done = true;
      } else if (errno != EAGAIN && errno != EINTR) {
        break;
      }
    }
    ::close(fd);
    return done;
  }

  // Lets one reading open of the program through and hands it `text`; false when no reader
  // came within the patience.
  bool pass_reader(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    int fd = -1;
    // Opening the writing end without waiting fails (ENXIO) until the program opens its end.
    while ((fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
      if (errno != ENXIO || std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::fcntl(fd, F_SETFL, 0);
    std::string_view rest = text;
    while (!rest.empty()) {
      const ssize_t n = ::write(fd, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
    return rest.empty();
  }

  // Opens the gate for good: every later writing open goes through at once, and what the
  // program writes stays in the pipe (it holds far more than the few records written here).
  void open_for_writers() {
    if (held_ < 0) held_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }

 private:
  std::filesystem::path path_;
  int held_ = -1;
};

}  // namespace e2e
