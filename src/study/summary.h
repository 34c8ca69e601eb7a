// The study's summary: per design its answers and what its session left (highest power
// coefficient, average power and yearly energy per turbine type, blade volume, surface and
// mass, design time, status), as summary.csv and as index.html with SVG charts.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "plot/pictures.h"
#include "plot/siblings.h"
#include "plot/svg.h"
#include "study/study_file.h"

namespace study {

namespace fs = std::filesystem;

struct TypeResult {
  bool have = false;    // the design ran this type and its table was read
  double cp_max = 0.0;  // highest power coefficient of the sweep
  double power = 0.0;   // average power at the site, W
  double energy = 0.0;  // yearly energy, kW.h
};

// What rotorforge-loads found for a design.
struct LoadsFigures {
  double utilisation = 0.0;             // worst case
  double tip_deflection = 0.0;          // m, the largest
  std::optional<double> thinnest_wall;  // mm, hollow blades
  // rotorforge-loads' verdict: every limit (strength, buckling, clearance, resonance) holds;
  // otherwise the limits that fail.
  bool verdict = false;
  std::string reason;
  bool holds() const { return verdict; }
};

struct Row {
  const Design* design = nullptr;
  bool loads_asked = false;           // the study has a [loads] table
  std::optional<LoadsFigures> loads;  // when asked and the design's loads could be computed
  std::string id;
  std::string status;  // "ok", "failed" or "pending" (no outcome recorded yet)
  std::string message;
  std::optional<double> seconds;
  std::optional<double> volume;   // m^3, one blade
  std::optional<double> surface;  // m^2, one blade
  std::optional<double> mass;     // kg, one blade
  // Reynolds numbers whose blocks of the aerofoil's polar hold filled angles (its import's
  // record), as "42000 83000"; "" when none.
  std::string filled;
  // Of those, the Reynolds numbers whose whole block was not computed but copied from another
  // Reynolds number's, as "42000 83000"; "" when none.
  std::string copied;
  TypeResult types[kTypes];
  // The design's own picture page (rotorforge-plot's, written after its session), relative to
  // the study's folder; "" when there is none.
  std::string pictures;
  // Every page of the design's session (pictures, loads, analyses), paths relative to the
  // study's folder.
  std::vector<plot::SiblingPage> pages;
  // Per type, the power curve of the design's sweep (wind speed m/s, power W), and the chord
  // along the blade (radius m, chord m), for the charts that lay designs over one another.
  std::vector<plot::XY> power_curve[kTypes];
  std::vector<plot::XY> chord;
  bool on_front[kTypes] = {false, false, false, false};  // set by mark_fronts

  // Mass of all the rotor's blades, kg.
  std::optional<double> rotor_mass() const;
  // Yearly energy of type t (0-based) per kilogram of blades, kW.h/kg.
  std::optional<double> energy_per_kg(int t) const;
  // Whether the loads were asked for and the design does not hold (or its loads could not be
  // computed): such a design cannot be built and is no candidate for the best or the front.
  bool fails_loads() const { return loads_asked && !(loads && loads->holds()); }
  // Whether the design rests on polar data that no converged XFOIL point gave.
  bool on_filled_data() const { return !filled.empty(); }
};

// What a design's mark on the charts and its name in the ranking say about it besides its
// number: "" for a design on XFOIL's own data, else the words that tell the filled or copied
// polar blocks ("filled polar data at Re 42000; copied at Re 83000").
std::string data_note(const Row& r);

// Reads what the session of `d` left in `dir`. A problem with a result file of a finished
// design is noted in the row's message. With `loads`, also runs the loads of the design (its
// Result/loads/ is written).
Row read_row(const Design& d, const fs::path& dir,
             const std::optional<LoadsTable>& loads = std::nullopt);

// A short name of each design, made of the answers that differ between the designs
// ("3 blades, tip 1.5 m, sg6043").
std::vector<std::string> labels(const std::vector<Row>& rows);

std::string summary_csv(const Study& s, const std::vector<Row>& rows);

// Index of the design with the most yearly energy of type t per kilogram of blades, if any;
// when the loads were asked for, among the designs that hold.
std::optional<std::size_t> best_design(const std::vector<Row>& rows, int t);

// The designs that no other design beats on both yearly energy of type t (more) and mass of all
// blades (less): indices, lightest first. A design equal to another in both counts as well. When
// the loads were asked for, only the designs that hold take part.
std::vector<std::size_t> pareto_front(const std::vector<Row>& rows, int t);

// Sets every row's on_front from pareto_front.
void mark_fronts(std::vector<Row>& rows);

// Yearly energy of type t against the mass of the blades: one mark per design, labelled with its
// number in the table (index + 1), and the Pareto front joined by a line.
plot::Chart energy_mass_chart(const std::vector<Row>& rows, const std::vector<std::string>& names,
                              int t);
// Yearly energy of type t per kilogram of blades, one bar per design ("#number name"), best
// first, each bar with its value.
std::string energy_per_kg_svg(const std::vector<Row>& rows, const std::vector<std::string>& names,
                              int t);

// The designs a user compares for type t: the Pareto front and the best per kilogram, in the
// order of the table.
std::vector<std::size_t> listed_designs(const std::vector<Row>& rows, int t);
// Power curves of type t of the listed designs, on one chart.
plot::Chart power_curves_chart(const std::vector<Row>& rows, const std::vector<std::string>& names,
                               int t);
// The chord along the blade of the designs listed for any type, on one chart.
plot::Chart plan_forms_chart(const Study& s, const std::vector<Row>& rows,
                             const std::vector<std::string>& names);

// The page: per turbine type the Pareto front, the design with most energy per kilogram and the
// charts (files under charts/), then the table of all designs, sortable by any column, each
// finished design linked to its own picture page. While designs have not finished (a Slurm job
// still running) the page says so.
std::string index_html(const Study& s, const std::vector<Row>& rows,
                       const std::vector<plot::Picture>& charts);

// Reads every design of `s` under dir/designs and writes dir/summary.csv, dir/index.html and
// the charts under dir/charts. Returns the rows. Throws std::runtime_error when a file cannot
// be written.
std::vector<Row> write_summary(const Study& s, const fs::path& dir);

}  // namespace study
