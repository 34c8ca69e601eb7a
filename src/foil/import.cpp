#include "foil/import.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <ostream>
#include <system_error>

#include "aerofoil/foildata.h"
#include "companion/process.h"
#include "companion/progress.h"
#include "companion/scratch_dir.h"
#include "companion/whole_file.h"
#include "companion/working_name.h"
#include "textio/textio.h"
#include "util/catalogue.h"
#include "util/files.h"
#include "util/number_text.h"
#include "util/parallel.h"
#include "util/session_lock.h"

namespace foil {

namespace {

namespace fs = std::filesystem;

using number_text::fixed;
using number_text::general;

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

// The bar on a terminal: "XFOIL sweeps [#####-----] 7/14  0:21 left   ", its phase named
// in its prefix.
const progress::Style kSweepsBar{"", '-', "", "  ", "   ", "   ", ""};

// The scratch folder of one sweep.
std::string sweep_dir(const fs::path& scratch, const SweepJob& job) {
  return (scratch /
          (std::to_string(job.reynolds) + (job.direction == Direction::Up ? "_up_" : "_down_") +
           variant_name(job.variant)))
      .string();
}

// Runs `jobs` on a pool of up to `threads` workers; outcome i belongs to job i whatever the
// order of completion. The bar is redrawn as each sweep ends.
std::vector<SweepOutcome> run_all(const XfoilSetup& setup, const std::vector<SweepJob>& jobs,
                                  unsigned threads, const fs::path& scratch,
                                  const std::string& phase, progress::Bar& bar) {
  std::vector<SweepOutcome> outcomes(jobs.size());
  std::atomic<std::size_t> next{0};
  std::size_t done = 0;
  std::string error;
  std::mutex mutex;
  bar.start(jobs.size(), "XFOIL " + phase + " ");
  bar.draw(0);
  parallel::Pool pool(static_cast<unsigned>(std::min<std::size_t>(threads, jobs.size())));
  pool.run([&](unsigned) {
    for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();) {
      try {
        outcomes[i] = run_sweep(setup, jobs[i], sweep_dir(scratch, jobs[i]));
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(mutex);
        if (error.empty()) error = e.what();
      }
      std::lock_guard<std::mutex> lock(mutex);
      bar.draw(++done);
    }
  });
  if (!error.empty()) throw Error(error);
  if (process::stop_requested()) {
    bar.erase();
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
  const std::vector<std::string> paths = {files::outline_path(fs::path(data_dir), name).string(),
                                          files::polar_path(fs::path(data_dir), name).string()};
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
                       std::string(fill_record::kNotComputed) + ": the block of Re " +
                           std::to_string(reynolds[best])});
      continue;
    }
    for (const FilledRows& r : filled[best]) {
      fills.push_back({kReynolds[k], r.first, r.last,
                       "not converged: Viterna-Corrigan from " + general(r.from) +
                           " deg, as if the section stalled there"});
    }
  }
  return polar;
}

