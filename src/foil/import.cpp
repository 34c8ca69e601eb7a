#include "foil/import.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <ostream>
#include <system_error>
#include <thread>

#include "aerofoil/foildata.h"
#include "textio/textio.h"
#include "util/catalogue.h"
#include "util/files.h"
#include "util/number_text.h"
#include "util/parallel.h"
#include "util/scratch_dir.h"
#include "util/session_lock.h"
#include "util/whole_file.h"
#include "util/working_name.h"

namespace foil {

namespace {

namespace fs = std::filesystem;

using number_text::fixed;

std::string g(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string padded(std::string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

// A scratch directory for XFOIL's files, removed with its content.
scratch_dir::ScratchDir make_scratch() {
  try {
    return scratch_dir::ScratchDir("rotorforge-xfoil-");
  } catch (const std::system_error&) {
    throw Error("cannot create a scratch directory");
  }
}

// The bar on a terminal: "XFOIL base sweeps [#####-----] 7/14  0:21 left".
class Progress {
 public:
  Progress(std::ostream& err, bool shown) : err_(err), shown_(shown) {}
  void show(const std::string& phase, std::size_t done, std::size_t total, double elapsed) {
    if (!shown_) return;
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total == 0 ? kWidth : kWidth * done / total;
    std::string line = "\rXFOIL " + phase + " [" + std::string(filled, '#') +
                       std::string(kWidth - filled, '-') + "] " + std::to_string(done) + "/" +
                       std::to_string(total);
    if (done > 0 && done < total) {
      const long left =
          std::lround(elapsed / static_cast<double>(done) * static_cast<double>(total - done));
      char buf[32];
      std::snprintf(buf, sizeof buf, "  %ld:%02ld left", left / 60, left % 60);
      line += buf;
    }
    line += "   ";
    err_ << line << std::flush;
  }
  void finish() {
    if (shown_) err_ << "\r" << std::string(72, ' ') << "\r" << std::flush;
  }

 private:
  std::ostream& err_;
  bool shown_;
};

// Runs `jobs` on up to `threads` threads; outcome i belongs to job i whatever the order of
// completion.
std::vector<SweepOutcome> run_all(const XfoilSetup& setup, const std::vector<SweepJob>& jobs,
                                  unsigned threads, const fs::path& scratch,
                                  const std::string& phase, Progress& progress) {
  std::vector<SweepOutcome> outcomes(jobs.size());
  std::atomic<std::size_t> next{0};
  std::size_t done = 0;
  std::string error;
  std::mutex mutex;
  std::condition_variable changed;
  const auto start = std::chrono::steady_clock::now();
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();) {
      const SweepJob& job = jobs[i];
      const std::string dir = (scratch / (std::to_string(job.reynolds) +
                                          (job.direction == Direction::Up ? "_up_" : "_down_") +
                                          variant_name(job.variant)))
                                  .string();
      try {
        outcomes[i] = run_sweep(setup, job, dir);
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(mutex);
        if (error.empty()) error = e.what();
      }
      std::lock_guard<std::mutex> lock(mutex);
      ++done;
      changed.notify_all();
    }
  };
  const unsigned n = static_cast<unsigned>(std::min<std::size_t>(threads, jobs.size()));
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < n; ++t) pool.emplace_back(work);
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (done < jobs.size()) {
      const double elapsed =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      progress.show(phase, done, jobs.size(), elapsed);
      changed.wait_for(lock, std::chrono::milliseconds(500));
    }
  }
  for (auto& t : pool) t.join();
  progress.show(phase, jobs.size(), jobs.size(), 0.0);
  if (!error.empty()) throw Error(error);
  if (stop_requested()) {
    progress.finish();
    throw Error("interrupted; nothing written");
  }
  return outcomes;
}

struct SideKey {
  int reynolds;
  Direction direction;
  bool operator<(const SideKey& o) const {
    return reynolds != o.reynolds ? reynolds < o.reynolds : direction < o.direction;
  }
};

// XFOIL takes lengths as given and refers its coefficients to a chord of one, so it gets the
// section on unit chord, as the outline file has it. A file already on unit chord (within
// kUnitChordSlack) is handed over spelled as written, so that XFOIL sees exactly the user's
// numbers; any other scale or offset (a file in percent or millimetres) is normalised.
constexpr double kUnitChordSlack = 1e-4;

