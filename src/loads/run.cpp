#include "loads/run.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <ostream>

#include "aerofoil/data_in.h"
#include "blade/section.h"
#include "loads/identify.h"
#include "loads/report.h"
#include "performance/energy.h"
#include "performance/sweep.h"
#include "util/answer_rules.h"
#include "util/catalogue.h"
#include "util/files.h"
#ifdef ROTORFORGE_BLADE_FILES
#include "analyse/blade_file.h"
#endif

namespace loads {

namespace {

// More blades than any rotor has: beyond it a count is a slip of the keyboard.
constexpr double kMostBlades = 1e6;

double number(const std::string& option, const std::string& text) {
  const char* p = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(p, &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v)) {
    throw InputError(option + ": \"" + text + "\" is not a number");
  }
  return v;
}

double positive(const std::string& option, const std::string& text) {
  const double v = number(option, text);
  if (!(v > 0.0)) throw InputError(option + ": " + text + " is not a positive number");
  return v;
}

// The materials' keys, "wood, aluminium, ...".
std::string material_names() {
  std::string names;
  for (const Material& m : catalogue::kMaterials) {
    names += (names.empty() ? "" : ", ") + std::string(m.key);
  }
  return names;
}

int material_index(const std::string& text) {
  for (std::size_t i = 0; i < catalogue::kMaterials.size(); ++i) {
    if (text == catalogue::kMaterials[i].key || text == std::to_string(i + 1)) {
      return static_cast<int>(i);
    }
  }
  throw InputError("--material: unknown material \"" + text + "\" (" + material_names() +
                   " or 1 ... " + std::to_string(catalogue::kMaterials.size()) + ")");
}

// The grid of the beam: every element cut into `cells` equal parts, hub to tip.
std::vector<double> beam_grid(const Rotor& rotor, std::size_t cells) {
  const std::size_t n = static_cast<std::size_t>(rotor.nbe);
  const double x_hub = rotor.rhub / rotor.rtip;
  std::vector<double> x;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < cells; ++k) {
      x.push_back(x_hub +
                  (static_cast<double>(i) + static_cast<double>(k) / static_cast<double>(cells)) *
                      rotor.dr);
    }
  }
  x.push_back(1.0);
  return x;
}

// The design of a blade file: a blade of one aerofoil section has its polar loaded and its
// outline from Data/; one of several sections or with a round root gives each element its own
// section's polar (a round one no lift and its drag coefficient) and each station of the beam
// its own section's outline (Data/NAME.dat) or circle.
Design blade_file_design(const fs::path& dir, const fs::path& file) {
#ifdef ROTORFORGE_BLADE_FILES
  const fs::path data = dir / "Data";
  blade_file::File f;
  try {
    f = blade_file::read(file, data);
  } catch (const blade_file::Error& e) {
    std::string lines;
    for (const std::string& p : e.problems()) lines += (lines.empty() ? "" : "\n") + p;
    throw InputError(lines);
  }
  try {
    const blade::Blade b =
        blade_file::cut(f, f.elements.value_or(blade_file::kDefaultElements), data);
    // The beam is clamped where the blade begins, its first station, which may lie outside the
    // hub (the elements are cut from there as well).
    const double root = f.stations.front().r;
    if (b.sections.size() == 1 && !b.sections.front().cylinder) {
      const std::string name = b.sections.front().name;
      data_in::file_read(files::polar_path(data, name).string());
      Design d = blade_design(b, blade::read_outline(files::outline_path(data, name).string()));
      d.rotor.rhub = root;
      return d;
    }
    std::vector<blade::Outline> outlines;
    for (const blade::Section& s : b.sections) {
      outlines.push_back(s.cylinder
                             ? blade::Outline{}
                             : blade::read_outline(files::outline_path(data, s.name).string()));
    }
    // d.outline (the measure of a blade of one outline) is never used for this blade.
    Design d = blade_design(b, blade::Outline{});
    d.rotor.rhub = root;
    d.outlines = std::move(outlines);
    d.rotor.section = b.section;
    d.rotor.sections = b.sections;
    for (const blade_file::Station& st : f.stations) {
      std::size_t k = 0;
      while (k + 1 < b.sections.size() && b.sections[k].name != st.section) ++k;
      d.station_r.push_back(st.r);
      d.station_section.push_back(k);
    }
    return d;
  } catch (const InputError&) {
    throw;
  } catch (const std::exception& e) {
    throw InputError(e.what());
  }
#else
  (void)dir;
  throw InputError(file.string() + ": blade files need toml++ (libtomlplusplus-dev)");
#endif
}

