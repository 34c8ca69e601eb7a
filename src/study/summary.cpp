#include "study/summary.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "companion/fill_record.h"
#include "companion/whole_file.h"
#include "loads/run.h"
#include "plot/pictures.h"
#include "plot/results.h"
#include "study/design_dir.h"
#include "util/catalogue.h"
#include "util/files.h"
#include "util/number_text.h"

namespace study {

namespace {

std::string opt_text(const std::optional<double>& v) {
  return v && std::isfinite(*v) ? number_text::shortest(*v) : std::string();
}

// Derived values with the decimals of the figures they come from (a blade's mass has six).
std::string opt_fixed(const std::optional<double>& v, int decimals) {
  return v && std::isfinite(*v) ? plot::fixed(*v, decimals) : std::string();
}

std::string csv_field(const std::string& s) {
  if (s.find_first_of(",\"\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string html(std::string_view text) {
  return plot::escape_xml(text);
}

// One column of the summary: its name in the CSV file, its heading on the page, and the text
// of a row's cell. `number` columns sort by value on the page.
struct Column {
  std::string key;
  std::string heading;
  bool number;
  std::function<std::string(const Row&)> cell;
};

std::vector<Column> columns(const Study& s, const std::vector<Row>& rows) {
  std::vector<Column> c;
  const auto answer = [&](std::string key, std::string heading,
                          std::function<std::string(const Design&)> f, bool number = true) {
    c.push_back(
        {std::move(key), std::move(heading), number, [f](const Row& r) { return f(*r.design); }});
  };
  const auto num = [](double v) { return number_text::shortest(v); };
  answer(
      "id", "design", [](const Design& d) { return design_id(d); }, false);
  // Blade files listed as designs: which file each is.
  if (std::any_of(s.designs.begin(), s.designs.end(),
                  [](const Design& d) { return !d.blade_file.empty(); })) {
    answer(
        "blade_file", "blade file", [](const Design& d) { return d.blade_file; }, false);
  }
  answer("blades", "blades", [](const Design& d) { return std::to_string(d.blades); });
  answer("hub_radius_m", "hub radius (m)", [&](const Design& d) { return num(d.hub_radius); });
  answer("tip_radius_m", "tip radius (m)", [&](const Design& d) { return num(d.tip_radius); });
  answer("elements", "elements", [](const Design& d) { return std::to_string(d.elements); });
  answer("setting_angle_deg", "setting angle (\u00b0)",
         [&](const Design& d) { return num(d.setting_angle); });
  answer(
      "aerofoil", "aerofoil", [](const Design& d) { return d.aerofoil; }, false);
  // An aerofoil whose polar holds angles no converged XFOIL point gave (its import's record).
  if (std::any_of(rows.begin(), rows.end(), [](const Row& r) { return !r.filled.empty(); })) {
    c.push_back({"aerofoil_filled_re", "aerofoil data filled at Re", false,
                 [](const Row& r) { return r.filled; }});
  }
  answer("mean_wind_m_s", "mean wind at 10 m (m/s)",
         [&](const Design& d) { return num(d.mean_wind); });
  answer(
      "blade_type", "blade",
      [](const Design& d) { return std::string(d.blade_type == 2 ? "hollow" : "solid"); }, false);
  answer("wall_thickness_mm", "wall (mm)", [&](const Design& d) {
    return d.blade_type == 2 ? num(d.wall_thickness) : std::string();
  });
  answer(
      "material", "material",
      [](const Design& d) {
        return std::string(catalogue::kMaterials[static_cast<std::size_t>(d.material - 1)].key);
      },
      false);
  answer(
      "stl", "STL", [](const Design& d) { return std::string(d.stl ? "yes" : "no"); }, false);
  if (s.any_type) {
    answer("cut_in_m_s", "cut-in (m/s)", [&](const Design& d) { return num(d.cut_in); });
    answer("cut_out_m_s", "cut-out (m/s)", [&](const Design& d) { return num(d.cut_out); });
    answer("hub_height_m", "hub height (m)", [&](const Design& d) { return num(d.hub_height); });
    answer("altitude_m", "altitude (m)", [&](const Design& d) { return num(d.altitude); });
  }
  if (s.runs[1]) {
    answer("first_speed_rpm", "two-speed: first speed (rpm)",
           [&](const Design& d) { return d.runs[1] ? num(d.first_rpm) : std::string(); });
  }
  if (s.runs[2]) {
    answer("constant_speed_rpm", "constant speed (rpm)",
           [&](const Design& d) { return d.runs[2] ? num(d.constant_rpm) : std::string(); });
  }
  if (s.runs[3]) {
    answer("pitch_speed_rpm", "pitch: speed (rpm)",
           [&](const Design& d) { return d.runs[3] ? num(d.pitch_rpm) : std::string(); });
    answer("power_limit_W", "pitch: power limit (W)",
           [&](const Design& d) { return d.runs[3] ? num(d.power_limit) : std::string(); });
  }
  for (int t = 0; t < kTypes; ++t) {
    if (!s.runs[t]) continue;
    const std::string k = "type" + std::to_string(t + 1) + "_";
    const std::string h = "type " + std::to_string(t + 1) + ": ";
    const auto result = [t](double TypeResult::*field) {
      return [t, field](const Row& r) {
        return r.types[t].have ? number_text::shortest(r.types[t].*field) : std::string();
      };
    };
    c.push_back({k + "cp_max", h + "highest CP", true, result(&TypeResult::cp_max)});
    c.push_back({k + "power_W", h + "average power (W)", true, result(&TypeResult::power)});
    c.push_back(
        {k + "energy_kWh", h + "yearly energy (kW\u00b7h)", true, result(&TypeResult::energy)});
    c.push_back({k + "energy_per_kg", h + "kW\u00b7h per kg of blades", true,
                 [t](const Row& r) { return opt_fixed(r.energy_per_kg(t), 3); }});
    c.push_back({k + "pareto", h + "on the Pareto front", false,
                 [t](const Row& r) { return r.on_front[t] ? std::string("yes") : std::string(); }});
  }
  c.push_back({"volume_m3", "blade volume (m\u00b3)", true,
               [](const Row& r) { return opt_text(r.volume); }});
  c.push_back({"surface_m2", "blade surface (m\u00b2)", true,
               [](const Row& r) { return opt_text(r.surface); }});
  c.push_back({"mass_kg", "blade mass (kg)", true, [](const Row& r) { return opt_text(r.mass); }});
  c.push_back({"rotor_mass_kg", "mass of all blades (kg)", true,
               [](const Row& r) { return opt_fixed(r.rotor_mass(), 6); }});
  c.push_back({"design_s", "design time (s)", true, [](const Row& r) {
                 return r.seconds ? plot::fixed(*r.seconds, 3) : std::string();
               }});
  if (s.loads) {
    c.push_back({"utilisation", "loads: worst utilisation", true, [](const Row& r) {
                   return r.loads ? plot::fixed(r.loads->utilisation, 3) : std::string();
                 }});
    c.push_back({"tip_deflection_mm", "loads: tip deflection (mm)", true, [](const Row& r) {
                   return r.loads ? plot::fixed(r.loads->tip_deflection * 1000.0, 1)
                                  : std::string();
                 }});
    c.push_back({"thinnest_wall_mm", "loads: thinnest wall (mm)", true, [](const Row& r) {
                   return r.loads && r.loads->thinnest_wall
                              ? plot::fixed(*r.loads->thinnest_wall, 2)
                              : std::string();
                 }});
    c.push_back({"holds", "loads: holds", false, [](const Row& r) {
                   return r.loads ? std::string(r.loads->holds() ? "yes" : "no") : std::string();
                 }});
  }
  c.push_back({"status", "status", false, [](const Row& r) { return r.status; }});
  c.push_back({"message", "message", false, [](const Row& r) { return r.message; }});
  return c;
}

void note(Row& r, const std::string& what) {
  if (!r.message.empty()) r.message += "; ";
  r.message += what;
}

std::string material_name(int m) {
  return m >= 1 && m <= static_cast<int>(catalogue::kMaterials.size())
             ? std::string(catalogue::kMaterials[static_cast<std::size_t>(m - 1)].key)
             : std::string("?");
}

}  // namespace

std::optional<double> Row::rotor_mass() const {
  if (!mass || !std::isfinite(*mass)) return std::nullopt;
  return *mass * static_cast<double>(design->blades);
}

std::optional<double> Row::energy_per_kg(int t) const {
  const auto m = rotor_mass();
  if (!types[t].have || !m || !(*m > 0.0) || !std::isfinite(types[t].energy)) return std::nullopt;
  return types[t].energy / *m;
}

namespace {

// The loads of a finished design by rotorforge-loads, its pages written into its Result/loads/.
void read_loads(Row& r, const fs::path& dir, const LoadsTable& table) {
  loads::Settings ls;
  const int c = loads::storm_class(table.storm_class);
  if (c >= 0) {
    ls.parked_wind = loads::kExtremeFactor * loads::kReferenceWind[c];
    ls.parked_label = "class " + table.storm_class;
  }
  if (table.parked_wind) {
    ls.parked_wind = *table.parked_wind;
    ls.parked_label = "given";
  }
  if (table.load_factor) ls.load_factor = *table.load_factor;
  if (table.material_factor) ls.material_factor = *table.material_factor;
  ls.clearance = table.clearance;
  ls.allow_resonance = table.allow_resonance;
  try {
    const loads::Report rep = loads::evaluate(dir, ls);
    std::ostringstream quiet;
    loads::write_outputs(rep, dir, quiet);
    LoadsFigures f;
    f.utilisation = rep.cases[rep.worst].utilisation;
    for (const loads::Case& k : rep.cases) {
      f.tip_deflection = std::max(f.tip_deflection, std::fabs(k.tip_deflection));
    }
    f.thinnest_wall = rep.thinnest_wall;
    f.verdict = rep.verdict.holds;
    f.reason = rep.verdict.reason;
    r.loads = f;
  } catch (const std::exception& e) {
    note(r, std::string("loads: ") + e.what());
  }
}

}  // namespace

Row read_row(const Design& d, const fs::path& dir, const std::optional<LoadsTable>& loads) {
  Row r;
  r.design = &d;
  r.loads_asked = loads.has_value();
  r.id = design_id(d);
  const auto outcome = read_status(dir);
  if (!outcome) {
    r.status = "pending";
    return r;
  }
  try {
    const auto add = [](std::string& list, const std::string& re) {
      if ((" " + list + " ").find(" " + re + " ") == std::string::npos) {
        list += (list.empty() ? "" : " ") + re;
      }
    };
    const std::vector<fill_record::Fill> fills = d.aerofoil.empty()
                                                     ? std::vector<fill_record::Fill>{}
                                                     : fill_record::read(dir / "Data", d.aerofoil);
    for (const auto& f : fills) {
      add(r.filled, std::to_string(f.reynolds));
      if (fill_record::copied(f)) add(r.copied, std::to_string(f.reynolds));
    }
  } catch (const std::exception& e) {
    note(r, e.what());
  }
  r.status = outcome->state == State::Ok ? "ok" : "failed";
  r.message = outcome->message;
  r.seconds = outcome->seconds;
  if (outcome->state != State::Ok) return r;
  std::error_code ec;
  if (fs::is_regular_file(dir / files::kPlotsPage, ec)) {
    r.pictures = "designs/" + r.id + "/" + files::kPlotsPage;
  }

  bool found = false;
  const std::string geometry = whole_file::read(dir / files::kGeometryTable, found);
  plot::TextSource gs(geometry);
  const auto g = plot::read_geometry(gs);
  if (!d.blade_file.empty()) {
    // A blade file's design has no geometry table: its blade is the file.
  } else if (!found) {
    note(r, std::string(files::kGeometryTable) + " is missing");
  } else if (!g.ok()) {
    note(r, files::kGeometryTable + (": " + g.error));
  } else {
    r.volume = g.value.volume;
    r.surface = g.value.surface;
    r.mass = g.value.mass;
    for (const plot::Station& st : g.value.stations) r.chord.push_back({st.radius, st.chord});
  }
  for (int t = 0; t < kTypes; ++t) {
    if (!d.runs[t]) continue;
    const std::string file = files::kEnergyTables[static_cast<std::size_t>(t)];
    const std::string text = whole_file::read(dir / file, found);
    plot::TextSource es(text);
    const auto e = plot::read_energy(es, t + 1);
    if (!found || !e.ok() || e.value.sweeps.empty()) {
      note(r, file + ": " + (!found ? std::string("missing") : e.ok() ? "no sweep" : e.error));
      continue;
    }
    const plot::Sweep& sw = e.value.sweeps.back();
    TypeResult& tr = r.types[t];
    tr.have = true;
    tr.cp_max = -HUGE_VAL;
    for (const plot::TableRow& p : sw.rows) {
      if (p.cp > tr.cp_max) tr.cp_max = p.cp;
    }
    tr.power = sw.average_power;
    tr.energy = sw.annual_energy;
    for (const plot::TableRow& p : sw.rows) r.power_curve[t].push_back({p.wind, p.power});
  }
  if (loads && d.blade_file.empty()) read_loads(r, dir, *loads);
  for (plot::SiblingPage p : plot::sibling_pages(dir)) {
    p.path = "designs/" + r.id + "/Result/" + p.path;
    r.pages.push_back(std::move(p));
  }
  return r;
}

std::vector<std::string> labels(const std::vector<Row>& rows) {
  // Per design, its answers as short phrases; only the phrases that differ are kept.
  const auto parts = [](const Design& d) {
    const auto n = [](double v) { return number_text::shortest(v); };
    std::vector<std::string> p = {
        d.blade_file.empty() ? std::string("designed")
                             : "blade " + fs::path(d.blade_file).filename().string(),
        std::to_string(d.blades) + " blades",
        "hub " + n(d.hub_radius) + " m",
        "tip " + n(d.tip_radius) + " m",
        std::to_string(d.elements) + " elements",
        "setting " + n(d.setting_angle) + "\u00b0",
        d.aerofoil,
        "wind " + n(d.mean_wind) + " m/s",
        d.blade_type == 2 ? "hollow " + n(d.wall_thickness) + " mm" : std::string("solid"),
        material_name(d.material),
        d.stl ? "STL" : "no STL",
        "cut-in " + n(d.cut_in),
        "cut-out " + n(d.cut_out),
        "hub height " + n(d.hub_height) + " m",
        "altitude " + n(d.altitude) + " m",
        "first speed " + n(d.first_rpm) + " rpm",
        "constant speed " + n(d.constant_rpm) + " rpm",
        "pitch speed " + n(d.pitch_rpm) + " rpm",
        "limit " + n(d.power_limit) + " W",
    };
    // A blade file's design has no rotor answers: nothing of them in its name.
    if (!d.blade_file.empty()) {
      for (std::size_t k : {1, 2, 3, 4, 5, 6, 8, 9, 10}) p[k].clear();
    }
    return p;
  };
  std::vector<std::vector<std::string>> all;
  for (const Row& r : rows) all.push_back(parts(*r.design));
  std::vector<std::string> names(rows.size());
  if (all.empty()) return names;
  for (std::size_t k = 0; k < all.front().size(); ++k) {
    const bool varies =
        std::any_of(all.begin(), all.end(), [&](const auto& p) { return p[k] != all.front()[k]; });
    if (!varies) continue;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (all[i][k].empty()) continue;
      names[i] += (names[i].empty() ? "" : ", ") + all[i][k];
    }
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (names[i].empty()) names[i] = rows[i].id;
  }
  return names;
}

std::string summary_csv(const Study& s, const std::vector<Row>& rows) {
  const std::vector<Column> cols = columns(s, rows);
  std::string out;
  for (std::size_t i = 0; i < cols.size(); ++i) out += (i ? "," : "") + cols[i].key;
  out += "\n";
  for (const Row& r : rows) {
    for (std::size_t i = 0; i < cols.size(); ++i)
      out += (i ? "," : "") + csv_field(cols[i].cell(r));
    out += "\n";
  }
  return out;
}

namespace {
bool buildable(const Row& r) {
  return !r.fails_loads();
}

// "42000 83000" without the numbers of `minus`.
std::string without(const std::string& list, const std::string& minus) {
  std::istringstream in(list);
  std::string out, re;
  while (in >> re) {
    if ((" " + minus + " ").find(" " + re + " ") == std::string::npos) {
      out += (out.empty() ? "" : ", ") + re;
    }
  }
  return out;
}

// The text of a mark: the design's number, with a star when its polar data were filled.
std::string mark_label(const Row& r, std::size_t i) {
  return std::to_string(i + 1) + (r.on_filled_data() ? "*" : "");
}

constexpr const char* kBestColor = "#009E73";
constexpr const char* kFailsColor = "#999999";
constexpr const char* kFilledNote =
    "*: on polar data filled or copied where XFOIL gave no converged point (see the table)";
}  // namespace

std::string data_note(const Row& r) {
  if (!r.on_filled_data()) return "";
  std::string copied;
  for (char c : r.copied) copied += c == ' ' ? std::string(", ") : std::string(1, c);
  const std::string filled = without(r.filled, r.copied);
  std::string out;
  if (!filled.empty()) out = "polar data filled at Re " + filled;
  if (!copied.empty()) {
    out += (out.empty() ? "" : "; ") + std::string("polar block") +
           (copied.find(',') == std::string::npos ? "" : "s") + " of Re " + copied +
           " copied from another Reynolds number";
  }
  return out;
}

std::optional<std::size_t> best_design(const std::vector<Row>& rows, int t) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!buildable(rows[i])) continue;
    const auto e = rows[i].energy_per_kg(t);
    if (e && (!best || *e > *rows[*best].energy_per_kg(t))) best = i;
  }
  return best;
}