Section on_unit_chord(const Section& section, const Frame& frame) {
  bool unit = true;
  for (const Point& p : section.points) {
    const Point q = unit_chord(frame, p);
    unit = unit && std::abs(q.x - p.x) <= kUnitChordSlack && std::abs(q.y - p.y) <= kUnitChordSlack;
  }
  if (unit) return section;
  Section out = section;
  out.tokens.clear();
  for (Point& p : out.points) {
    p = unit_chord(frame, p);
    for (double v : {p.x, p.y}) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.8f", v);
      out.tokens.emplace_back(buf);
    }
  }
  return out;
}

}  // namespace

Shape shape_of(const ImportOptions& options) {
  Shape shape;
  if (!options.name.empty() && file_name_of(options.name) != options.name) {
    throw Error("--name " + options.name +
                ": use lower case letters, digits, '-', '_' and '.' only");
  }
  Naca4 naca;
  if (parse_naca4(options.source, naca)) {
    shape.name = options.name.empty() ? "naca" + naca.digits : options.name;
    shape.outline = resample(naca4_curve(naca));
    shape.geometry = "NACA " + naca.digits;
    return shape;
  }
  const fs::path file(options.source);
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    throw Error(options.source +
                ": no such file (and not a NACA 4-digit designation such as "
                "naca2412)");
  }
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) throw Error(options.source + ": cannot be read");
  try {
    const Section section = read_section(text);
    shape.name = options.name;
    if (shape.name.empty()) shape.name = file_name_of(file.stem().string());
    if (shape.name.empty()) shape.name = file_name_of(section.title);
    if (shape.name.empty()) throw Error("no name to file it under: give one with --name");
    const Curve curve = spline_curve(section.points);
    shape.outline = resample(curve);
    shape.geometry = "LOAD section.dat";
    shape.section_file = selig_text(on_unit_chord(section, frame_of(curve)), shape.name);
  } catch (const Error& e) {
    throw Error(options.source + ": " + e.what());
  }
  return shape;
}

void check_replacing(const std::string& data_dir, const std::string& name, bool force) {
  const std::vector<std::string> paths = {outline_path(data_dir, name), polar_path(data_dir, name)};
  std::vector<std::string> present;
  for (const std::string& p : {paths[0], paths[1], fill_record::path(data_dir, name).string()}) {
    std::error_code ec;
    if (fs::exists(p, ec)) present.push_back(p);
  }
  auto listed = [](const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
      text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
  };
  if (const int n = catalogue::shipped_number(name); n > 0) {
    const fs::path file(std::string(
        catalogue::unpadded(catalogue::kAerofoils[static_cast<std::size_t>(n - 1)].outline_field)));
    // Regenerating the shipped data writes them into an empty directory of its own.
    std::error_code ec;
    const bool menu_dir = fs::equivalent(data_dir, file.parent_path(), ec);
    if (present.empty() && !menu_dir) return;
    throw Error(name + " is shipped with rotorforge (aerofoil " + std::to_string(n) +
                " of its menu): " + listed(present.empty() ? paths : present) +
                " are never replaced by an import; import the section under another --name");
  }
  if (!present.empty() && !force) {
    throw Error(listed(present) + (present.size() == 1 ? " exists" : " exist") +
                ": give --force to replace " + (present.size() == 1 ? "it" : "them") +
                ", or import under another --name");
  }
}

Polar assemble(const std::vector<int>& reynolds, const std::vector<Block>& blocks,
               const std::vector<BlockInfo>& infos,
               const std::vector<std::vector<FilledRows>>& filled,
               std::vector<fill_record::Fill>& fills, std::vector<std::string>& notes) {
  const std::size_t n = reynolds.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::string why = unusable(blocks[i], infos[i]);
    if (!why.empty()) {
      notes.push_back("Re " + std::to_string(reynolds[i]) + ": " + why +
                      " in XFOIL's converged points, kept as they are: a rotor running at this "
                      "Reynolds number will do poorly");
    }
  }
  Polar polar{};
  for (std::size_t k = 0; k < kReynolds.size(); ++k) {
    std::size_t best = 0;
    double best_distance = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double d = std::abs(std::log10(static_cast<double>(reynolds[i])) -
                                std::log10(static_cast<double>(kReynolds[k])));
      if (i == 0 || d <= best_distance) {
        best = i;
        best_distance = d;
      }
    }
    polar[k] = blocks[best];
    if (reynolds[best] != kReynolds[k]) {
      fills.push_back({kReynolds[k], kFirstAngle, kFirstAngle + kRows - 1,
                       "not computed: the block of Re " + std::to_string(reynolds[best])});
      continue;
    }
    for (const FilledRows& r : filled[best]) {
      fills.push_back({kReynolds[k], r.first, r.last,
                       "not converged: Viterna-Corrigan from " + g(r.from) +
                           " deg, as if the section stalled there"});
    }
  }
  return polar;
}

