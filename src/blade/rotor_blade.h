// One blade as every program hands it to the performance sweeps and the element solver: the
// number of blades, hub and tip, and the elements with their radius, width, chord, twist and
// section. The design stage makes it from its laws; a blade file (rotorforge-analyse) makes it
// from stations of any shape and sections of any kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "aerofoil/polar.h"
#include "blade/laws.h"

namespace blade {

// The section of an element: an aerofoil with its polar, or a round root.
struct Section {
  std::string name;  // "sg6043", an imported section's name, or "cylinder"
  // The section's tables; nullptr: the polar tables loaded for the run (the designed blade).
  std::shared_ptr<const aerofoil::Polar> polar;
  // A cylinder: no lift, this drag coefficient at every angle, and where the value comes from.
  bool cylinder = false;
  double cylinder_cd = 0.0;
  std::string cd_source;
};

// The word a blade file uses for a round section.
inline constexpr std::string_view kCylinder = "cylinder";

// The blade. The first eight members are the arrays of the designed blade as the main program
// holds them: radii and chords relative to rtip, element centres r (nbe entries), chord and
// twist with nbe + 1 entries (the tip last), twists in degrees with the setting angle included.
struct Blade {
  std::int64_t Numb = 0;  // number of blades
  std::int64_t nbe = 0;   // number of elements
  double rhub = 0.0;      // m
  double rtip = 0.0;      // m
  double dr = 0.0;        // relative width of every element (when `width` is empty)
  std::vector<double> r;
  std::vector<double> twist;
  std::vector<double> chord;
  // Each element's relative width; empty: dr for all.
  std::vector<double> width = {};
  // Each element's section, an index into `sections`; empty: every element on sections[0], or
  // on the loaded polar tables when there is no section.
  std::vector<std::size_t> section = {};
  std::vector<Section> sections = {};
  HubStation hub = {};   // relative chord and twist (setting included) at the hub
  double setting = 0.0;  // deg, included in every twist above
};

// The designed blade of laws a (chord) and b (twist), evaluated as the design stage evaluates
// them (blade_arrays), on the loaded polar tables.
Blade from_laws(std::int64_t Numb, std::int64_t nbe, double rtip, double rhub, double pitchinitial,
                const Coeffs& a, const Coeffs& b);

// One station of the blade as the geometry table, the point file and the plan form list them.
struct Station {
  double x = 0.0;       // relative radius: rhub / rtip, an element centre, 1 at the tip
  double radius = 0.0;  // m: rhub itself at the hub, x * rtip at the centres, rtip at the tip
  double chord = 0.0;   // relative
  double twist = 0.0;   // deg, setting included
};

// The nbe + 2 stations of a blade: the hub, the element centres, the tip.
std::vector<Station> blade_stations(const Blade& b);

// The polar of each element for the solver: empty when every element is on the loaded tables
// (the designed blade), else one pointer per element.
std::vector<const aerofoil::Polar*> element_polars(const Blade& b);

// Relative width of element i.
inline double element_width(const Blade& b, std::size_t i) {
  return b.width.empty() ? b.dr : b.width[i];
}

// Chord (relative) and twist (deg, setting included) at relative radius x, linear between the
// blade's root (the first element's inner edge, with the hub station's values), its element
// centres and its tip; held beyond the ends.
double chord_at(const Blade& b, double x);
double twist_at(const Blade& b, double x);

// The section of element i, nullptr when the blade has none.
const Section* element_section(const Blade& b, std::size_t i);

}  // namespace blade