// The operating points of a blade file: the variable-speed rotor's 23 wind speeds at the
// analysis's default site (3 to 20 m/s), unless the user gives points of their own.
std::vector<OperatingPoint> blade_points(const Design& d, double rho, bool sweep_points) {
  std::vector<OperatingPoint> points;
  if (!sweep_points) return points;
  blade::Blade b = *d.blade;
  b.Numb = d.rotor.Numb;
  if (d.outlines.empty()) {
    b.sections.clear();  // its one section is the loaded polar
    b.section.clear();
  }
  const sweep::Rows rows = sweep::variable_speed_rows(b, {3.0, 20.0, 5.0, 10.0, 0.0});
  for (const auto& row : rows) {
    OperatingPoint p;
    p.source = "variable speed";
    p.type = 1;
    p.U = row.wind;
    p.lambda = row.tsr;
    p.table_cp = row.cp;
    p.table_power = row.power;
    p.result = operating_point(d.rotor, rho, p.U, p.lambda, 0.0);
    points.push_back(p);
  }
  return points;
}

std::size_t cells_per_element(std::int64_t nbe) {
  return static_cast<std::size_t>(std::max<std::int64_t>(1, 40 / std::max<std::int64_t>(nbe, 1)));
}

// The blade's sections along the grid for one wall: unit properties (they depend on the chord
// through the relative wall), placed for a setting angle per case.
struct Stations {
  std::vector<double> x;      // relative radius
  std::vector<double> chord;  // m
  std::vector<double> twist;  // deg, setting included
  std::vector<Centroidal> unit;
  // Each station's section of a blade of several: an index into d.outlines, or nothing for a
  // round one (its section in closed form, of this wall).
  std::vector<std::optional<std::size_t>> shape;
  double wall = 0.0;  // m
};

const blade::Outline& outline_of(const Design& d, const Stations& s, std::size_t k) {
  return s.shape.empty() ? d.outline : d.outlines[*s.shape[k]];
}

Stations stations_for(const Design& d, std::size_t cells, double wall_mm) {
  Stations s;
  s.x = beam_grid(d.rotor, cells);
  s.wall = wall_mm / 1000.0;
  for (double x : s.x) {
    const double c =
        (d.blade ? blade::chord_at(*d.blade, x) : blade::chord_law(d.chord_law, x)) * d.rotor.rtip;
    s.chord.push_back(c);
    s.twist.push_back(d.blade ? blade::twist_at(*d.blade, x)
                              : blade::twist_law(d.twist_law, x) + d.rotor.setting);
    if (!d.outlines.empty()) {
      const std::optional<std::size_t> k = section_at(d, x);
      if (round_at(d, x)) {
        s.shape.push_back(std::nullopt);
        s.unit.emplace_back();
        continue;
      }
      s.shape.push_back(k);
    }
    s.unit.push_back(
        centroidal(hollow_moments(outline_of(d, s, s.unit.size()), wall_mm / 1000.0 / c)));
  }
  return s;
}

Beam beam_for(const Design& d, const Stations& st, const Material& m, double modulus,
              double theta) {
  Beam b;
  b.modulus = modulus;
  for (std::size_t k = 0; k < st.x.size(); ++k) {
    b.radius.push_back(st.x[k] * d.rotor.rtip);
    const bool round = !st.shape.empty() && !st.shape[k];
    b.sections.push_back(
        round ? round_section(st.chord[k], st.wall)
              : place_section(st.unit[k], outline_of(d, st, k), st.chord[k], st.twist[k] + theta));
    b.mass.push_back(b.sections.back().A * m.density);
  }
  return b;
}

SpanLoad span_load(const PointResult& p, std::size_t cells) {
  SpanLoad l;
  for (const ElementResult& e : p.elements) {
    for (std::size_t k = 0; k < cells; ++k) {
      l.qn.push_back(e.fn);
      l.qt.push_back(e.ft);
    }
  }
  return l;
}

struct Strength {
  double design;   // Pa: characteristic strength / material factor
  double modulus;  // Pa
  double factor;   // the material factor
};

