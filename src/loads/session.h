// What a finished rotorforge session left in its working directory, read for the loads: the
// blade at full precision (the laws in Temp/, the stations of Result/Geometry.out), the working
// polar and outline, and the operating points of the current energy tables.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "blade/laws.h"
#include "blade/rotor_blade.h"
#include "blade/section.h"
#include "companion/session_answers.h"
#include "loads/aero.h"

namespace loads {

namespace fs = std::filesystem;

// Bad input: one line naming the file, line or option and what is wrong.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Design {
  Rotor rotor;  // its setting angle and hub station are the design's
  blade::Coeffs chord_law{}, twist_law{};
  blade::Outline outline;                           // the aerofoil's own outline of unit chord
  std::optional<double> mass;                       // kg, one blade, as Result/Geometry.out says
  std::optional<double> volume;                     // m^3, one blade, as Result/Geometry.out says
  std::optional<session_answers::Answers> answers;  // in a study's design folder
  // A blade file's blade (rotorforge-loads --blade): its shape replaces the laws.
  std::optional<blade::Blade> blade;
  // A blade file's blade of several sections or a round root: the outline of each of the
  // blade's sections (blade->sections' order; a round section has none), and the file's
  // stations (radius in m, section), which give every station of the beam its section.
  std::vector<blade::Outline> outlines;
  std::vector<double> station_r;
  std::vector<std::size_t> station_section;
};

// The section (an index into d.blade->sections) at relative radius x: that of the nearer of the
// blade file's stations on either side, the inner one at equal distance, as the elements take
// theirs; nothing for a blade of one outline (d.outline).
std::optional<std::size_t> section_at(const Design& d, double x);

// The round section at relative radius x, if it is one.
const blade::Section* round_at(const Design& d, double x);

// The design of a blade of one aerofoil section whose outline is `outline` (its polar loaded).
Design blade_design(const blade::Blade& b, const blade::Outline& outline);

// One operating point of a sweep (or of the user's).
struct OperatingPoint {
  std::string source;  // "Energy1 sweep 1", "user"
  int type = 0;        // 1 ... 4, 0 for the user's
  double U = 0.0, lambda = 0.0, theta = 0.0;
  std::optional<double> table_cp;     // as the table shows it
  std::optional<double> table_power;  // W
  PointResult result;                 // the rotor there, element by element
};

// The blade of the session in `dir`: from answers.txt when the folder is a study's design
// (exact answers), else with the hub and tip radius and setting angle read from the geometry
// table's four decimals (which reproduce typed answers of up to four decimals exactly). Loads
// the working polar into the polar tables. Throws InputError.
Design read_design(const fs::path& dir);

// The operating points of the sweeps in the current energy tables, solved in air of density
// rho; the note of older tables left out (or "") in `note`. Each point's tip speed ratio and
// setting angle are the sweep's own: of the values the table shows at two decimals, those of the
// sweep's rules whose power coefficient the table shows. A sweep whose rows are all there but
// whose energy lines are cut off is used, with a line in `warnings` naming the file and line;
// one cut inside its rows is refused. `used`, when given, gets a line per table: the sweeps and
// rows used, or why none (empty, older, missing). Throws InputError for a table that cannot be read
// or that another blade wrote.
std::vector<OperatingPoint> table_points(const fs::path& dir, const Design& d, double rho,
                                         std::string& note,
                                         std::vector<std::string>* warnings = nullptr,
                                         std::vector<std::string>* used = nullptr);

}  // namespace loads