std::vector<std::size_t> pareto_front(const std::vector<Row>& rows, int t) {
  std::vector<std::size_t> with;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto m = rows[i].rotor_mass();
    if (m && rows[i].types[t].have && std::isfinite(rows[i].types[t].energy) &&
        buildable(rows[i])) {
      with.push_back(i);
    }
  }
  const auto mass = [&](std::size_t i) { return *rows[i].rotor_mass(); };
  const auto energy = [&](std::size_t i) { return rows[i].types[t].energy; };
  std::vector<std::size_t> front;
  for (std::size_t i : with) {
    const bool beaten = std::any_of(with.begin(), with.end(), [&](std::size_t j) {
      return energy(j) >= energy(i) && mass(j) <= mass(i) &&
             (energy(j) > energy(i) || mass(j) < mass(i));
    });
    if (!beaten) front.push_back(i);
  }
  std::stable_sort(front.begin(), front.end(), [&](std::size_t a, std::size_t b) {
    return mass(a) < mass(b) || (mass(a) == mass(b) && energy(a) > energy(b));
  });
  return front;
}

void mark_fronts(std::vector<Row>& rows) {
  for (int t = 0; t < kTypes; ++t) {
    for (Row& r : rows) r.on_front[t] = false;
    for (std::size_t i : pareto_front(rows, t)) rows[i].on_front[t] = true;
  }
}

