#include "loads/session.h"

#include <cmath>
#include <exception>

#include "aerofoil/data_in.h"
#include "companion/session_files.h"
#include "companion/whole_file.h"
#include "performance/sweep.h"
#include "plot/results.h"
#include "plot/svg.h"
#include "textio/textio.h"
#include "util/files.h"

namespace loads {

namespace {

std::string rel(const fs::path& dir, const std::string& name) {
  return (dir / name).string();
}

// Within half a unit of the last of `decimals` digits (and a little for the rounding of the
// decimal text itself).
bool shows(double value, double shown, int decimals) {
  return std::fabs(value - shown) <= 0.5 * std::pow(10.0, -decimals) + 1e-9 * std::fabs(shown);
}

double round_to(double v, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(v * scale) / scale;
}

template <class T, class Reader>
T read_with(const fs::path& dir, const std::string& name, Reader reader) {
  const fs::path path = dir / name;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    throw InputError(path.string() + ": missing: no rotorforge session has designed a blade here");
  }
  textio::InFile file(path.string());
  plot::Read<T> r = reader(file);
  if (!r.ok()) throw InputError(path.string() + ": " + r.error);
  return std::move(r.value);
}

// A table that ends inside a sweep: the sweep is used when all its rows are there (only its
// energy lines are missing), with a warning naming the file and its last line; a sweep cut inside
// its rows is refused, since its wind speeds follow from its last row.
void take_cut_sweep(const std::string& name, plot::EnergyTable& table,
                    std::vector<std::string>* warnings) {
  if (table.incomplete.empty()) return;
  const std::string where = name + ":" + std::to_string(table.last_line) + ": ";
  if (table.cut.rows.size() != plot::kSweepRows) {
    throw InputError(where + table.incomplete +
                     ": its operating points cannot be known (run the option again, or remove "
                     "the file)");
  }
  if (warnings) {
    warnings->push_back("warning: " + where + table.incomplete + ": its " +
                        std::to_string(plot::kSweepRows) + " rows are used");
  }
  table.sweeps.push_back(std::move(table.cut));
}

}  // namespace

