// The blade file: any blade as TOML, stations from root to tip with radius, chord, twist and
// section, cut into elements for the solver.
//
//   blades = 3
//   hub_radius = 0.15          # m
//   setting_angle = 0.0        # degrees, added to every twist (optional)
//   elements = 10              # elements to cut (optional; --elements overrides; default 20)
//   cylinder_drag = 1.2        # drag coefficient of "cylinder" sections (optional)
//   [[station]]
//   r = 0.15                   # m from the axis, strictly increasing
//   chord = 0.1584             # m, > 0
//   twist = 25.2113            # degrees
//   section = "sg6043"         # a section of Data/, or "cylinder"
//
// Every problem is reported as "FILE:LINE: what is wrong", all of them at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "blade/rotor_blade.h"
#include "companion/file_problems.h"

namespace blade_file {

namespace fs = std::filesystem;

// Elements cut when neither the file nor the command line says how many.
inline constexpr std::int64_t kDefaultElements = 20;

// Drag coefficient of a round section across the flow: a long circular cylinder below the drag
// crisis (Reynolds numbers 1e4 ... 2e5, those of a small blade's root) has Cd close to 1.2, the
// textbook value of subcritical flow (e.g. Hoerner, Fluid-Dynamic Drag).
inline constexpr double kCylinderDrag = 1.2;
inline constexpr const char* kCylinderDragSource =
    "long circular cylinder in subcritical flow, Re 1e4 to 2e5 (textbook value, e.g. Hoerner, "
    "Fluid-Dynamic Drag)";

struct Station {
  double r = 0.0;      // m
  double chord = 0.0;  // m
  double twist = 0.0;  // deg, without the setting angle
  std::string section;
  long line = 0;
};

struct File {
  std::int64_t blades = 0;
  double hub_radius = 0.0;  // m
  double setting_angle = 0.0;
  std::optional<std::int64_t> elements;
  std::optional<double> cylinder_drag;
  std::vector<Station> stations;
};

class Error : public file_problems::Error {
 public:
  explicit Error(std::vector<std::string> problems);
};

// The file from `text` (`name` stands for it in messages); each section must be "cylinder", a
// shipped aerofoil or one with its polar Data/LiftNAME.dat in `data_dir`. Throws Error.
File parse(const std::string& text, const std::string& name, const fs::path& data_dir);
File read(const fs::path& path, const fs::path& data_dir);

// The blade of `f` cut into n elements of equal width from the first station (the root) to the
// last (the tip): element i's middle r_i (accumulated: r_1 = root + dr/2, r_i = r_(i-1) + dr, in
// fractions of the tip radius), chord and twist interpolated linearly in the radius between the
// stations on either side (a station's own values where a middle falls on it), the setting angle
// added to every twist, and the section of the nearer of the two stations (the inner one at
// equal distance). Sections are read from `data_dir`.
blade::Blade cut(const File& f, std::int64_t n, const fs::path& data_dir);

// The file's text, every number at full precision (it reads back to the same doubles).
std::string text(const File& f, const std::string& comment);

}  // namespace blade_file