plot::Chart energy_mass_chart(const std::vector<Row>& rows, const std::vector<std::string>& names,
                              int t) {
  plot::Chart c = plot::titled("Yearly energy against blade mass: " + plot::type_name(t + 1),
                               "mass of all blades (kg)", "yearly energy (kW\u00b7h)", true);
  const bool loads =
      std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.loads_asked; });
  plot::Series all, fails;
  all.label =
      loads ? "designs that hold (numbered as in the table)" : "designs (numbered as in the table)";
  all.line = false;
  fails.label = "designs that do not hold";
  fails.line = false;
  fails.color = kFailsColor;
  bool filled = false;
  std::string failing;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto m = rows[i].rotor_mass();
    if (!m || !rows[i].types[t].have) continue;
    plot::Series& into = rows[i].fails_loads() ? fails : all;
    into.points.push_back({*m, rows[i].types[t].energy});
    into.point_labels.push_back(mark_label(rows[i], i));
    filled = filled || rows[i].on_filled_data();
    if (rows[i].fails_loads()) failing += (failing.empty() ? "" : ", ") + std::to_string(i + 1);
  }
  c.series.push_back(std::move(all));
  const std::vector<std::size_t> front = pareto_front(rows, t);
  if (!front.empty()) {
    plot::Series line;
    line.label = "Pareto front";
    line.color = "#D55E00";
    std::string members;
    for (std::size_t i : front) {
      line.points.push_back({*rows[i].rotor_mass(), rows[i].types[t].energy});
      members += (members.empty() ? "" : ", ") + std::to_string(i + 1);
    }
    c.series.push_back(std::move(line));
    c.caption.push_back(
        "Pareto front (no other design has both more energy and less mass): " + members + ".");
  }
  if (!fails.points.empty()) {
    c.series.push_back(std::move(fails));
    c.caption.push_back("Grey: designs that do not hold (" + failing +
                        "); they take no part in the front or the best.");
  }
  if (const auto best = best_design(rows, t)) {
    plot::Series b;
    b.label = "most energy per kg";
    b.line = false;
    b.color = kBestColor;
    b.points.push_back({*rows[*best].rotor_mass(), rows[*best].types[t].energy});
    c.series.push_back(std::move(b));
    c.caption.push_back("Most energy per kilogram of blades" +
                        std::string(loads ? " among the designs that hold: " : ": ") +
                        std::to_string(*best + 1) + ": " + names[*best] + ", " +
                        plot::fixed(*rows[*best].energy_per_kg(t), 1) +
                        " kW\u00b7h a year per kg.");
  }
  if (filled) c.caption.push_back(std::string(kFilledNote) + ".");
  return c;
}