// Fills the case's figures from the beam's response; the utilisation is the factored stress
// over the design strength, the buckling figure the factored compression of a side over its
// skin's design buckling stress (hollow blades).
void assess(Case& c, const Beam& beam, const SpanLoad& load, const Strength& st, double load_factor,
            const Material& m, double wall_mm, std::optional<double> panel_mm) {
  const Response r = respond(beam, load, c.point.result.omega, true);
  c.root_flap = r.m_flap.front();
  c.gravity = r.m_gravity.front();
  c.centrifugal = r.normal.front();
  c.root_stress = r.stress.front() / 1e6;
  c.utilisation = 0.0;
  c.buckling = 0.0;
  c.stress.clear();
  c.grid = beam.radius;
  for (std::size_t k = 0; k < r.stress.size(); ++k) {
    c.stress.push_back(r.stress[k] / 1e6);
    const double u = load_factor * r.stress[k] / st.design;
    if (u > c.utilisation) {
      c.utilisation = u;
      c.worst_radius = beam.radius[k];
    }
    if (wall_mm > 0.0 && k + 1 < r.stress.size()) {
      for (std::size_t side = 0; side < 2; ++side) {
        // The skin spans its whole side between the leading and the trailing edge, or the
        // panel between the webs or stiffeners the user gives.
        const double arc = beam.sections[k].arc[side];
        const double width = panel_mm ? std::min(arc, *panel_mm / 1000.0) : arc;
        const double critical = plate_buckling_stress(m, st.modulus / 1e9, wall_mm / 1000.0, width);
        const double b = load_factor * r.compression[k][side] / (critical / st.factor);
        if (b > c.buckling) {
          c.buckling = b;
          c.buckling_radius = beam.radius[k];
        }
      }
    }
  }
  c.tip_deflection = r.deflection.back();
}

double aero_root_edge(const PointResult& p, const Rotor& rotor) {
  double m = 0.0;
  for (const ElementResult& e : p.elements)
    m += e.ft * rotor.dr * rotor.rtip * (e.radius - rotor.rhub);
  return m;
}

double blade_mass(const Beam& b) {
  double m = 0.0;
  for (std::size_t k = 0; k + 1 < b.radius.size(); ++k) {
    m += (b.mass[k] + b.mass[k + 1]) / 2.0 * (b.radius[k + 1] - b.radius[k]);
  }
  return m;
}

// The blade's volume (m^3) for a wall of `wall_mm`: the session's measure for a blade of one
// outline; for one of several sections, the beam's sections' areas integrated along the span
// (the trapezoid rule on the beam's grid).
double measured_volume(const Design& d, std::size_t cells, double wall_mm) {
  if (d.outlines.empty()) return blade_volume(d, wall_mm);
  const Material unit{"", 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, ""};
  return blade_mass(beam_for(d, stations_for(d, cells, wall_mm), unit, 0.0, 0.0));
}

// What the figures of one wall rest on.
struct Context {
  const Design& d;
  const Settings& s;
  const Material& m;
  Strength st;
  std::size_t cells;
  double clearance;  // m
};

const char* const kModeNames[3] = {"first flapwise", "second flapwise", "first edgewise"};

double mode_of(const BladeModes& b, int i) {
  return i == 0 ? b.flap1 : i == 1 ? b.flap2 : b.edge1;
}

