#include "analyse/export.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "aerofoil/data_in.h"
#include "blade/laws.h"
#include "blade/rotor_blade.h"
#include "companion/whole_file.h"
#include "companion/working_name.h"
#include "loads/session.h"
#include "util/catalogue.h"
#include "util/files.h"

namespace analyse_export {
namespace fs = std::filesystem;

double times_exactly(double value, double divisor) {
  const double m = value * divisor;
  if (m / divisor == value) return m;
  // The quotient moves by about an ulp per step of m: a few steps either way find it.
  double up = m, down = m;
  for (int i = 0; i < 64; ++i) {
    up = std::nextafter(up, std::numeric_limits<double>::infinity());
    if (up / divisor == value) return up;
    down = std::nextafter(down, -std::numeric_limits<double>::infinity());
    if (down / divisor == value) return down;
  }
  return m;
}

namespace {

bool same_polar(const aerofoil::Polar& a, const aerofoil::Polar& b) {
  return std::memcmp(a.alpha, b.alpha, sizeof a.alpha) == 0 &&
         std::memcmp(a.cl, b.cl, sizeof a.cl) == 0 && std::memcmp(a.cd, b.cd, sizeof a.cd) == 0;
}

// The name of the session's working aerofoil: the one an import recorded, or the section of
// Data/ whose polar holds the working copy's numbers (the copy is rewritten record by record).
std::string section_name(const fs::path& dir) {
  const fs::path copy = dir / files::kPolarCopy;
  bool found = false;
  const std::string polar = whole_file::read(copy, found);
  if (!found) throw std::runtime_error(copy.string() + ": missing");
  bool named = false;
  const std::string record = whole_file::read(dir / working_name::kPath, named);
  if (named) {
    const std::string name = working_name::name_of(record, polar);
    if (!name.empty()) return name;
  }
  const aerofoil::Polar working = data_in::read_polar(copy.string());
  for (const catalogue::Aerofoil& a : catalogue::kAerofoils) {
    const fs::path shipped = dir / std::string(catalogue::unpadded(a.polar_field));
    if (fs::is_regular_file(shipped) &&
        same_polar(working, data_in::read_polar(shipped.string()))) {
      return std::string(a.stem);
    }
  }
  throw std::runtime_error(copy.string() + ": the working polar is none of Data/'s sections");
}

}  // namespace

blade_file::File session_blade(const fs::path& dir, std::optional<std::int64_t> blades) {
  loads::Design d;
  try {
    d = loads::read_design(dir);
  } catch (const loads::InputError& e) {
    throw std::runtime_error(e.what());
  }
  blade_file::File f;
  if (blades) {
    f.blades = *blades;
  } else if (d.answers) {
    f.blades = d.answers->blades;
  } else {
    throw std::runtime_error("the session does not record its number of blades: give --blades N");
  }
  const loads::Rotor& r = d.rotor;
  f.hub_radius = r.rhub;
  f.setting_angle = d.rotor.setting;
  f.elements = r.nbe;
  const std::string section = section_name(dir);
  const double R = r.rtip;
  const auto station = [&](double radius, double x, double chord) {
    return blade_file::Station{radius, times_exactly(chord, R), blade::twist_law(d.twist_law, x),
                               section, 0};
  };
  for (const blade::Station& s : blade::blade_stations(r)) {
    f.stations.push_back(station(s.radius, s.x, s.chord));
  }
  return f;
}

}  // namespace analyse_export