std::string energy_per_kg_svg(const std::vector<Row>& rows, const std::vector<std::string>& names,
                              int t) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].energy_per_kg(t)) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return *rows[a].energy_per_kg(t) > *rows[b].energy_per_kg(t);
  });
  const std::optional<std::size_t> best = best_design(rows, t);
  const bool loads =
      std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.loads_asked; });
  bool filled = false;
  for (std::size_t i : order) filled = filled || rows[i].on_filled_data();
  const auto bar_name = [&](std::size_t i) { return mark_label(rows[i], i) + ": " + names[i]; };
  const auto value_text = [&](std::size_t i) {
    return plot::fixed(*rows[i].energy_per_kg(t), 1) + " kW\u00b7h/kg" +
           (rows[i].fails_loads() ? ", does not hold" : "");
  };
  // Room for the texts at 12 px: DejaVu Sans is at most about 8 px a character there.
  constexpr double kCharWidth = 8.0;
  std::size_t longest = 10, longest_value = 0;
  for (std::size_t i : order) {
    longest = std::max(longest, bar_name(i).size());
    longest_value = std::max(longest_value, value_text(i).size());
  }
  // What the colours and the star say, one line each under the title.
  std::vector<std::string> key;
  if (best) {
    key.push_back(std::string("green: most energy per kg") +
                  (loads ? " among the designs that hold" : ""));
  }
  if (loads) key.push_back("grey: does not hold (no candidate)");
  if (filled) key.push_back(kFilledNote);
  const double label_w =
      20.0 + kCharWidth * static_cast<double>(std::min<std::size_t>(longest, 70));
  constexpr double kBarArea = 480.0, kBar = 18.0, kPitch = 26.0, kKeyLine = 16.0;
  const double top_y = 50.0 + kKeyLine * static_cast<double>(key.size());
  double width = label_w + kBarArea + 16.0 + kCharWidth * static_cast<double>(longest_value);
  for (const std::string& k : key) {
    width = std::max(width, 20.0 + 7.0 * static_cast<double>(k.size()));
  }
  const double height =
      top_y + kPitch * static_cast<double>(std::max<std::size_t>(order.size(), 1)) + 20.0;
  const std::string title = "Yearly energy per kilogram of blades: " + plot::type_name(t + 1);
  plot::Svg svg(width, height, title);
  const std::string font = "font-family=\"DejaVu Sans, Arial, sans-serif\"";
  svg.text(10.0, 28.0, title, font + " font-size=\"17\" font-weight=\"bold\"");
  for (std::size_t k = 0; k < key.size(); ++k) {
    svg.text(10.0, 48.0 + kKeyLine * static_cast<double>(k), key[k],
             "class=\"key\" " + font + " font-size=\"12\"");
  }
  if (order.empty()) {
    svg.text(width / 2, top_y + 14.0, "no finished design", font + " text-anchor=\"middle\"");
    return svg.finish();
  }
  const double top = *rows[order.front()].energy_per_kg(t);
  double y = top_y;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const Row& r = rows[order[k]];
    const double v = *r.energy_per_kg(t);
    const double w = top > 0.0 ? std::max(0.0, v / top * kBarArea) : 0.0;
    const bool is_best = best && *best == order[k];
    svg.text(label_w - 8.0, y + 13.0, bar_name(order[k]),
             font + " font-size=\"12\" text-anchor=\"end\"");
    svg.rect(label_w, y, w, kBar,
             std::string("class=\"bar") + (is_best ? " best" : "") +
                 (r.fails_loads() ? " fails" : "") + "\" data-design=\"" + r.id +
                 "\" data-value=\"" + number_text::shortest(v) + "\" fill=\"" +
                 (is_best           ? kBestColor
                  : r.fails_loads() ? kFailsColor
                                    : "#0072B2") +
                 "\"");
    svg.text(label_w + w + 6.0, y + 13.0, value_text(order[k]),
             "class=\"value\" " + font + " font-size=\"12\"");
    y += kPitch;
  }
  return svg.finish();
}

