// The blade as a beam: section properties from the real outline (solid or hollow), the
// materials, the loads along the span, stresses and utilisation, and the tip deflection.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "blade/section.h"
#include "util/catalogue.h"

namespace loads {

// ---------------------------------------------------------------------------------------------
// Section properties.

// Area integrals of a plane region about the origin of its coordinates.
struct Moments {
  double A = 0.0;    // area
  double Qx = 0.0;   // integral of x dA
  double Qy = 0.0;   // integral of y dA
  double Jxx = 0.0;  // integral of x^2 dA
  double Jyy = 0.0;  // integral of y^2 dA
  double Jxy = 0.0;  // integral of x y dA
};
Moments operator-(const Moments& a, const Moments& b) noexcept;

// Of the closed polygon through the points in order (counter-clockwise: positive area).
Moments polygon_moments(std::span<const double> x, std::span<const double> y) noexcept;

// Of the section an outline of unit chord encloses: the lower set from the leading edge to the
// trailing edge, then the upper set back, closed. The hollow section of wall d (chord units) is
// that of the outline less that of its inner outline (blade::inner_outline, as the blade's
// volume takes it).
Moments outline_moments(const blade::Outline& o) noexcept;
Moments hollow_moments(const blade::Outline& o, double d) noexcept;

// About the centroid: area, centroid, and the second moments u^2, v^2, u v (u along x).
struct Centroidal {
  double A = 0.0;
  double cx = 0.0;
  double cy = 0.0;
  double Iuu = 0.0;
  double Ivv = 0.0;
  double Iuv = 0.0;
};
Centroidal centroidal(const Moments& m) noexcept;

// A section of the blade in the rotor's axes, about its centroid: X in the plane of rotation
// (positive in the direction of rotation), Y along the wind (positive downwind). The outline of
// unit chord is scaled by `chord` (m) and turned by `twist` (deg, setting included): the chord
// runs from the leading edge, ahead in X, to the trailing edge, behind and downwind, at the twist
// angle to the plane of rotation; the upper (suction) side faces downwind.
struct Section {
  double A = 0.0;            // m^2
  double Sxx = 0.0;          // integral of X^2 dA, m^4
  double Syy = 0.0;          // integral of Y^2 dA
  double Sxy = 0.0;          // integral of X Y dA
  std::vector<double> X, Y;  // the outer outline's points, m from the centroid
  // The skin's two sides from the leading to the trailing edge, the only lines where a hollow
  // section without webs holds its skin: arc lengths (m) of the lower (index 0, its points
  // first in X, Y) and the upper side.
  std::array<double, 2> arc{};
  // A round section: its outer radius (m), the distance of every point of its outline from the
  // centroid, where the stresses are taken in closed form; 0 for an aerofoil's.
  double round = 0.0;
};
// `unit` are the centroidal properties of the section of unit chord (solid or hollow of the
// station's own wall), `outer` its outline.
Section place_section(const Centroidal& unit, const blade::Outline& outer, double chord,
                      double twist);

// A round section (a round root: a solid rod or a tube) of outer diameter D and wall t (m; 0, or
// at least D/2: solid), about its centre in any direction:
//   A = pi (D^2 - d^2) / 4,  I = pi (D^4 - d^4) / 64,  d = D - 2 t,
// no product of inertia, its outer fibre at D/2 everywhere; the halves upwind (lower side) and
// downwind (upper side) are the skin's two sides, each of arc pi D / 2.
Section round_section(double D, double t);

// ---------------------------------------------------------------------------------------------
// Materials and safety factors.

// The materials of the material menu with their handbook values (catalogue::kMaterials).
using catalogue::Material;

// Partial safety factors of the simplified load method for small wind turbines (IEC 61400-2):
// loads 3.0; materials 3.0 for ultimate strength from handbook values, the standard's factor for
// a material not characterised by tests of its own (1.1 for a fully characterised one, which the
// user may give).
inline constexpr double kLoadFactor = 3.0;
inline constexpr double kMaterialFactor = 3.0;

// ---------------------------------------------------------------------------------------------
// The blade as a cantilever clamped at the hub.

// Loads per metre of span on the cells between consecutive grid points: normal to the plane of
// rotation (downwind) and in it (in the direction of rotation), N/m.
struct SpanLoad {
  std::vector<double> qn;  // one per cell
  std::vector<double> qt;
};

// The beam along a grid of radii from the hub to the tip (m, increasing): per grid point the
// section, and the mass per metre (kg/m) there.
struct Beam {
  std::vector<double> radius;
  std::vector<Section> sections;
  std::vector<double> mass;  // kg/m
  double modulus = 0.0;      // Pa
};

// What the loads do at every grid point.
struct Response {
  std::vector<double> m_flap;      // bending moment of the downwind loads, N m
  std::vector<double> m_edge;      // of the loads in the plane of rotation, with gravity, N m
  std::vector<double> m_gravity;   // of the blade's weight alone, blade horizontal, N m
  std::vector<double> normal;      // centrifugal force, N
  std::vector<double> stress;      // largest |stress| over the outline, Pa (unfactored)
  std::vector<double> deflection;  // downwind, m (0 at the hub)
  // Largest compressive stress (Pa, 0 for none) on the lower and the upper side.
  std::vector<std::array<double, 2>> compression;
};

inline constexpr double kGravity = 9.80665;  // m/s^2, standard

// Moments by exact integration of the cell loads (constant over a cell), centrifugal force and
// gravity moment by the trapezoid rule over the mass per metre (linear over a cell); stresses
// N/A + a X + b Y with (a, b) from the two moments over the full second-moment matrix;
// curvature b / E integrated twice from the clamped hub (linear over a cell). The gravity moment
// is taken with the sign that adds to the edgewise moment (the worst of a turn).
// `with_deflection` false leaves `deflection` empty.
Response respond(const Beam& beam, const SpanLoad& load, double omega, bool with_deflection);

// Stress at the outline's points of one section for an axial force and two moments: the
// largest magnitude (on a round section, anywhere on its circle).
double peak_stress(const Section& s, double normal, double m_flap, double m_edge) noexcept;
// The largest compression (Pa, positive; 0 where a side is all in tension) on each side.
std::array<double, 2> side_compression(const Section& s, double normal, double m_flap,
                                       double m_edge) noexcept;

// ---------------------------------------------------------------------------------------------
// Local buckling of a thin skin.

// Critical stress (Pa) of a long flat plate of thickness t and width b (m), simply supported
// along its long edges and compressed along its length, its material specially orthotropic with
// axis 1 along the compression (moduli in GPa as the material gives them; `e1` the modulus
// used along the blade):
//   sigma_cr = pi^2 / (b^2 t) * (2 sqrt(D11 D22) + 2 (D12 + 2 D66)),
//   D11 = E1 t^3 / 12 (1 - nu12 nu21), D22 = E2 t^3 / 12 (1 - nu12 nu21),
//   D12 = nu12 D22, D66 = G12 t^3 / 12, nu21 = nu12 E2 / E1;
// for an isotropic plate, 4 pi^2 E t^2 / 12 (1 - nu^2) b^2. A curved panel buckles later than
// the flat one, and simple supports hold less than the real joints: both make it conservative.
double plate_buckling_stress(const Material& m, double e1, double t, double b) noexcept;

}  // namespace loads
