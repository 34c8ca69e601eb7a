#include "foil/xfoil.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "foil/section.h"
#include "util/whole_file.h"

extern char** environ;

namespace foil {

namespace {

namespace fs = std::filesystem;

// XFOIL settings: free transition with the e^N method at Ncrit 9 (an average wind tunnel),
// 100 Newton iterations per point, 160 panel nodes from PANE, 240 in the fine variant.
constexpr int kNcrit = 9;
constexpr int kIterations = 100;
constexpr int kBridgeIterations = 300;
constexpr int kFinePanels = 240;

std::string g(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw Error(path.string() + ": cannot write");
}

// A number as Python's float() reads it would, from a whole word; false for anything else.
bool whole_number(const std::string& word, double& v) {
  if (word.empty()) return false;
  char* end = nullptr;
  v = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size();
}

// Lock-free, so that a signal handler may set it.
std::atomic<bool> stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void request_stop() noexcept {
  stop.store(true);
}
bool stop_requested() noexcept {
  return stop.load();
}

const char* variant_name(Variant v) {
  switch (v) {
    case Variant::Base:
      return "base";
    case Variant::NoAcceleration:
      return "A";
    case Variant::FinePanels:
      return "B";
    case Variant::Bridge:
      return "C";
  }
  return "?";
}

std::string commands(const XfoilSetup& setup, const SweepJob& job) {
  const double step =
      job.variant == Variant::FinePanels ? setup.angles.step / 2.0 : setup.angles.step;
  std::vector<std::string> lines = {"PLOP", "G", ""};  // graphics off
  lines.push_back(setup.geometry);
  if (job.variant == Variant::FinePanels) {
    lines.insert(lines.end(), {"PPAR", "N " + std::to_string(kFinePanels), "", ""});
  } else {
    lines.push_back("PANE");
  }
  lines.insert(lines.end(), {"OPER", "VISC " + std::to_string(job.reynolds), "VPAR",
                             "N " + std::to_string(kNcrit)});
  if (job.variant == Variant::NoAcceleration) lines.push_back("VACC 0");
  const int iterations = job.variant == Variant::Bridge ? kBridgeIterations : kIterations;
  lines.insert(lines.end(), {"", "ITER " + std::to_string(iterations), "PACC", "polar.txt", ""});
  const double sign = job.direction == Direction::Up ? 1.0 : -1.0;
  const double first = job.direction == Direction::Up ? 0.0 : -step;
  if (job.variant == Variant::Bridge) {
    lines.push_back("ASEQ " + g(first) + " " + g(job.seed) + " " + g(sign * step));
    lines.push_back("ASEQ " + g(job.seed) + " " + g(job.back_to) + " " + g(-sign * step / 2.0));
  } else {
    const double last = job.direction == Direction::Up ? setup.angles.to : setup.angles.from;
    lines.push_back("ASEQ " + g(first) + " " + g(last) + " " + g(sign * step));
  }
  lines.insert(lines.end(), {"PACC", "", "QUIT"});
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

Points read_polar_file(std::string_view text) {
  Points points;
  bool started = false;
  while (!text.empty()) {
    const auto nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    std::vector<std::string> w;
    for (std::size_t i = 0; i < line.size();) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
      std::size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
      if (j > i) w.emplace_back(line.substr(i, j - i));
      i = j;
    }
    if (!w.empty() && w[0].starts_with("------")) {
      started = true;
      continue;
    }
    if (!started || w.size() < 3) continue;
    double a = 0.0, cl = 0.0, cd = 0.0;
    if (!whole_number(w[0], a) || !whole_number(w[1], cl) || !whole_number(w[2], cd)) continue;
    if (!std::isfinite(a) || !std::isfinite(cl) || !std::isfinite(cd) || !(cd > 0.0)) continue;
    // The angle as the nearest double to its value rounded to four decimals, the key under which
    // a point is known.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", a);
    a = std::strtod(buf, nullptr);
    bool seen = false;
    for (const PolarPoint& p : points) seen = seen || p.alpha == a;
    if (!seen) points.push_back({a, cl, cd});
  }
  return points;
}

SweepOutcome run_sweep(const XfoilSetup& setup, const SweepJob& job, const std::string& workdir) {
  const auto start = std::chrono::steady_clock::now();
  if (stop_requested()) return SweepOutcome{{}, "interrupted", 0.0};
  std::error_code ec;
  fs::remove_all(workdir, ec);
  fs::create_directories(workdir);
  const fs::path wd(workdir);
  if (!setup.section_file.empty()) write_file(wd / "section.dat", setup.section_file);
  write_file(wd / "cmds.in", commands(setup, job));

  // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
  const std::string cmds = (wd / "cmds.in").string();
  const std::string log = (wd / "log.txt").string();
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view v(*e);
    if (!v.starts_with("LD_PRELOAD=") && !v.starts_with("GFORTRAN_UNBUFFERED_ALL=")) {
      env_text.emplace_back(v);
    }
  }
  env_text.push_back("LD_PRELOAD=" + setup.shim);
  // Points reach the polar file as they are computed, so a killed sweep keeps them.
  env_text.push_back("GFORTRAN_UNBUFFERED_ALL=1");
  std::vector<char*> envp;
  for (auto& s : env_text) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string program = setup.program;
  char* argv[] = {program.data(), nullptr};
  const rlimit cpu{static_cast<rlim_t>(setup.cpu_seconds), static_cast<rlim_t>(setup.cpu_seconds)};
  const rlimit core{0, 0};

  const pid_t pid = fork();
  if (pid < 0) throw Error("cannot start xfoil: fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    if (chdir(workdir.c_str()) != 0) _exit(126);
    const int in = open(cmds.c_str(), O_RDONLY);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    close(in);
    close(out);
    setrlimit(RLIMIT_CPU, &cpu);
    setrlimit(RLIMIT_CORE, &core);
    execve(argv[0], argv, envp.data());
    _exit(127);
  }
  setpgid(pid, pid);  // also here, so that the group exists before any kill below

  SweepOutcome outcome;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (waited > setup.wall_seconds || stop_requested()) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      outcome.status = stop_requested() ? "interrupted" : "time limit";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (outcome.status.empty()) {
    if (WIFEXITED(status)) {
      outcome.status =
          WEXITSTATUS(status) == 0 ? "ok" : "exit " + std::to_string(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
      const int sig = WTERMSIG(status);
      outcome.status =
          sig == SIGXCPU || sig == SIGKILL ? "CPU limit" : "signal " + std::to_string(sig);
    }
  }
  outcome.points = read_polar_file(whole_file::read(wd / "polar.txt"));
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return outcome;
}

std::string find_program(const std::string& program) {
  auto runnable = [](const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
  };
  if (program.find('/') != std::string::npos) return runnable(program) ? program : "";
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const auto colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / program;
    if (runnable(candidate)) return candidate.string();
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return "";
}

std::string shim_beside_executable() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  const fs::path shim = exe.parent_path() / kShimName;
  return fs::exists(shim, ec) ? shim.string() : "";
}

}  // namespace foil