namespace {
// After a design's name where a decision is made: the polar data it rests on that no converged
// XFOIL point gave.
std::string filled_warning(const Row& r) {
  if (!r.on_filled_data()) return "";
  return " <span class=\"filled\">\u2014 on " + html(data_note(r)) +
         ", not XFOIL's converged points</span>";
}
}  // namespace

std::vector<std::size_t> listed_designs(const std::vector<Row>& rows, int t) {
  std::vector<std::size_t> listed = pareto_front(rows, t);
  if (const auto best = best_design(rows, t)) listed.push_back(*best);
  std::sort(listed.begin(), listed.end());
  listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
  return listed;
}

namespace {
// The name of a design in the legend of a chart that lays designs over one another.
std::string series_name(const std::vector<Row>& rows, const std::vector<std::string>& names,
                        std::size_t i) {
  return mark_label(rows[i], i) + ": " + names[i];
}
}  // namespace

plot::Chart power_curves_chart(const std::vector<Row>& rows, const std::vector<std::string>& names,
                               int t) {
  plot::Chart c = plot::titled("Power curves of the listed designs: " + plot::type_name(t + 1),
                               "wind speed U (m/s)", "power P (W)", true);
  bool filled = false;
  for (std::size_t i : listed_designs(rows, t)) {
    if (rows[i].power_curve[t].empty()) continue;
    plot::Series series;
    series.label = series_name(rows, names, i);
    series.markers = false;
    series.points = rows[i].power_curve[t];
    c.series.push_back(std::move(series));
    filled = filled || rows[i].on_filled_data();
  }
  c.caption.push_back("The designs of the Pareto front and the one with most energy per kg.");
  if (filled) c.caption.push_back(std::string(kFilledNote) + ".");
  return c;
}

