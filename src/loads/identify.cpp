#include "loads/identify.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "blade/section.h"
#include "plot/svg.h"
#include "util/catalogue.h"

namespace loads {

namespace {

// The table's figures are written with six decimals: a computed figure is the table's when it
// lies within half a unit of the sixth decimal (and a hair for the decimal text itself).
bool shows6(double value, double shown) {
  return std::fabs(value - shown) <= 0.5e-6 * (1.0 + 1e-9) + 1e-12 * std::fabs(shown);
}

struct Stations {
  std::vector<double> c, theta;  // relative chord, twist (deg): hub, element centres, tip
};

Stations stations(const Design& d) {
  Stations s;
  s.c.push_back(d.rotor.hub.chord);
  s.theta.push_back(d.rotor.hub.twist);
  for (std::size_t i = 0; i < d.rotor.chord.size(); ++i) {
    s.c.push_back(d.rotor.chord[i]);
    s.theta.push_back(d.rotor.twist[i]);
  }
  return s;
}

double wall_volume(const Design& d, const Stations& st, double v_out, double wall_mm) {
  const double R = d.rotor.rtip;
  std::vector<double> s(st.c.size());
  for (std::size_t k = 0; k < s.size(); ++k) {
    const double rc = R * st.c[k];
    s[k] = blade::outline_area(blade::inner_outline(d.outline, wall_mm / (rc * 1000.0))) * rc * rc;
  }
  return v_out - blade::stacked_volume(d.rotor.dr * R, s, st.theta);
}

double solid_volume(const Design& d, const Stations& st) {
  const double R = d.rotor.rtip;
  const double A = blade::outline_area(d.outline);
  std::vector<double> s(st.c.size());
  for (std::size_t k = 0; k < s.size(); ++k) s[k] = A * (R * st.c[k]) * (R * st.c[k]);
  return blade::stacked_volume(d.rotor.dr * R, s, st.theta);
}

}  // namespace

double blade_volume(const Design& d, double wall_mm) {
  const Stations st = stations(d);
  const double v_out = solid_volume(d, st);
  return wall_mm > 0.0 ? wall_volume(d, st, v_out, wall_mm) : v_out;
}

SessionBlade identify(const Design& d) {
  SessionBlade b;
  if (!d.volume) {
    b.no_wall = b.no_material = "the geometry table has no readable volume";
    return b;
  }
  const double volume = *d.volume;
  // The material: the one density whose volume mass / density the table's volume shows.
  std::optional<double> density;
  if (!d.mass) {
    b.no_material = "the session chose no material (no mass line in the geometry table)";
  } else {
    std::vector<int> fits;
    for (std::size_t k = 0; k < catalogue::kMaterials.size(); ++k) {
      const double rho = catalogue::kMaterials[k].density;
      if (std::fabs(*d.mass / rho - volume) <= 0.5e-6 * (1.0 + 1.0 / rho) + 1e-12) {
        fits.push_back(static_cast<int>(k));
      }
    }
    if (fits.size() == 1) {
      b.material = fits.front();
      density = catalogue::kMaterials[static_cast<std::size_t>(fits.front())].density;
    } else if (fits.empty()) {
      b.no_material = "mass / volume = " + plot::fixed(*d.mass / volume, 0) +
                      " kg/m\u00b3 is no menu material's density";
    } else {
      b.no_material =
          "the volume " + plot::fixed(volume, 6) + " m\u00b3 is too small to tell the material";
    }
  }
  // The table's figures of a candidate wall: the volume, and the mass when the material is known.
  const auto reproduces = [&](double v) {
    return shows6(v, volume) && (!density || shows6(v * *density, *d.mass));
  };
  // The best estimate of the volume: from the mass when the material is known (more digits).
  const double target = density ? *d.mass / *density : volume;
  const Stations st = stations(d);
  const double v_out = solid_volume(d, st);
  if (reproduces(v_out)) {
    b.wall = 0.0;
    return b;
  }
  if (!(target > 0.0) || !(target < v_out)) {
    b.no_wall = "the volume " + plot::fixed(volume, 6) + " m\u00b3 is not that of this blade, " +
                "solid (" + plot::fixed(v_out, 6) + " m\u00b3) or hollow";
    return b;
  }
  // The hollow volume grows with the wall from 0: scan for the first wall beyond the target,
  // then halve the bracket.
  double thickest = 0.0;
  for (double c : st.c) thickest = std::max(thickest, c * d.rotor.rtip * 1000.0);
  const int steps = 400;
  double lo = 0.0, hi = 0.0;
  bool bracketed = false;
  for (int i = 1; i <= steps && !bracketed; ++i) {
    hi = 0.5 * thickest * i / steps;
    if (wall_volume(d, st, v_out, hi) >= target) {
      bracketed = true;
    } else {
      lo = hi;
    }
  }
  if (!bracketed) {
    b.no_wall = "no wall gives the volume " + plot::fixed(volume, 6) + " m\u00b3";
    return b;
  }
  for (int i = 0; i < 80 && hi - lo > 1e-12; ++i) {
    const double mid = 0.5 * (lo + hi);
    (wall_volume(d, st, v_out, mid) >= target ? hi : lo) = mid;
  }
  const double wall = 0.5 * (lo + hi);
  // The wall as typed: the fewest decimals that give the table's figures.
  for (int decimals = 0; decimals <= 4; ++decimals) {
    const double scale = std::pow(10.0, decimals);
    const double typed = std::round(wall * scale) / scale;
    if (typed > 0.0 && reproduces(wall_volume(d, st, v_out, typed))) {
      b.wall = typed;
      return b;
    }
  }
  if (reproduces(wall_volume(d, st, v_out, wall))) {
    b.wall = wall;
    b.wall_rounded = false;
    return b;
  }
  b.no_wall = "no wall gives the volume " + plot::fixed(volume, 6) + " m\u00b3 exactly";
  return b;
}

}  // namespace loads