Design read_design(const fs::path& dir) {
  Design d;
  const plot::Geometry g =
      read_with<plot::Geometry>(dir, files::kGeometryTable, plot::read_geometry);
  const std::string geometry = rel(dir, files::kGeometryTable);
  if (g.stations.size() < 3 || !g.volume) {
    throw InputError(geometry + ": the table is cut short (" + std::to_string(g.stations.size()) +
                     " stations" + (g.volume ? "" : ", no volume line") + ")");
  }
  for (std::size_t i = 0; i < g.stations.size(); ++i) {
    if (!(g.stations[i].chord > 0.0)) {
      throw InputError(geometry + ":" + std::to_string(i + 3) + ": chord " +
                       plot::fixed(g.stations[i].chord, 4) + " m is not positive");
    }
  }
  if (g.mass && std::isfinite(*g.mass)) d.mass = g.mass;
  if (g.volume && std::isfinite(*g.volume)) d.volume = g.volume;

  bool found = false;
  const std::string answers_text = whole_file::read(dir / session_answers::kFile, found);
  if (found) {
    std::string why;
    d.answers = session_answers::parse(answers_text, why);
    if (!d.answers) throw InputError(rel(dir, session_answers::kFile) + ": " + why);
  }
  try {
    d.chord_law = blade::read_coeffs(rel(dir, files::kChordLaw));
    d.twist_law = blade::read_coeffs(rel(dir, files::kTwistLaw));
    d.outline = blade::read_outline(rel(dir, files::kOwnOutline));
    data_in::file_read(rel(dir, files::kPolarCopy));
  } catch (const std::exception& e) {
    throw InputError(e.what());
  }

  Rotor& r = d.rotor;
  const std::size_t stations = g.stations.size();
  if (d.answers) {
    r.rhub = d.answers->rhub;
    r.rtip = d.answers->rtip;
    r.nbe = d.answers->nbe;
    r.setting = d.answers->pitchinitial;
    if (static_cast<std::size_t>(r.nbe) + 2 != stations) {
      throw InputError(geometry + ": the table is cut short: " + std::to_string(stations) +
                       " stations for " + std::to_string(r.nbe) + " elements");
    }
  } else {
    r.rhub = g.stations.front().radius;
    r.rtip = g.stations.back().radius;
    r.nbe = static_cast<std::int64_t>(stations) - 2;
    r.setting =
        round_to(g.stations.front().twist - blade::twist_law(d.twist_law, r.rhub / r.rtip), 4);
  }
  if (!(r.rtip > r.rhub && r.rhub >= 0.0)) {
    throw InputError(geometry + ": the tip radius is not beyond the hub radius");
  }
  const std::size_t n = static_cast<std::size_t>(r.nbe);
  r.r.assign(n, 0.0);
  r.chord.assign(n + 1, 0.0);
  r.twist.assign(n + 1, 0.0);
  r.hub = blade::blade_arrays(d.chord_law, d.twist_law, r.nbe, r.rtip, r.rhub, r.r, r.dr, r.twist,
                              r.setting, r.chord);
  // The laws must give the table: otherwise they belong to another design.
  const std::vector<blade::Station> laws = blade::blade_stations(r);
  for (std::size_t i = 0; i < stations; ++i) {
    const plot::Station& s = g.stations[i];
    const blade::Station& l = laws[i];
    if (!shows(l.x * r.rtip, s.radius, 4) || !shows(l.chord * r.rtip, s.chord, 4) ||
        !shows(l.twist, s.twist, 4)) {
      throw InputError(geometry + ":" + std::to_string(i + 3) + ": the station is not that of " +
                       files::kChordLaw + " and " + files::kTwistLaw + " (another design?)");
    }
  }
  for (std::size_t i = 0; i <= n; ++i) {
    if (!(r.chord[i] > 0.0)) throw InputError(geometry + ": the chord law gives a chord <= 0");
  }
  return d;
}

Design blade_design(const blade::Blade& b, const blade::Outline& outline) {
  Design d;
  // The rotor is the blade on the loaded polar tables, every element of width dr.
  d.rotor = b;
  d.rotor.width.clear();
  d.rotor.section.clear();
  d.rotor.sections.clear();
  d.outline = outline;
  d.blade = b;
  return d;
}

std::optional<std::size_t> section_at(const Design& d, double x) {
  const std::vector<double>& r = d.station_r;
  if (r.empty() || r.size() != d.station_section.size()) return std::nullopt;
  // Matched in metres, as the elements are.
  const double rm = x * d.rotor.rtip;
  std::size_t j = 1;
  while (j + 1 < r.size() && r[j] < rm) ++j;
  if (j >= r.size() || rm <= r[j - 1]) return d.station_section[j - 1];
  if (rm >= r[j]) return d.station_section[j];
  const double t = (rm - r[j - 1]) / (r[j] - r[j - 1]);
  return t <= 0.5 ? d.station_section[j - 1] : d.station_section[j];
}

const blade::Section* round_at(const Design& d, double x) {
  const std::optional<std::size_t> s = section_at(d, x);
  if (!s || !d.blade || *s >= d.blade->sections.size()) return nullptr;
  const blade::Section& section = d.blade->sections[*s];
  return section.cylinder ? &section : nullptr;
}