// The failing limits in words, the largest utilisation first, resonance last.
std::string reason_of(const Verdict& v) {
  std::vector<std::pair<double, std::string>> fails;
  if (v.strength > 1.0) fails.push_back({v.strength, "strength " + plot::fixed(v.strength, 2)});
  if (v.buckling > 1.0)
    fails.push_back({v.buckling, "skin buckling " + plot::fixed(v.buckling, 2)});
  if (v.clearance_use() > 1.0) {
    fails.push_back({v.clearance_use(), "tower clearance " + plot::fixed(v.clearance_use(), 2)});
  }
  std::stable_sort(fails.begin(), fails.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::string out;
  for (const auto& f : fails) out += (out.empty() ? "" : ", ") + f.second;
  if (v.resonance && v.resonance->flagged && !v.resonance_allowed) {
    out += (out.empty() ? "" : ", ") + std::string("resonance: ") + v.resonance->mode +
           " mode at " + std::to_string(v.resonance->harmonic) + "P";
  }
  return out;
}

// The cases' figures and the verdict for a wall of `wall` mm (0: solid); the Campbell chart's
// modes and those at rest when asked.
Verdict judge(const Context& x, double wall, std::vector<Case>& cases, Campbell* campbell,
              BladeModes* standing) {
  const Design& d = x.d;
  const Stations stations = stations_for(d, x.cells, wall);
  std::map<double, Beam> beams;
  std::map<double, ModalBeam> modal;
  std::map<std::pair<double, double>, BladeModes> memo;
  const auto beam_of = [&](double theta) -> const Beam& {
    auto it = beams.find(theta);
    if (it == beams.end()) {
      it = beams.emplace(theta, beam_for(d, stations, x.m, x.st.modulus, theta)).first;
    }
    return it->second;
  };
  const auto modes_at = [&](double theta, double omega) {
    const auto key = std::make_pair(theta, omega);
    auto it = memo.find(key);
    if (it == memo.end()) {
      auto mb = modal.find(theta);
      if (mb == modal.end()) mb = modal.emplace(theta, modal_beam(beam_of(theta))).first;
      it = memo.emplace(key, blade_modes(mb->second, omega)).first;
    }
    return it->second;
  };
  Verdict v;
  v.clearance = x.clearance;
  v.resonance_allowed = x.s.allow_resonance;
  for (Case& c : cases) {
    const double theta = c.point.theta;
    assess(c, beam_of(theta), span_load(c.point.result, x.cells), x.st, x.s.load_factor, x.m, wall,
           x.s.panel);
    // Each point's own modes are for the report; the verdict needs those of the probes below.
    c.modes = c.parked || !campbell ? BladeModes{} : modes_at(theta, c.point.result.omega);
    v.strength = std::max(v.strength, c.utilisation);
    v.buckling = std::max(v.buckling, c.buckling);
    v.deflection = std::max(v.deflection, x.s.load_factor * c.tip_deflection);
  }
  v.beyond_linear = v.deflection > kLinearShare * (d.rotor.rtip - d.rotor.rhub);

  // Resonance: a variable-speed sweep passes through every speed of its range, the others run
  // at their points' speeds. A mode's frequency over k times the rotational frequency falls as
  // the rotor speeds up (the centrifugal stiffening adds less than the speed), so over a range
  // it takes every value between those at its ends.
  struct Probe {
    std::string source;
    double theta, lo, hi;  // rad/s
  };
  std::vector<Probe> probes;
  for (const Case& c : cases) {
    if (c.parked || !(c.point.result.omega > 0.0)) continue;
    const double w = c.point.result.omega;
    if (c.point.type == 1) {
      auto it = std::find_if(probes.begin(), probes.end(),
                             [&](const Probe& p) { return p.source == c.source; });
      if (it != probes.end()) {
        it->lo = std::min(it->lo, w);
        it->hi = std::max(it->hi, w);
        continue;
      }
    }
    probes.push_back({c.source, c.point.theta, w, w});
  }
  std::vector<int> harmonics = {1};
  if (d.rotor.Numb > 1) harmonics.push_back(static_cast<int>(d.rotor.Numb));
  for (const Probe& p : probes) {
    const BladeModes lo = modes_at(p.theta, p.lo), hi = modes_at(p.theta, p.hi);
    for (int i = 0; i < 3; ++i) {
      const double f_lo = mode_of(lo, i), f_hi = mode_of(hi, i);
      if (!(f_lo > 0.0) || !(f_hi > 0.0)) continue;
      for (int k : harmonics) {
        const double g_lo = f_lo / (k * p.lo / kTwoPi), g_hi = f_hi / (k * p.hi / kTwoPi);
        const double top = std::max(g_lo, g_hi), bottom = std::min(g_lo, g_hi);
        Resonance r;
        r.mode = kModeNames[i];
        r.harmonic = k;
        r.source = p.source;
        r.ratio = std::clamp(1.0, bottom, top);
        // Where it comes nearest: an end of the range, or where the mode meets k n. Between
        // the ends the mode follows Southwell's f^2 = f_lo^2 + c (n^2 - n_lo^2) (n in rev/s),
        // so f = k n at n^2 = (f_lo^2 - c n_lo^2) / (k^2 - c).
        const double n_lo = p.lo / kTwoPi, n_hi = p.hi / kTwoPi;
        double n = r.ratio == g_lo ? n_lo : n_hi;
        if (top > bottom && r.ratio == 1.0) {
          const double c = (f_hi * f_hi - f_lo * f_lo) / (n_hi * n_hi - n_lo * n_lo);
          const double n2 = (f_lo * f_lo - c * n_lo * n_lo) / (k * k - c);
          if (n2 > 0.0) n = std::clamp(std::sqrt(n2), n_lo, n_hi);
        }
        r.rpm = n * 60.0;
        r.frequency = r.ratio * k * n;
        r.flagged = std::fabs(r.ratio - 1.0) <= kResonanceMargin;
        if (!v.resonance || std::fabs(r.ratio - 1.0) < std::fabs(v.resonance->ratio - 1.0)) {
          v.resonance = r;
        }
      }
    }
  }
  const bool resonant = v.resonance && v.resonance->flagged && !v.resonance_allowed;
  v.holds = v.strength <= 1.0 && v.buckling <= 1.0 && v.clearance_use() <= 1.0 && !resonant;
  v.reason = reason_of(v);

  if (standing) *standing = modes_at(0.0, 0.0);
  if (campbell) {
    double top = 0.0;
    campbell->rpm_lo = 0.0;
    bool first = true;
    for (const Case& c : cases) {
      if (c.parked) continue;
      top = std::max(top, c.point.result.rpm);
      campbell->rpm_lo =
          first ? c.point.result.rpm : std::min(campbell->rpm_lo, c.point.result.rpm);
      first = false;
    }
    campbell->rpm_hi = top;
    const double end = top > 0.0 ? 1.2 * top : 600.0;
    constexpr int kSteps = 12;
    for (int i = 0; i <= kSteps; ++i) {
      const double rpm = end * i / kSteps;
      campbell->rpm.push_back(rpm);
      campbell->modes.push_back(modes_at(0.0, rpm * kTwoPi / 60.0));
    }
  }
  return v;
}

}  // namespace