void install(const std::string& data_dir, const std::string& name) {
  if (name.empty() || file_name_of(name) != name) {
    throw Error(name + ": not a section name (lower case letters, digits, '-', '_' and '.')");
  }
  const std::string polar = files::polar_path(fs::path(data_dir), name).string();
  const std::string outline = files::outline_path(fs::path(data_dir), name).string();
  try {
    // Both files are read in full first: the copy below writes the polar before it reads the
    // outline, and must not be left half done by a broken outline.
    textio::InFile p(polar);
    for (int i = 0; i < static_cast<int>(kReynolds.size()) * kRows; ++i) {
      double a = 0.0, cl = 0.0, cd = 0.0;
      p.read({a, cl, cd});
      const std::string why = impossible(cl, cd);
      if (!why.empty()) {
        throw Error(polar + ": Re " + std::to_string(kReynolds[i / kRows]) + ", " + general(a) +
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

namespace {

// The Reynolds numbers XFOIL runs at: those asked for, else all seven; ascending, once each.
std::vector<int> reynolds_to_run(const ImportOptions& options) {
  std::vector<int> reynolds = options.reynolds;
  if (reynolds.empty()) reynolds.assign(kReynolds.begin(), kReynolds.end());
  std::sort(reynolds.begin(), reynolds.end());
  reynolds.erase(std::unique(reynolds.begin(), reynolds.end()), reynolds.end());
  return reynolds;
}

void check_angles_and_folder(const ImportOptions& options) {
  const Angles& angles = options.angles;
  if (!(angles.step > 0.0) || !(angles.from < 0.0) || !(angles.to > 0.0)) {
    throw Error("--angles FROM,TO,STEP needs FROM < 0 < TO and STEP > 0");
  }
  std::error_code ec;
  if (!fs::is_directory(options.data_dir, ec)) {
    throw Error(options.data_dir + ": no such directory");
  }
}

// An import that installs keeps the working directory locked from here to its end, so that no
// rotorforge session starts on working files about to change, and the XFOIL time is not spent
// in vain.
session_lock::Attempt lock_for_install(const ImportOptions& options) {
  session_lock::Attempt lock;
  if (!options.install) return lock;
  std::error_code ec;
  if (!fs::is_directory("Temp", ec)) {
    throw Error(
        "no Temp/ directory here: run in rotorforge's working directory, or give "
        "--no-install");
  }
  lock = session_lock::try_lock(".");
  if (lock.busy) throw Error(session_lock::busy_message(".", lock.holder_pid));
  if (!lock.lock.held()) throw Error(lock.error);
  return lock;
}

XfoilSetup xfoil_setup(const ImportOptions& options, const Shape& shape) {
  XfoilSetup setup;
  setup.program = find_program(options.xfoil);
  if (setup.program.empty()) {
    throw Error(options.xfoil + " not found: XFOIL is needed (apt-get install xfoil)");
  }
  setup.shim = find_shim();
  if (setup.shim.empty()) {
    throw Error(std::string(kShimName) +
                " is missing (neither in PREFIX/lib/rotorforge nor beside rotorforge-foil): "
                "reinstall or rebuild");
  }
  setup.geometry = shape.geometry;
  setup.section_file = shape.section_file;
  setup.angles = options.angles;
  setup.cpu_seconds = options.cpu_seconds;
  setup.wall_seconds = options.wall_seconds;
  return setup;
}

Rules sweep_rules(const Angles& angles) {
  Rules rules;
  // One missing point is tolerated in a sweep; with the usual half-degree steps that is 1 deg.
  rules.max_gap = std::max(1.0, 2.0 * angles.step);
  rules.up_wanted = std::min(20.0, angles.to);
  rules.down_wanted = std::max(-10.0, angles.from);
  return rules;
}

// Every sweep run, and the variant whose sweep each side of each Reynolds number takes.
struct Sweeps {
  std::map<std::tuple<int, Direction, Variant>, SweepOutcome> results;
  std::map<SideKey, Variant> chosen;

  const SweepOutcome& of(int reynolds, Direction d) const {
    return results.at({reynolds, d, chosen.at({reynolds, d})});
  }
};

// The base sweeps of every Reynolds number, then the variants in turn for the sides still
// short, until each side is satisfied or every variant has been tried.
Sweeps run_sweeps(const ImportOptions& options, const XfoilSetup& setup,
                  const std::vector<int>& reynolds, const Rules& rules, std::ostream& err) {
  const unsigned threads = options.jobs > 0 ? options.jobs : parallel::allowed_processors();
  const scratch_dir::ScratchDir scratch = make_scratch();
  progress::Bar bar(err, options.progress, kSweepsBar);
  Sweeps sweeps;
  auto& results = sweeps.results;
  auto run_phase = [&](const std::vector<SweepJob>& jobs, const std::string& phase) {
    const auto outcomes = run_all(setup, jobs, threads, scratch.path(), phase, bar);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      const SweepJob& j = jobs[i];
      results[{j.reynolds, j.direction, j.variant}] = outcomes[i];
      if (options.verbose) {
        const auto range = contiguous(outcomes[i].points, j.direction, rules);
        bar.erase();
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

  std::map<SideKey, Variant>& chosen = sweeps.chosen;
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
  bar.erase();
  return sweeps;
}

// The blocks of the Reynolds numbers run, from their chosen sweeps, each with the rows it had
// to fill.
struct Blocks {
  std::vector<Block> blocks;
  std::vector<BlockInfo> infos;
  std::vector<std::vector<FilledRows>> filled;
};

Blocks build_blocks(const std::vector<int>& reynolds, const Sweeps& sweeps, const Rules& rules) {
  Blocks b;
  for (int re : reynolds) {
    const SweepOutcome& up = sweeps.of(re, Direction::Up);
    const SweepOutcome& down = sweeps.of(re, Direction::Down);
    BlockInfo info;
    try {
      b.blocks.push_back(build_block(up.points, down.points, rules, info));
    } catch (const Error& e) {
      throw Error("XFOIL failed at Re " + std::to_string(re) + ": " + e.what() + " (up sweep " +
                  up.status + ", " + std::to_string(up.points.size()) + " points; down sweep " +
                  down.status + ", " + std::to_string(down.points.size()) +
                  " points); nothing written");
    }
    b.infos.push_back(info);
    b.filled.push_back(fill_short_sides(b.blocks.back(), info, rules));
  }
  return b;
}

void check_possible(const Polar& polar) {
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
}

// The section's data files and their record of filled rows.
struct DataFiles {
  std::string outline, polar, fill;
};

// Writes the two data files and, when rows were filled, their record; a record left by an
// earlier import of the same name (--force) no longer holds and goes.
DataFiles write_data(const ImportOptions& options, const Shape& shape, const Polar& polar,
                     const std::vector<fill_record::Fill>& fills) {
  check_replacing(options.data_dir, shape.name, options.force);  // (XFOIL took a while)
  const DataFiles files{files::outline_path(fs::path(options.data_dir), shape.name).string(),
                        files::polar_path(fs::path(options.data_dir), shape.name).string(),
                        fill_record::path(options.data_dir, shape.name).string()};
  std::vector<FileText> written = {{files.outline, outline_text(shape.outline)},
                                   {files.polar, polar_text(polar)}};
  if (!fills.empty()) written.push_back({files.fill, fill_record::text(shape.name, fills)});
  write_files(written);
  if (fills.empty()) {
    std::error_code ec;
    fs::remove(files.fill, ec);
    if (ec) throw Error("cannot remove " + files.fill + ": " + ec.message());
  }
  return files;
}

void summarise(std::ostream& out, const Shape& shape, const std::vector<int>& reynolds,
               const Blocks& b, const Sweeps& sweeps, const std::vector<fill_record::Fill>& fills,
               const std::vector<std::string>& notes, const Rules& rules, const DataFiles& files) {
  const Figures f = figures(shape.outline);
  out << shape.name << ": thickness " << fixed(100.0 * f.thickness, 1) << " %, camber "
      << fixed(100.0 * f.camber, 1) << " %, area " << fixed(f.area, 4) << ", perimeter "
      << fixed(f.perimeter, 3) << ", leading edge y " << fixed(shape.outline.lower[0].y, 4) << "\n";
  out << "  Re        max Cl  at deg  from    max L/D  at deg  from    XFOIL part     stall +/-    "
         " "
         "sweeps    filled\n";
  for (std::size_t i = 0; i < reynolds.size(); ++i) {
    const BlockFigures bf = block_figures(b.blocks[i]);
    const BlockInfo& info = b.infos[i];
    const auto from = [&](int alpha) {
      return std::string(row_source_name(row_source(info, b.filled[i], alpha)));
    };
    const std::string part = general(info.first) + ".." + general(info.last);
    const std::string match = general(info.positive.alpha) + (info.positive.confirmed ? "" : "*") +
                              " / " + general(info.negative.alpha) +
                              (info.negative.confirmed ? "" : "*");
    out << "  " << padded(std::to_string(reynolds[i]), 10) << padded(fixed(bf.cl_max.value, 3), 8)
        << padded(std::to_string(bf.cl_max.alpha), 8) << padded(from(bf.cl_max.alpha), 8)
        << padded(fixed(bf.ld_max.value, 1), 9) << padded(std::to_string(bf.ld_max.alpha), 8)
        << padded(from(bf.ld_max.alpha), 8) << padded(part, 15) << padded(match, 14)
        << padded(std::string(variant_name(sweeps.chosen.at({reynolds[i], Direction::Up}))) + "/" +
                      variant_name(sweeps.chosen.at({reynolds[i], Direction::Down})),
                  10)
        << (fill_record::any_at(fills, reynolds[i]) ? "yes" : "no") << "\n";
  }
  out << "  (from: XFOIL = a converged XFOIL point, V-C = Viterna-Corrigan past stall (aspect "
         "ratio "
      << general(kAspectRatio)
      << "), filled = no converged XFOIL point; * no confirmed stall on that side)\n";
  for (const auto& note : notes) out << "  " << note << "\n";
  std::vector<fill_record::Fill> filled, copied;
  for (const auto& fill : fills) (fill_record::copied(fill) ? copied : filled).push_back(fill);
  if (filled.empty()) {
    out << "  nothing filled: every angle from " << general(rules.down_wanted) << " to "
        << general(rules.up_wanted) << " deg up to stall"
        << (copied.empty() ? "" : " of the Reynolds numbers computed")
        << " comes from converged XFOIL points\n";
  } else {
    out << "  FILLED (no converged XFOIL point; recorded in " << files.fill << "):\n";
    for (const auto& fill : filled) out << "    " << fill_record::describe(fill) << "\n";
  }
  if (!copied.empty()) {
    out << "  NOT COMPUTED (only --reynolds were run; recorded in " << files.fill << "):\n";
    for (const auto& fill : copied) out << "    " << fill_record::sentence(fill) << "\n";
  }
  if (fills.empty()) {
    out << "wrote " << files.outline << " and " << files.polar << "\n";
  } else {
    out << "wrote " << files.outline << ", " << files.polar << " and " << files.fill << "\n";
  }
}

}  // namespace

std::string import_section(const ImportOptions& options, std::ostream& out, std::ostream& err) {
  const Shape shape = shape_of(options);
  const std::vector<int> reynolds = reynolds_to_run(options);
  check_angles_and_folder(options);
  check_replacing(options.data_dir, shape.name, options.force);
  const session_lock::Attempt lock = lock_for_install(options);
  const XfoilSetup setup = xfoil_setup(options, shape);
  const Rules rules = sweep_rules(options.angles);

  const Sweeps sweeps = run_sweeps(options, setup, reynolds, rules, err);
  const Blocks b = build_blocks(reynolds, sweeps, rules);
  std::vector<std::string> notes;
  std::vector<fill_record::Fill> fills;
  const Polar polar = assemble(reynolds, b.blocks, b.infos, b.filled, fills, notes);
  check_possible(polar);
  const DataFiles files = write_data(options, shape, polar, fills);
  summarise(out, shape, reynolds, b, sweeps, fills, notes, rules, files);

  if (options.install) {
    install(options.data_dir, shape.name);
    out << "installed " << shape.name
        << " as the working aerofoil: answer 4 at rotorforge's aerofoil menu\n";
  }
  return shape.name;
}

}  // namespace foil