std::vector<OperatingPoint> table_points(const fs::path& dir, const Design& d, double rho,
                                         std::string& note, std::vector<std::string>* warnings,
                                         std::vector<std::string>* used) {
  const auto states = session_files::energy_tables(dir);
  note = session_files::older_tables_note(states);
  const Rotor& rotor = d.rotor;
  std::vector<OperatingPoint> points;
  for (int t = 1; t <= 4; ++t) {
    const std::string name = files::kEnergyTables[static_cast<std::size_t>(t - 1)];
    const session_files::TableState state = states[static_cast<std::size_t>(t - 1)];
    if (state != session_files::TableState::Current) {
      if (used) {
        used->push_back(name + (state == session_files::TableState::Empty   ? ": empty"
                                : state == session_files::TableState::Older ? ": older, left out"
                                                                            : ": missing"));
      }
      continue;
    }
    plot::EnergyTable table = read_with<plot::EnergyTable>(
        dir, name, [t](textio::RecordSource& s) { return plot::read_energy(s, t); });
    take_cut_sweep(name, table, warnings);
    if (used) {
      used->push_back(name + ": " + std::to_string(table.sweeps.size()) +
                      (table.sweeps.size() == 1 ? " sweep, " : " sweeps, ") +
                      std::to_string(table.sweeps.size() * plot::kSweepRows) + " rows");
    }
    for (std::size_t k = 0; k < table.sweeps.size(); ++k) {
      const auto& rows = table.sweeps[k].rows;
      const double Ucin = rows.front().wind, Ucout = rows.back().wind;
      double slowest = rows.front().rpm;
      for (const auto& row : rows) slowest = std::min(slowest, row.rpm);
      for (std::size_t j = 0; j < rows.size(); ++j) {
        const auto& row = rows[j];
        OperatingPoint p;
        p.source = "Energy" + std::to_string(t) + " sweep " + std::to_string(k + 1);
        p.type = t;
        p.U = sweep::sweep_speed(static_cast<int>(j), Ucin, Ucout);
        p.table_cp = row.cp;
        p.table_power = row.power;
        // The sweep's own tip speed ratio and setting angle: the candidates whose values the
        // table shows, the first whose power coefficient the table shows too.
        std::vector<std::pair<double, double>> candidates;
        const auto add_speed = [&](double n, double theta) {
          candidates.push_back({sweep::tip_speed_ratio(n, p.U, rotor.rtip), theta});
        };
        if (t == 1) {
          const double cap = sweep::speed_cap(static_cast<int>(j), rotor.rtip);
          if (shows(cap, row.rpm, 2)) add_speed(cap, 0.0);
          if (const auto i = sweep::ratio_step(row.tsr)) {
            candidates.push_back({sweep::ratio_grid(*i), 0.0});
          }
        } else if (t == 2) {
          add_speed(shows(slowest, row.rpm, 2) ? slowest : slowest * 1.5, 0.0);
        } else if (t == 3) {
          add_speed(row.rpm, 0.0);
        } else {
          const double lam = sweep::tip_speed_ratio(row.rpm, p.U, rotor.rtip);
          if (const auto step = sweep::coarse_step(row.angle)) {
            candidates.push_back({lam, sweep::coarse_angle(*step)});
          }
          for (bool cut_out : {false, true}) {
            if (const auto step = sweep::limit_step(row.angle, cut_out)) {
              candidates.push_back({lam, sweep::limit_angle(*step, cut_out)});
            }
          }
        }
        candidates.push_back({row.tsr, std::isnan(row.angle) ? 0.0 : row.angle});
        bool matched = false;
        for (const auto& [lam, theta] : candidates) {
          if (!shows(lam, row.tsr, 2) || (t == 4 && !shows(theta, row.angle, 2))) continue;
          p.result = operating_point(rotor, rho, p.U, lam, theta);
          const double cp = p.result.cp;
          // Types 3 and 4 show a negative coefficient as 0, and type 1 shows 0 where no ratio
          // of its grid gives a positive one; type 2 shows it as it is.
          const double shown = t != 2 && cp < 0.0 && row.cp == 0.0 ? 0.0 : cp;
          if (shows(shown, row.cp, 4)) {
            p.lambda = lam;
            p.theta = theta;
            matched = true;
            break;
          }
        }
        if (!matched) {
          throw InputError(name + ": sweep " + std::to_string(k + 1) + ", wind speed " +
                           plot::fixed(row.wind, 2) +
                           " m/s: the blade's power coefficient is not the table's (another "
                           "number of blades, or a table of another design)");
        }
        points.push_back(p);
      }
    }
  }
  return points;
}

}  // namespace loads
