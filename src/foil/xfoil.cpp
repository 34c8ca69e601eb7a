#include "foil/xfoil.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "companion/install_paths.h"
#include "companion/process.h"
#include "companion/whole_file.h"
#include "foil/section.h"
#include "util/enum_names.h"
#include "util/number_text.h"

extern char** environ;

namespace foil {

using number_text::general;

namespace {

namespace fs = std::filesystem;

// XFOIL settings: free transition with the e^N method at Ncrit 9 (an average wind tunnel),
// 100 Newton iterations per point, 160 panel nodes from PANE, 240 in the fine variant.
constexpr int kNcrit = 9;
constexpr int kIterations = 100;
constexpr int kBridgeIterations = 300;
constexpr int kFinePanels = 240;

// Writes a whole working file; a failure is the import's error.
void write_file(const fs::path& path, const std::string& text) {
  try {
    whole_file::write(path, text);
  } catch (const std::runtime_error&) {
    throw Error(path.string() + ": cannot write");
  }
}

// A number as Python's float() reads it would, from a whole word; false for anything else.
bool whole_number(const std::string& word, double& v) {
  if (word.empty()) return false;
  char* end = nullptr;
  v = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size();
}

}  // namespace

const char* variant_name(Variant v) {
  static constexpr enum_names::Named<Variant> kNames[] = {{Variant::Base, "base"},
                                                          {Variant::NoAcceleration, "A"},
                                                          {Variant::FinePanels, "B"},
                                                          {Variant::Bridge, "C"}};
  return enum_names::name(v, kNames, "?");
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
    lines.push_back("ASEQ " + general(first) + " " + general(job.seed) + " " +
                    general(sign * step));
    lines.push_back("ASEQ " + general(job.seed) + " " + general(job.back_to) + " " +
                    general(-sign * step / 2.0));
  } else {
    const double last = job.direction == Direction::Up ? setup.angles.to : setup.angles.from;
    lines.push_back("ASEQ " + general(first) + " " + general(last) + " " + general(sign * step));
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
  if (process::stop_requested()) return SweepOutcome{{}, "interrupted", 0.0};
  std::error_code ec;
  fs::remove_all(workdir, ec);
  fs::create_directories(workdir);
  const fs::path wd(workdir);
  if (!setup.section_file.empty()) write_file(wd / "section.dat", setup.section_file);
  write_file(wd / "cmds.in", commands(setup, job));

  process::Command c;
  c.argv = {setup.program};
  c.env.emplace();
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view v(*e);
    if (!v.starts_with("LD_PRELOAD=") && !v.starts_with("GFORTRAN_UNBUFFERED_ALL=")) {
      c.env->emplace_back(v);
    }
  }
  c.env->push_back("LD_PRELOAD=" + setup.shim);
  // Points reach the polar file as they are computed, so a killed sweep keeps them.
  c.env->push_back("GFORTRAN_UNBUFFERED_ALL=1");
  c.dir = wd;
  c.in = wd / "cmds.in";
  c.out = c.err = wd / "log.txt";
  c.own_group = true;
  c.cpu_seconds = setup.cpu_seconds;
  c.no_core = true;
  process::Watch watch;
  watch.time_limit = setup.wall_seconds;
  watch.stop = process::stop_requested;
  const process::Result r = process::run(c, watch);

  SweepOutcome outcome;
  switch (r.failure) {
    case process::Failure::None:
      break;
    case process::Failure::Open:  // as a shell reports a program it could not set up ...
      outcome.status = "exit 126";
      break;
    case process::Failure::Exec:  // ... and one it could not find or run
      outcome.status = "exit 127";
      break;
    case process::Failure::Fork:
    case process::Failure::Wait:
      throw Error(r.failure_text());
  }
  if (r.stopped || r.timed_out) {
    outcome.status = r.stopped ? "interrupted" : "time limit";
  } else if (outcome.status.empty()) {
    if (r.exit_code() >= 0) {
      outcome.status = r.exit_code() == 0 ? "ok" : "exit " + std::to_string(r.exit_code());
    } else if (const int sig = r.signal(); sig != 0) {
      outcome.status =
          sig == SIGXCPU || sig == SIGKILL ? "CPU limit" : "signal " + std::to_string(sig);
    }
  }
  outcome.points = read_polar_file(whole_file::read(wd / "polar.txt"));
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return outcome;
}

std::string find_shim() {
  return install_paths::private_library(kShimName).string();
}

}  // namespace foil