plot::Chart plan_forms_chart(const Study& s, const std::vector<Row>& rows,
                             const std::vector<std::string>& names) {
  plot::Chart c = plot::titled("Plan forms of the listed designs: chord along the blade",
                               "radius r (m)", "chord c (m)", true);
  std::vector<std::size_t> listed;
  for (int t = 0; t < kTypes; ++t) {
    if (!s.runs[t]) continue;
    for (std::size_t i : listed_designs(rows, t)) listed.push_back(i);
  }
  std::sort(listed.begin(), listed.end());
  listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
  bool filled = false;
  for (std::size_t i : listed) {
    if (rows[i].chord.empty()) continue;
    plot::Series series;
    series.label = series_name(rows, names, i);
    series.points = rows[i].chord;
    c.series.push_back(std::move(series));
    filled = filled || rows[i].on_filled_data();
  }
  c.caption.push_back(
      "Chord at the hub, the element centres and the tip of the designs listed for any type.");
  if (filled) c.caption.push_back(std::string(kFilledNote) + ".");
  return c;
}

std::string index_html(const Study& s, const std::vector<Row>& rows,
                       const std::vector<plot::Picture>& charts) {
  const std::vector<std::string> names = labels(rows);
  const std::vector<Column> cols = columns(s, rows);
  const std::string title = s.title.empty() ? "rotorforge design study" : s.title;
  std::size_t ok = 0, failed = 0, pending = 0;
  for (const Row& r : rows) {
    ok += r.status == "ok";
    failed += r.status == "failed";
    pending += r.status == "pending";
  }
  std::string out =
      plot::document_head(
          html(title),
          "body{font-family:DejaVu "
          "Sans,Arial,sans-serif;margin:1.5em;color:#222;max-width:1600px}\n"
          "table{border-collapse:collapse;font-size:13px}\n"
          "th,td{border:1px solid #bbb;padding:3px 6px}td.n{text-align:right}\n"
          "#designs td{white-space:nowrap}\n"
          "#designs th{background:#eee;cursor:pointer;position:sticky;top:0}\n"
          "div.table-box{max-width:100%;max-height:80vh;overflow:auto;border:1px solid #bbb}\n"
          "table.common th{text-align:left;background:#f4f4f4;font-weight:normal}\n"
          "tr.front td{background:#fde3d0}tr.failed td{color:#a00}\n"
          ".filled{color:#8a4b00}\n"
          "img{max-width:100%}\n") +
      "<p>" + std::to_string(rows.size()) + " designs: " + std::to_string(ok) + " finished, " +
      std::to_string(failed) + " failed, " + std::to_string(pending) + " not run yet.</p>\n";
  if (pending > 0 && ok + failed > 0) {
    out += "<p class=\"partial\">Partial results: " + std::to_string(pending) + " of " +
           std::to_string(rows.size()) +
           " designs have not finished (still running, or not run yet); the charts show the "
           "others. Collect again later for the rest.</p>\n";
  }
  {
    std::string on_filled;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].status != "ok" || !rows[i].on_filled_data()) continue;
      on_filled += "<li>" + std::to_string(i + 1) + "*: " + html(names[i]) + ": " +
                   html(data_note(rows[i])) + "</li>\n";
    }
    if (!on_filled.empty()) {
      out +=
          "<div class=\"filled\"><p>Designs marked * rest on polar data that no converged "
          "XFOIL point gave (filled past the converged angles, or whole blocks copied from "
          "another Reynolds number): their figures are less certain than the others'.</p>\n<ul>\n" +
          on_filled + "</ul></div>\n";
    }
  }
  const auto design_link = [&](std::size_t i, const std::string& text) {
    if (rows[i].pictures.empty()) return html(text);
    return "<a href=\"" + html(rows[i].pictures) + "\">" + html(text) + "</a>";
  };
  const auto figures = [&](const std::string& prefix) {
    std::string f;
    for (const plot::Picture& c : charts) {
      if (c.file.rfind(prefix, 0) == 0) {
        f += "<figure><img src=\"" + html(c.file) + "\" alt=\"" + html(c.what) + "\"/></figure>\n";
      }
    }
    return f;
  };
  for (int t = 0; t < kTypes; ++t) {
    if (!s.runs[t]) continue;
    out += "<h2>Type " + std::to_string(t + 1) + ": " + html(plot::type_name(t + 1)) + "</h2>\n";
    if (const auto best = best_design(rows, t)) {
      const Row& b = rows[*best];
      out += std::string("<p class=\"best\">Most energy per kilogram of blades") +
             (s.loads ? " among the designs that hold" : "") + ": <b>" + html(names[*best]) +
             "</b> (design " + b.id + "), " + plot::fixed(*b.energy_per_kg(t), 2) +
             " kW\u00b7h a year per kg" + filled_warning(b) +
             ". Per kilogram alone always favours the smallest rotor; "
             "read it with the front below.</p>\n";
    } else if (s.loads) {
      out += "<p>No finished design that holds has an energy and a mass to compare.</p>\n";
    }
    const std::vector<std::size_t> front = pareto_front(rows, t);
    if (front.empty()) {
      out += "<p>No finished design has an energy and a mass to compare.</p>\n";
    } else {
      out += std::string(
                 "<p>The Pareto front: designs that no other design beats on both yearly "
                 "energy and mass of blades") +
             (s.loads ? ", among the designs that hold" : "") +
             ", lightest first. Any other design gives less energy for as much blade, or needs "
             "more blade for as much energy.</p>\n<ol class=\"front\">\n";
      for (std::size_t i : front) {
        const Row& r = rows[i];
        out += "<li value=\"" + std::to_string(i + 1) + "\">" + design_link(i, names[i]) + ": " +
               plot::fixed(r.types[t].energy, 2) + " kW\u00b7h a year from " +
               plot::fixed(*r.rotor_mass(), 3) + " kg of blades (" +
               plot::fixed(*r.energy_per_kg(t), 2) + " kW\u00b7h per kg)" + filled_warning(r) +
               "</li>\n";
      }
      out += "</ol>\n";
    }
    out += figures("charts/type" + std::to_string(t + 1) + "-");
  }
  if (const std::string plan = figures("charts/plan-forms"); !plan.empty()) {
    out += "<h2>Plan forms</h2>\n" + plan;
  }

  // The table: results first; the answers that are the same for every design are said once
  // above it.
  std::size_t first_result = cols.size(), first_other = cols.size();
  for (std::size_t k = 0; k < cols.size(); ++k) {
    const std::string& key = cols[k].key;
    const bool result =
        (key.rfind("type", 0) == 0 && key.ends_with("_cp_max")) || key == "volume_m3";
    if (result && first_result == cols.size()) first_result = k;
    if (key == "status" && first_other == cols.size()) first_other = k;
  }
  std::vector<std::size_t> shown;
  std::string common;
  for (std::size_t k = first_result; k < first_other; ++k) shown.push_back(k);
  for (std::size_t k = 0; k < first_result; ++k) {
    const Column& c = cols[k];
    const std::string first = rows.empty() ? std::string() : c.cell(rows.front());
    const bool same =
        c.key != "id" && rows.size() > 1 &&
        std::all_of(rows.begin(), rows.end(), [&](const Row& r) { return c.cell(r) == first; });
    if (!same) {
      shown.push_back(k);
    } else if (!first.empty()) {
      common += plot::table_row(c.heading, first);
    }
  }
  for (std::size_t k = first_other; k < cols.size(); ++k) shown.push_back(k);

  out += "<h2>All designs</h2>\n";
  if (!common.empty()) {
    out += "<p>The same for every design:</p>\n<table class=\"common\">\n" + common + "</table>\n";
  }
  out +=
      "<p>Click a heading to sort by it; a design's number opens its own pictures, and its "
      "pages are linked beside its name. Rows on a Pareto front are shaded.</p>\n"
      "<div class=\"table-box\">\n<table id=\"designs\">\n";
  out += "<thead><tr><th>#</th><th data-key=\"name\">design</th><th data-key=\"pages\">pages</th>";
  for (std::size_t k : shown) {
    const Column& c = cols[k];
    out += "<th data-key=\"" + c.key + "\"" + (c.number ? " data-number=\"1\"" : "") + ">" +
           html(c.key == "id" ? std::string("id") : c.heading) + "</th>";
  }
  out += "</tr></thead>\n<tbody>\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const bool front = std::any_of(std::begin(rows[i].on_front), std::end(rows[i].on_front),
                                   [](bool b) { return b; });
    std::string pages;
    for (const plot::SiblingPage& p : rows[i].pages) {
      pages += (pages.empty() ? "" : " \u00b7 ") + std::string("<a href=\"") + html(p.path) +
               "\">" + html(p.name) + "</a>";
    }
    out += std::string("<tr") +
           (front                        ? " class=\"front\""
            : rows[i].status == "failed" ? " class=\"failed\""
                                         : "") +
           "><td class=\"n\">" + design_link(i, mark_label(rows[i], i)) + "</td><td>" +
           html(names[i]) + "</td><td>" + pages + "</td>";
    for (std::size_t k : shown) {
      const Column& c = cols[k];
      const std::string cell = c.cell(rows[i]);
      out += std::string("<td") + (c.number ? " class=\"n\"" : "") + ">" +
             (c.key == "id" ? design_link(i, cell) : html(cell)) + "</td>";
    }
    out += "</tr>\n";
  }
  out +=
      "</tbody>\n</table>\n</div>\n<script>\n"
      "// Sorts the table by the clicked column; a second click reverses the order.\n"
      "document.querySelectorAll('#designs th').forEach(function (th, col) {\n"
      "  th.addEventListener('click', function () {\n"
      "    var body = document.querySelector('#designs tbody');\n"
      "    var num = col === 0 || th.dataset.number === '1';\n"
      "    var dir = th.dataset.dir === 'up' ? -1 : 1;\n"
      "    th.dataset.dir = dir === 1 ? 'up' : 'down';\n"
      "    var rows = Array.prototype.slice.call(body.rows);\n"
      "    rows.sort(function (a, b) {\n"
      "      var x = a.cells[col].textContent, y = b.cells[col].textContent;\n"
      "      if (num) {\n"
      "        var p = x === '' ? -Infinity : parseFloat(x), q = y === '' ? -Infinity : "
      "parseFloat(y);\n"
      "        return dir * (p < q ? -1 : p > q ? 1 : 0);\n"
      "      }\n"
      "      return dir * x.localeCompare(y);\n"
      "    });\n"
      "    rows.forEach(function (r) { body.appendChild(r); });\n"
      "  });\n"
      "});\n</script>\n</body>\n</html>\n";
  return out;
}

