// The study file: a TOML document that gives a value or a list of values for every answer of
// a rotorforge session. The study is the cross product of the lists (or, with [[design]]
// entries, the union of one cross product per entry), each combination one design.
//
// Every value is checked while the file is read, before anything runs; every problem is
// reported as "FILE:LINE: what is wrong", all of them at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "companion/file_problems.h"

namespace study {

// The turbine types of the main menu's options 1 ... 4, in menu order.
inline constexpr int kTypes = 4;
// Table name of each type in the study file.
inline constexpr const char* kTypeTable[kTypes] = {"variable_speed", "two_speed", "constant_speed",
                                                   "pitch"};

// One design: every answer of one session.
struct Design {
  std::int64_t blades = 0;
  double hub_radius = 0.0;  // m
  double tip_radius = 0.0;  // m
  std::int64_t elements = 0;
  double setting_angle = 0.0;   // deg
  std::string aerofoil;         // file stem: a shipped one of catalogue::kAerofoils, or imported
  double mean_wind = 0.0;       // m/s at 10 m, for the design and every sweep
  int blade_type = 1;           // 1 solid, 2 hollow
  double wall_thickness = 0.0;  // mm, hollow blades only
  int material = 1;             // 1 ... 5, catalogue::kMaterials
  bool stl = false;
  // Sweep answers, used by the types run.
  double cut_in = 0.0;
  double cut_out = 0.0;
  double hub_height = 0.0;
  double altitude = 0.0;
  double first_rpm = 0.0;     // rotational speeds, rpm: the two-speed type's first,
  double constant_rpm = 0.0;  // the constant-speed type's,
  double pitch_rpm = 0.0;     // the pitch-controlled type's
  double power_limit = 0.0;   // W, pitch-controlled type
  bool runs[kTypes] = {false, false, false, false};
  // A design the study does not design: the blade of this blade file (absolute path), analysed
  // by rotorforge-analyse at the design's site and turbine types. Its rotor answers are unused.
  std::string blade_file;
};

// The arguments of rotorforge-analyse for a blade-file design: the blade file `file` at the
// design's site and turbine types.
std::vector<std::string> analyse_arguments(const Design& d, const std::string& file);

// The answers of the session, one per line, in the order the dialogue asks them, ending with
// the menu's 0.
std::string answers(const Design& d);

// The design's name in the study's folder: 16 hexadecimal digits of a 64-bit FNV-1a hash of its
// answers, and of the imported aerofoil's name (the answers say only "4" for any of them).
std::string design_id(const Design& d);

// The [loads] table: rotorforge-loads runs on every finished design with these (its answers give
// the blades, wall, material and altitude).
struct LoadsTable {
  std::string storm_class = "I";      // I ... IV, the parked storm 1.4 x the class's wind
  std::optional<double> parked_wind;  // m/s, instead of the class
  std::optional<double> load_factor;
  std::optional<double> material_factor;
  std::optional<double> clearance;  // mm, blade plane to tower
  bool allow_resonance = false;
};

struct Study {
  std::string title;                                 // for the page; may be empty
  std::optional<LoadsTable> loads;                   // when the file has a [loads] table
  std::vector<Design> designs;                       // in the file's order, each id once
  bool any_type = false;                             // at least one turbine type runs
  bool runs[kTypes] = {false, false, false, false};  // types run by any design
};

// Every problem found, one "FILE:LINE: message" per entry.
class StudyError : public file_problems::Error {
 public:
  explicit StudyError(std::vector<std::string> problems);
};

// Reads the study from `text`; `name` stands for the file in messages. An aerofoil given by a
// name other than a shipped one must have its outline NAME.dat and polar LiftNAME.dat in
// `data_dir`; an empty `data_dir` skips that check (a study read back for its summary).
Study parse_study(const std::string& text, const std::string& name,
                  const std::filesystem::path& data_dir);
Study read_study(const std::filesystem::path& file, const std::filesystem::path& data_dir);

}  // namespace study