int storm_class(const std::string& name) {
  const char* const names[4] = {"I", "II", "III", "IV"};
  for (int i = 0; i < 4; ++i) {
    if (name == names[i]) return i;
  }
  return -1;
}

Settings settings(const Options& o) {
  Settings s;
  if (o.blades) {
    const double b = number("--blades", *o.blades);
    // The session's own rule, and a count that a whole number holds exactly.
    const std::string rule = answer_rules::broken(answer_rules::Answer::Numb, b);
    if (!rule.empty() || b != std::trunc(b)) {
      throw InputError("--blades: " + *o.blades + " is not " +
                       answer_rules::limits(answer_rules::Answer::Numb).rule);
    }
    if (b > kMostBlades) {
      throw InputError("--blades: " + *o.blades + " is more blades than a rotor has (at most " +
                       std::to_string(static_cast<std::int64_t>(kMostBlades)) + ")");
    }
    s.blades = static_cast<std::int64_t>(b);
  }
  if (o.wall) {
    s.wall = number("--wall", *o.wall);
    if (!answer_rules::broken(answer_rules::Answer::delta, *s.wall).empty()) {
      throw InputError("--wall: " + *o.wall + " mm is negative");
    }
  }
  if (o.material) s.material = material_index(*o.material);
  for (const std::string& w : o.winds) {
    // A list may come as one argument "5,8,11".
    std::size_t start = 0;
    while (start <= w.size()) {
      const std::size_t comma = std::min(w.find(',', start), w.size());
      s.winds.push_back(positive("--wind", w.substr(start, comma - start)));
      start = comma + 1;
    }
  }
  if (o.rpm) s.rpm = positive("--rpm", *o.rpm);
  if (o.tsr) s.tsr = positive("--tsr", *o.tsr);
  if (o.storm_class) {
    const int c = storm_class(*o.storm_class);
    if (c < 0) throw InputError("--class: \"" + *o.storm_class + "\" is not I, II, III or IV");
    s.parked_wind = kExtremeFactor * kReferenceWind[c];
    s.parked_label = "class " + *o.storm_class;
  }
  if (o.parked_wind) {
    s.parked_wind = positive("--parked-wind", *o.parked_wind);
    s.parked_label = "given";
  }
  if (o.strength) s.strength = positive("--strength", *o.strength);
  if (o.modulus) s.modulus = positive("--modulus", *o.modulus);
  if (o.load_factor) s.load_factor = positive("--load-factor", *o.load_factor);
  if (o.material_factor) s.material_factor = positive("--material-factor", *o.material_factor);
  if (o.clearance) s.clearance = positive("--clearance", *o.clearance);
  if (o.panel) s.panel = positive("--panel-width", *o.panel);
  s.allow_resonance = o.allow_resonance;
  if (o.altitude) {
    s.altitude = number("--altitude", *o.altitude);
    // Where the air would be at 0 K the density has no value.
    const std::string rule = answer_rules::broken(answer_rules::Answer::SeaL, *s.altitude);
    if (!rule.empty()) {
      throw InputError("--altitude: " + *o.altitude + " m is too high (it must be " + rule + ")");
    }
  }
  if (o.blade_file) s.blade_file = *o.blade_file;
  return s;
}