std::vector<Row> write_summary(const Study& s, const fs::path& dir) {
  std::vector<Row> rows;
  rows.reserve(s.designs.size());
  for (const Design& d : s.designs) {
    rows.push_back(read_row(d, dir / "designs" / design_id(d), s.loads));
  }
  mark_fronts(rows);
  whole_file::write(dir / "summary.csv", summary_csv(s, rows));
  const std::vector<std::string> names = labels(rows);
  std::vector<plot::Picture> charts;
  fs::create_directories(dir / "charts");
  for (int t = 0; t < kTypes; ++t) {
    if (!s.runs[t]) continue;
    const std::string prefix = "charts/type" + std::to_string(t + 1) + "-";
    const plot::Chart scatter = energy_mass_chart(rows, names, t);
    whole_file::write(dir / (prefix + "energy-mass.svg"), plot::render(scatter));
    charts.push_back({prefix + "energy-mass.svg", scatter.title});
    whole_file::write(dir / (prefix + "energy-per-kg.svg"), energy_per_kg_svg(rows, names, t));
    charts.push_back({prefix + "energy-per-kg.svg",
                      "Yearly energy per kilogram of blades: " + plot::type_name(t + 1)});
    const plot::Chart curves = power_curves_chart(rows, names, t);
    whole_file::write(dir / (prefix + "power-curves.svg"), plot::render(curves));
    charts.push_back({prefix + "power-curves.svg", curves.title});
  }
  const plot::Chart plan = plan_forms_chart(s, rows, names);
  whole_file::write(dir / "charts/plan-forms.svg", plot::render(plan));
  charts.push_back({"charts/plan-forms.svg", plan.title});
  whole_file::write(dir / "index.html", index_html(s, rows, charts));
  return rows;
}

}  // namespace study