void install(const std::string& data_dir, const std::string& name) {
  if (name.empty() || file_name_of(name) != name) {
    throw Error(name + ": not a section name (lower case letters, digits, '-', '_' and '.')");
  }
  const std::string polar = polar_path(data_dir, name);
  const std::string outline = outline_path(data_dir, name);
  try {
    // Both files are read in full first: the copy below writes the polar before it reads the
    // outline, and must not be left half done by a broken outline.
    textio::InFile p(polar);
    for (int i = 0; i < static_cast<int>(kReynolds.size()) * kRows; ++i) {
      double a = 0.0, cl = 0.0, cd = 0.0;
      p.read({a, cl, cd});
      const std::string why = impossible(cl, cd);
      if (!why.empty()) {
        throw Error(polar + ": Re " + std::to_string(kReynolds[i / kRows]) + ", " + g(a) +
                    " deg: " + why + " is not physically possible; nothing installed");
      }
    }
    textio::InFile o(outline);
    for (int i = 0; i < 2 * kStations; ++i) {
      double x = 0.0, y = 0.0;
      o.read({x, y});
    }
  } catch (const textio::RunError& e) {
    throw Error(e.what());
  }
  std::error_code ec;
  if (!fs::is_directory("Temp", ec)) {
    throw Error("no Temp/ directory here: run in rotorforge's working directory");
  }
  try {
    foildata::replace(polar, outline);
  } catch (const textio::RunError& e) {
    throw Error(e.what());
  }
  write_files(
      {{working_name::kPath, working_name::record(name, whole_file::read(files::kPolarCopy))}});
}