Report evaluate(const fs::path& dir, const Settings& s) {
  Report rep;
  rep.settings = s;
  {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) throw InputError(dir.string() + ": not a directory");
  }
  rep.design = s.blade_file ? blade_file_design(dir, *s.blade_file) : read_design(dir);
  Design& d = rep.design;
  const auto& ans = d.answers;
  if (s.blades) {
    d.rotor.Numb = *s.blades;
  } else if (d.blade) {
    d.rotor.Numb = d.blade->Numb;
  } else if (ans && ans->blades >= 1) {
    d.rotor.Numb = ans->blades;
  } else {
    throw InputError("--blades: not given, and " + (dir / session_answers::kFile).string() +
                     " does not say (give the number of blades of the session)");
  }
  // The wall and the material: the option, else the study design's answers, else what the
  // session's geometry table tells; never a guess.
  // Told only when asked: telling the wall searches the volumes of many walls.
  std::optional<SessionBlade> telling;
  const auto told = [&]() -> const SessionBlade& {
    if (!telling) telling = identify(d);
    return *telling;
  };
  const std::string table = files::kGeometryTable;
  if (s.wall) {
    rep.wall = *s.wall;
    rep.wall_source = "--wall";
  } else if (ans && (ans->blade_type == 1 || ans->blade_type == 2)) {
    rep.wall = ans->blade_type == 2 ? ans->delta : 0.0;
    rep.wall_source = session_answers::kFile;
  } else if (d.blade) {
    throw InputError(
        "--wall: not given, and a blade file does not say the wall (give --wall MM, "
        "0 for a solid blade)");
  } else if (told().wall) {
    rep.wall = *told().wall;
    rep.wall_source = "from " + table + "'s volume" + (told().material ? " and mass" : "");
  } else {
    throw InputError("--wall: not given, and " + table + " cannot tell the blade: " +
                     told().no_wall + " (give --wall MM, 0 for a solid blade)");
  }
  int mat = 0;
  if (s.material) {
    mat = *s.material;
    rep.material_source = "--material";
  } else if (ans && ans->material >= 1 &&
             ans->material <= static_cast<std::int64_t>(catalogue::kMaterials.size())) {
    mat = static_cast<int>(ans->material - 1);
    rep.material_source = session_answers::kFile;
  } else if (d.blade) {
    throw InputError(
        "--material: not given, and a blade file does not say the material (give "
        "--material " +
        material_names() + ")");
  } else if (told().material) {
    mat = *told().material;
    rep.material_source = "from " + table + "'s mass / volume";
  } else {
    throw InputError("--material: not given, and " + table + " cannot tell the material: " +
                     told().no_material + " (give --material " + material_names() + ")");
  }
  rep.material = catalogue::kMaterials[static_cast<std::size_t>(mat)];
  if (s.strength) rep.material.strength = *s.strength;
  if (s.modulus) rep.material.modulus = *s.modulus;
  const double altitude = s.altitude ? *s.altitude : ans && ans->altitude ? *ans->altitude : 0.0;
  rep.rho = energy::air_density(altitude);

  std::string note;
  std::vector<std::string> warnings;
  std::vector<OperatingPoint> points =
      d.blade ? blade_points(d, rep.rho, s.winds.empty())
              : table_points(dir, d, rep.rho, note, &warnings, &rep.tables_used);
  if (!note.empty()) rep.notes.push_back(note);
  rep.notes.insert(rep.notes.end(), warnings.begin(), warnings.end());
  for (double U : s.winds) {
    OperatingPoint p;
    p.source = "user";
    p.U = U;
    p.lambda = s.tsr ? *s.tsr : sweep::tip_speed_ratio(*s.rpm, U, d.rotor.rtip);
    p.result = operating_point(d.rotor, rep.rho, p.U, p.lambda, 0.0);
    points.push_back(p);
  }

  const Strength st{rep.material.strength * 1e6 / s.material_factor, rep.material.modulus * 1e9,
                    s.material_factor};
  rep.strength_source = s.strength ? "--strength" : std::string(rep.material.source);
  rep.factor_source = s.material_factor != kMaterialFactor
                          ? "--material-factor"
                          : "default: IEC 61400-2, material not characterised by tests";
  rep.clearance_source = s.clearance ? "--clearance" : "default: a quarter of the tip radius";
  const std::size_t cells = cells_per_element(d.rotor.nbe);
  for (OperatingPoint& p : points) {
    Case c;
    c.source = p.source;
    c.point = std::move(p);
    c.root_edge = aero_root_edge(c.point.result, d.rotor);
    rep.cases.push_back(std::move(c));
  }
  {
    Case c;
    c.source = "parked";
    c.parked = true;
    c.point.source = "parked " + s.parked_label;
    c.point.U = s.parked_wind;
    c.point.result = parked(d.rotor, rep.rho, s.parked_wind);
    c.root_edge = aero_root_edge(c.point.result, d.rotor);
    rep.cases.push_back(std::move(c));
  }
  const Context x{d,  s,     rep.material,
                  st, cells, s.clearance ? *s.clearance / 1000.0 : kClearanceShare * d.rotor.rtip};
  rep.verdict = judge(x, rep.wall, rep.cases, &rep.campbell, &rep.standing);
  // One mass: the session's way of measuring the blade (its volume pieces), which is the
  // geometry table's mass for the session's own wall and material. The beam's sections, finer
  // along the span, carry their own mass per metre for the centrifugal force, the weight and
  // the modes; it is shown beside.
  rep.mass = measured_volume(d, cells, rep.wall) * rep.material.density;
  rep.mass_is_session =
      d.mass && std::fabs(rep.mass - *d.mass) <= 0.5e-6 * (1.0 + 1e-9) + 1e-12 * *d.mass;
  rep.beam_mass =
      blade_mass(beam_for(d, stations_for(d, cells, rep.wall), rep.material, st.modulus, 0.0));
  for (std::size_t i = 0; i < rep.cases.size(); ++i) {
    if (rep.cases[i].utilisation > rep.cases[rep.worst].utilisation) rep.worst = i;
  }

  if (rep.wall > 0.0) {
    // The thinnest wall that holds every limit: bisection between no wall and a wall thicker
    // than any section. Strength, buckling and stiffness grow with the wall; the modes hardly
    // move (stiffness and mass grow together), so a resonance holds at every wall.
    rep.thin_search_done = true;
    double thickest = 0.0;
    for (double c : d.rotor.chord) thickest = std::max(thickest, c * d.rotor.rtip);
    thickest = std::max(thickest, d.rotor.hub.chord * d.rotor.rtip);
    double hi = thickest * 1000.0;  // mm: thicker than any section
    std::vector<Case> scratch = rep.cases;
    const auto holds = [&](double wall) { return judge(x, wall, scratch, nullptr, nullptr).holds; };
    const Verdict thickest_wall = judge(x, hi, scratch, nullptr, nullptr);
    if (!thickest_wall.holds) {
      rep.no_wall_reason = thickest_wall.reason;
    } else {
      double lo = 0.0;
      while (hi - lo > 0.005) {
        const double mid = (lo + hi) / 2.0;
        (holds(mid) ? hi : lo) = mid;
      }
      rep.thinnest_wall = hi;
      rep.thinnest_mass = measured_volume(d, cells, hi) * rep.material.density;
      rep.thinnest_verdict = judge(x, hi, scratch, nullptr, nullptr);
    }
  }
  return rep;
}

int run(const Options& o, std::ostream& out, std::ostream& err) {
  try {
    const Settings s = settings(o);
    const Report r = evaluate(o.dir, s);
    print_summary(r, out);
    write_outputs(r, o.dir, out);
    out << verdict_text(r.verdict) << '\n';
  } catch (const InputError& e) {
    err << "rotorforge-loads: " << e.what() << '\n';
    return kBadInput;
  } catch (const std::exception& e) {
    err << "rotorforge-loads: " << e.what() << '\n';
    return kBadInput;
  }
  return kDone;
}

}  // namespace loads
