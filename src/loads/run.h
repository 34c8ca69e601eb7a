// rotorforge-loads as a whole: the settings from the command line (or a study design's answers),
// the loads of every operating point and of the parked storm, the strength of the blade, and
// what is written into Result/loads/.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "loads/modes.h"
#include "loads/session.h"
#include "loads/structure.h"

namespace loads {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kBadInput = 1;
inline constexpr int kBadCommandLine = 2;

// The command line as given: values are checked by settings().
struct Options {
  fs::path dir = ".";
  std::optional<std::string> blade_file;  // a blade file instead of the session's blade
  std::optional<std::string> blades, wall, material;
  std::vector<std::string> winds;
  std::optional<std::string> rpm, tsr;
  std::optional<std::string> storm_class, parked_wind;
  std::optional<std::string> strength, modulus, load_factor, material_factor, altitude;
  std::optional<std::string> clearance, panel;
  bool allow_resonance = false;
};

// The tower clearance when none is given: a quarter of the tip radius.
inline constexpr double kClearanceShare = 0.25;
// A tip deflection beyond this share of the span is beyond linear beam theory.
inline constexpr double kLinearShare = 0.10;
// A mode within this share of an excitation frequency resonates.
inline constexpr double kResonanceMargin = 0.10;

// IEC classes I ... IV: reference wind speeds (m/s); the 50-year extreme is 1.4 times it.
inline constexpr double kReferenceWind[4] = {50.0, 42.5, 37.5, 30.0};
inline constexpr double kExtremeFactor = 1.4;
// The class of a name "I" ... "IV" (0 ... 3), -1 for another.
int storm_class(const std::string& name);

// Loads of one study design: class and factors (the rest comes from the design's answers).
struct Settings {
  std::optional<std::int64_t> blades;  // from the answers when absent
  std::optional<double> wall;          // mm, 0 solid
  std::optional<int> material;         // 0 ... 4
  std::vector<double> winds;
  std::optional<double> rpm, tsr;
  double parked_wind = kExtremeFactor * kReferenceWind[0];  // m/s
  std::string parked_label = "class I";
  std::optional<double> strength;  // MPa
  std::optional<double> modulus;   // GPa
  double load_factor = kLoadFactor;
  double material_factor = kMaterialFactor;
  std::optional<double> altitude;      // m
  std::optional<double> clearance;     // mm, blade plane to tower at rest
  bool allow_resonance = false;
  std::optional<double> panel;         // mm, the widest unsupported skin panel (webs, stiffeners)
  std::optional<fs::path> blade_file;  // the blade of a blade file, not the session's
};

// The checked settings; throws InputError naming the option.
Settings settings(const Options& o);

// One load case evaluated on the blade.
struct Case {
  std::string source;  // "Energy1 sweep 1", "user", "parked"
  bool parked = false;
  OperatingPoint point;
  double root_flap = 0.0;        // N m, one blade
  double root_edge = 0.0;        // N m, aerodynamic
  double gravity = 0.0;          // N m, edgewise at the root, blade horizontal
  double centrifugal = 0.0;      // N at the root
  double root_stress = 0.0;      // MPa, unfactored
  double utilisation = 0.0;      // largest along the span
  double worst_radius = 0.0;     // m, where it is largest
  double tip_deflection = 0.0;   // m downwind
  double buckling = 0.0;         // factored compression / design buckling stress, largest
  double buckling_radius = 0.0;  // m, where it is largest
  BladeModes modes;              // at the case's speed and setting (none for the parked rotor)
  std::vector<double> stress;    // MPa along the beam grid
  std::vector<double> grid;      // m
};

// A mode close to an excitation of the rotor: the mode's frequency over k times the rotational
// frequency, where (over the case's speed, or a variable-speed sweep's whole range) it comes
// nearest to 1.
struct Resonance {
  std::string mode;  // "first flapwise", "second flapwise", "first edgewise"
  int harmonic = 1;  // k: 1P, B P
  double ratio = 0.0;
  double rpm = 0.0;        // where it comes nearest
  double frequency = 0.0;  // Hz, the mode's there
  std::string source;      // the sweep or point
  bool flagged = false;    // within the margin
};

// What holds and what does not, limit by limit. Utilisations are factored effect over the
// design resistance: 1 is the limit.
struct Verdict {
  double strength = 0.0;
  double buckling = 0.0;    // 0 for a solid blade
  double deflection = 0.0;  // m: the largest tip deflection towards the tower, factored
  double clearance = 0.0;   // m
  bool beyond_linear = false;
  std::optional<Resonance> resonance;  // the closest approach to an excitation
  bool resonance_allowed = false;
  bool holds = false;
  std::string reason;  // the limits that fail, the first to fail first ("" when it holds)
  double clearance_use() const { return clearance > 0.0 ? deflection / clearance : 0.0; }
};

// The rotor's modes against its speed for the Campbell chart (setting angle 0).
struct Campbell {
  std::vector<double> rpm;
  std::vector<BladeModes> modes;
  double rpm_lo = 0.0, rpm_hi = 0.0;  // the operating range
};

struct Report {
  Design design;
  Settings settings;
  Material material;
  double wall = 0.0;                         // mm
  std::string wall_source, material_source;  // where the wall and the material come from
  double rho = 0.0;
  double mass = 0.0;             // kg, one blade, measured as the session measures it
  bool mass_is_session = false;  // the geometry table's mass line shows `mass`
  double beam_mass = 0.0;        // kg, one blade from the beam's sections
  std::vector<Case> cases;
  std::size_t worst = 0;
  std::optional<double> thinnest_wall;  // mm, hollow blades: the thinnest that holds
  std::optional<double> thinnest_mass;  // kg, one blade
  bool thin_search_done = false;
  Verdict verdict;
  std::optional<Verdict> thinnest_verdict;
  std::string no_wall_reason;  // when no wall holds: what fails even at the thickest
  BladeModes standing;         // at rest, setting angle 0
  Campbell campbell;
  std::string clearance_source, factor_source, strength_source;
  std::vector<std::string> notes;
  std::vector<std::string> tables_used;  // one line per energy table whose sweeps are used
};

// Everything for the session in `dir`. Throws InputError.
Report evaluate(const fs::path& dir, const Settings& s);

// The console summary and the files of Result/loads/ (written only here).
void print_summary(const Report& r, std::ostream& out);
void write_outputs(const Report& r, const fs::path& dir, std::ostream& out);

// The whole program after the command line was parsed: the summary, the files, and the verdict
// last. Status kDone or kBadInput.
int run(const Options& o, std::ostream& out, std::ostream& err);

}  // namespace loads
