// Starting a child program: the one way every companion does it.
//
// Everything the child needs (its argument and environment arrays, its program's path, the files
// and pipes of its standard streams) is prepared before fork; between fork and exec the child
// makes only async-signal-safe calls, so a program with threads may start children safely. Every
// descriptor the parent opens is close-on-exec: a child started from one thread never inherits
// the files of a child started from another.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace process {

namespace fs = std::filesystem;

struct Command {
  // argv[0] is the program: a path when it holds a '/', else a name looked up in PATH before
  // fork (find_program).
  std::vector<std::string> argv;
  // The child's whole environment as NAME=VALUE; none: this process's own.
  std::optional<std::vector<std::string>> env;
  fs::path dir;  // the child's working directory; empty: this process's
  // The standard streams; an empty path leaves the stream as this process has it. `out` and
  // `err` are created or emptied (mode 0644); the same path for both is opened once, so that
  // the two streams interleave in the file as they are written. Paths are opened by this
  // process, relative to its own working directory (not `dir`).
  fs::path in;
  fs::path out;
  fs::path err;
  bool capture_out = false;  // standard output into Result::output instead (`out` empty)
  // A process group of its own (the child leads it): the terminal's Ctrl-C does not reach it,
  // and Child::signal reaches everything it starts. Otherwise it stays in this process's group.
  bool own_group = false;
  int cpu_seconds = 0;   // limit of processor time (RLIMIT_CPU: SIGXCPU, then SIGKILL); 0: none
  bool no_core = false;  // no core file when it crashes
};

// What kept a child from running to its end, if anything.
enum class Failure {
  None,
  Open,  // a standard stream's file, or the working directory, could not be opened
  Fork,  // no new process
  Exec,  // the program could not be started (missing, not executable ...)
  Wait,  // the child could not be waited for
};

struct Result {
  Failure failure = Failure::None;
  int error = 0;           // errno of the failure
  std::string what;        // the file or program of the failure
  int raw = 0;             // the wait status, when the child ran
  bool timed_out = false;  // Watch::time_limit passed: the child's group was killed
  bool stopped = false;    // Watch::stop asked: the child's group was sent Watch::stop_signal
  std::string output;      // standard output, with Command::capture_out

  bool ran() const { return failure == Failure::None; }
  // Ended by exit(): its status; else -1.
  int exit_code() const;
  // Ended by a signal: its number; else 0.
  int signal() const;
  // "cannot open FILE: why", "cannot start PROGRAM: why", "cannot wait for PROGRAM: why"; "" when
  // it ran.
  std::string failure_text() const;
};

// How a running child is watched while it is waited for. With none of these set the wait blocks
// until the child ends.
struct Watch {
  // Seconds of wall time from the start, after which the child's group is killed (SIGKILL);
  // 0: no limit.
  double time_limit = 0.0;
  // Asked at every look; when it first returns true the child's group gets `stop_signal` (the
  // wait goes on until the child ends). Safe with a flag set by a signal handler.
  std::function<bool()> stop;
  int stop_signal = SIGKILL;
  // Called at every look (a progress display).
  std::function<void()> tick;
  std::chrono::milliseconds every{10};  // time between looks
};

// A started child. Moves only; it should be waited for (wait) before it goes.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // Sends `sig` to the child's group when it has one of its own, else to the child alone.
  void signal(int sig) const;

 private:
  friend Child start(const Command& command, Result& failure);
  friend Result wait(Child& child, const Watch& watch);
  pid_t pid_ = -1;
  bool own_group_ = false;
  int out_fd_ = -1;  // read end of the capture pipe
  std::string program_;
  std::chrono::steady_clock::time_point started_{};
};

// Starts `command`. When it cannot be started, `failure` says why and the child's pid() is -1.
Child start(const Command& command, Result& failure);

// Waits for `child` to end, reading its captured output meanwhile, under `watch`.
Result wait(Child& child, const Watch& watch = {});

// The path of `program`: a path (holding a '/') when it is an executable file, else the first
// executable file of that name in the folders of PATH (an empty entry is the working
// directory); "" when there is none, and `why` (when given) gets ENOENT or EACCES.
std::string find_program(const std::string& program, int* why = nullptr);

// From now on the signals with which a terminal or a scheduler asks a program to end (SIGINT:
// Ctrl-C, SIGTERM, SIGHUP) only ask it to stop (request_stop): the program stops the children it
// started in order, each whole group, and ends as it chooses. A wait interrupted by one returns
// at once (no SA_RESTART).
void stop_on_interrupt();
// Asks the program to stop; safe from a signal handler and from any thread.
void request_stop() noexcept;
// Whether it was asked to.
bool stop_requested() noexcept;

// start, then wait.
Result run(const Command& command, const Watch& watch = {});

}  // namespace process