std::string import_section(const ImportOptions& options, std::ostream& out, std::ostream& err) {
  const Shape shape = shape_of(options);

  std::vector<int> reynolds = options.reynolds;
  if (reynolds.empty()) reynolds.assign(kReynolds.begin(), kReynolds.end());
  std::sort(reynolds.begin(), reynolds.end());
  reynolds.erase(std::unique(reynolds.begin(), reynolds.end()), reynolds.end());

  const Angles& angles = options.angles;
  if (!(angles.step > 0.0) || !(angles.from < 0.0) || !(angles.to > 0.0)) {
    throw Error("--angles FROM,TO,STEP needs FROM < 0 < TO and STEP > 0");
  }
  {
    std::error_code ec;
    if (!fs::is_directory(options.data_dir, ec)) {
      throw Error(options.data_dir + ": no such directory");
    }
  }

  check_replacing(options.data_dir, shape.name, options.force);

  // The working directory stays locked from here to the end, so that no rotorforge session
  // starts on working files about to change, and the XFOIL time is not spent in vain.
  session_lock::Attempt lock;
  if (options.install) {
    std::error_code ec;
    if (!fs::is_directory("Temp", ec)) {
      throw Error(
          "no Temp/ directory here: run in rotorforge's working directory, or give "
          "--no-install");
    }
    lock = session_lock::try_lock(".");
    if (lock.busy) throw Error(session_lock::busy_message(".", lock.holder_pid));
    if (!lock.lock.held()) throw Error(lock.error);
  }

  XfoilSetup setup;
  setup.program = find_program(options.xfoil);
  if (setup.program.empty()) {
    throw Error(options.xfoil + " not found: XFOIL is needed (apt-get install xfoil)");
  }
  setup.shim = shim_beside_executable();
  if (setup.shim.empty()) {
    throw Error(std::string(kShimName) + " is missing beside rotorforge-foil (rebuild it)");
  }
  setup.geometry = shape.geometry;
  setup.section_file = shape.section_file;
  setup.angles = angles;
  setup.cpu_seconds = options.cpu_seconds;
  setup.wall_seconds = options.wall_seconds;

  Rules rules;
  // One missing point is tolerated in a sweep; with the usual half-degree steps that is 1 deg.
  rules.max_gap = std::max(1.0, 2.0 * angles.step);
  rules.up_wanted = std::min(20.0, angles.to);
  rules.down_wanted = std::max(-10.0, angles.from);

  const unsigned threads = options.jobs > 0 ? options.jobs : parallel::allowed_processors();
  const scratch_dir::ScratchDir scratch = make_scratch();
  Progress progress(err, options.progress);

  std::map<std::tuple<int, Direction, Variant>, SweepOutcome> results;
  auto run_phase = [&](const std::vector<SweepJob>& jobs, const std::string& phase) {
    const auto outcomes = run_all(setup, jobs, threads, scratch.path(), phase, progress);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      const SweepJob& j = jobs[i];
      results[{j.reynolds, j.direction, j.variant}] = outcomes[i];
      if (options.verbose) {
        const auto range = contiguous(outcomes[i].points, j.direction, rules);
        progress.finish();
        char line[160];
        std::snprintf(line, sizeof line,
                      "  Re %7d %-4s %-4s: %3zu points, range to %6.2f, %s, %.1f s", j.reynolds,
                      j.direction == Direction::Up ? "up" : "down", variant_name(j.variant),
                      outcomes[i].points.size(), range.empty() ? NAN : range.back(),
                      outcomes[i].status.c_str(), outcomes[i].seconds);
        err << line << "\n";
      }
    }
  };

  std::vector<SweepJob> base;
  for (int re : reynolds) {
    for (Direction d : {Direction::Up, Direction::Down}) base.push_back({re, d, Variant::Base});
  }
  run_phase(base, "sweeps");

  std::map<SideKey, Variant> chosen;
  std::vector<SideKey> pending;
  for (const SweepJob& j : base) {
    if (side_ok(results[{j.reynolds, j.direction, Variant::Base}].points, j.direction, rules)) {
      chosen[{j.reynolds, j.direction}] = Variant::Base;
    } else {
      pending.push_back({j.reynolds, j.direction});
    }
  }
  for (Variant v : {Variant::NoAcceleration, Variant::FinePanels, Variant::Bridge}) {
    if (pending.empty()) break;
    std::vector<SweepJob> jobs;
    for (const SideKey& k : pending) {
      SweepJob job{k.reynolds, k.direction, v};
      if (v == Variant::Bridge) {
        // Back from the first angle the base sweep converged at beyond its gap, or from the
        // wanted angle when it converged at none.
        const Points& points = results[{k.reynolds, k.direction, Variant::Base}].points;
        const auto range = contiguous(points, k.direction, rules);
        job.back_to = range.empty() ? 0.0 : range.back();
        job.seed =
            beyond_gap(points, k.direction, rules)
                .value_or(k.direction == Direction::Up ? rules.up_wanted : rules.down_wanted);
      }
      jobs.push_back(job);
    }
    run_phase(jobs, std::string("retries ") + variant_name(v));
    if (v == Variant::Bridge) {
      // The bridge only adds angles: those the base sweep converged at stay as it gave them.
      for (const SideKey& k : pending) {
        Points merged = results[{k.reynolds, k.direction, Variant::Base}].points;
        for (const PolarPoint& p : results[{k.reynolds, k.direction, v}].points) {
          if (std::none_of(merged.begin(), merged.end(),
                           [&](const PolarPoint& q) { return q.alpha == p.alpha; })) {
            merged.push_back(p);
          }
        }
        results[{k.reynolds, k.direction, v}].points = std::move(merged);
      }
    }
    std::erase_if(pending, [&](const SideKey& k) {
      if (!side_ok(results[{k.reynolds, k.direction, v}].points, k.direction, rules)) return false;
      chosen[k] = v;
      return true;
    });
  }
  // No variant satisfied: the one reaching furthest, the earlier one of equal reach.
  for (const SideKey& k : pending) {
    Variant best = Variant::Base;
    double reach = -2.0;
    for (Variant v :
         {Variant::Base, Variant::NoAcceleration, Variant::FinePanels, Variant::Bridge}) {
      const double w = side_width(results[{k.reynolds, k.direction, v}].points, k.direction, rules);
      if (w > reach) {
        reach = w;
        best = v;
      }
    }
    chosen[k] = best;
  }
  progress.finish();

  std::vector<Block> blocks;
  std::vector<BlockInfo> infos;
  std::vector<std::vector<FilledRows>> filled;
  for (int re : reynolds) {
    const Variant vu = chosen[{re, Direction::Up}];
    const Variant vd = chosen[{re, Direction::Down}];
    const SweepOutcome& up = results[{re, Direction::Up, vu}];
    const SweepOutcome& down = results[{re, Direction::Down, vd}];
    BlockInfo info;
    try {
      blocks.push_back(build_block(up.points, down.points, rules, info));
    } catch (const Error& e) {
      throw Error("XFOIL failed at Re " + std::to_string(re) + ": " + e.what() + " (up sweep " +
                  up.status + ", " + std::to_string(up.points.size()) + " points; down sweep " +
                  down.status + ", " + std::to_string(down.points.size()) +
                  " points); nothing written");
    }
    infos.push_back(info);
    filled.push_back(fill_short_sides(blocks.back(), info, rules));
  }
  std::vector<std::string> notes;
  std::vector<fill_record::Fill> fills;
  const Polar polar = assemble(reynolds, blocks, infos, filled, fills, notes);
  for (std::size_t k = 0; k < polar.size(); ++k) {
    for (const Row& r : polar[k]) {
      const std::string why = impossible(r.cl, r.cd);
      if (!why.empty()) {
        throw Error("XFOIL gives a physically impossible polar at Re " +
                    std::to_string(kReynolds[k]) + ", " + std::to_string(r.alpha) + " deg: " + why +
                    "; nothing written");
      }
    }
  }
  check_replacing(options.data_dir, shape.name, options.force);  // (XFOIL took a while)
  const std::string outline_file = outline_path(options.data_dir, shape.name);
  const std::string polar_file = polar_path(options.data_dir, shape.name);
  const std::string fill_file = fill_record::path(options.data_dir, shape.name).string();
  std::vector<FileText> written = {{outline_file, outline_text(shape.outline)},
                                   {polar_file, polar_text(polar)}};
  if (!fills.empty()) written.push_back({fill_file, fill_record::text(shape.name, fills)});
  write_files(written);
  if (fills.empty()) {
    // A record left by an earlier import of the same name (--force) no longer holds.
    std::error_code ec;
    fs::remove(fill_file, ec);
    if (ec) throw Error("cannot remove " + fill_file + ": " + ec.message());
  }

  // Summary.
  const Figures f = figures(shape.outline);
  out << shape.name << ": thickness " << fixed(100.0 * f.thickness, 1) << " %, camber "
      << fixed(100.0 * f.camber, 1) << " %, area " << fixed(f.area, 4) << ", perimeter "
      << fixed(f.perimeter, 3) << ", leading edge y " << fixed(shape.outline.lower[0].y, 4) << "\n";
  out << "  Re        max Cl  at deg  max L/D  at deg  XFOIL part     stall +/-     sweeps    "
         "filled\n";
  for (std::size_t i = 0; i < reynolds.size(); ++i) {
    const BlockFigures b = block_figures(blocks[i]);
    const BlockInfo& info = infos[i];
    const std::string part = g(info.first) + ".." + g(info.last);
    const std::string match = g(info.positive.alpha) + (info.positive.confirmed ? "" : "*") +
                              " / " + g(info.negative.alpha) + (info.negative.confirmed ? "" : "*");
    out << "  " << padded(std::to_string(reynolds[i]), 10) << padded(fixed(b.cl_max, 3), 8)
        << padded(std::to_string(b.cl_max_alpha), 8) << padded(fixed(b.ld_max, 1), 9)
        << padded(std::to_string(b.ld_max_alpha), 8) << padded(part, 15) << padded(match, 14)
        << padded(std::string(variant_name(chosen[{reynolds[i], Direction::Up}])) + "/" +
                      variant_name(chosen[{reynolds[i], Direction::Down}]),
                  10)
        << (fill_record::any_at(fills, reynolds[i]) ? "yes" : "no") << "\n";
  }
  out << "  (* no confirmed stall on that side; beyond the XFOIL part: Viterna-Corrigan, aspect "
         "ratio "
      << g(kAspectRatio) << ")\n";
  for (const auto& note : notes) out << "  " << note << "\n";
  if (fills.empty()) {
    out << "  nothing filled: every angle from " << g(rules.down_wanted) << " to "
        << g(rules.up_wanted) << " deg up to stall comes from converged XFOIL points\n";
    out << "wrote " << outline_file << " and " << polar_file << "\n";
  } else {
    out << "  FILLED (no converged XFOIL point; recorded in " << fill_file << "):\n";
    for (const auto& fill : fills) out << "    " << fill_record::describe(fill) << "\n";
    out << "wrote " << outline_file << ", " << polar_file << " and " << fill_file << "\n";
  }

  if (options.install) {
    install(options.data_dir, shape.name);
    out << "installed " << shape.name
        << " as the working aerofoil: answer 4 at rotorforge's aerofoil menu\n";
  }
  return shape.name;
}

}  // namespace foil
