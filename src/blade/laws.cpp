#include "blade/laws.h"

#include "textio/textio.h"
#include "util/files.h"

namespace blade {

namespace {

// The joint of the twist law and the factors of the slope there are single-precision literals
// used in double arithmetic; the blade's results depend on them in their last digits.
constexpr double kJoint = 0.7f;        // 0.699999988079071
constexpr double kMinusJoint = -0.7f;  // -0.699999988079071
constexpr double kSlope3 = 1.4f;       // 1.399999976158142  = 2 * 0.7
constexpr double kSlope4 = 1.47f;      // 1.4700000286102295 = 3 * 0.7^2
constexpr double kSlope5 = 1.372f;     // 1.371999979019165  = 4 * 0.7^3

}  // namespace

double chord_law(const Coeffs& a, double x) {
  return a[0] - x * (a[1] - x * (a[2] - x * (a[3] - x * a[4])));
}

double twist_law(const Coeffs& b, double x) {
  if (x <= kJoint) return b[0] - x * (b[1] - x * (b[2] - x * (b[3] - x * b[4])));
  // Beyond the joint the twist follows the tangent of the polynomial there: t0 is its value at
  // the joint (evaluated at k = -0.7 in the alternating form), slope its derivative.
  const double k = kMinusJoint;
  const double t0 = b[0] + k * (b[1] + k * (b[2] + k * (b[3] + k * b[4])));
  const double slope = kSlope3 * b[2] - b[1] - kSlope4 * b[3] + kSlope5 * b[4];
  return slope * k + t0 + x * slope;
}

Coeffs read_coeffs(const std::string& path) {
  Coeffs c{};
  textio::InFile file(path);
  file.read({c[0], c[1], c[2], c[3], c[4]});
  file.close();
  return c;
}

double chd(double x) {
  return chord_law(read_coeffs(files::kChordLaw), x);
}

double t1(double x) {
  return twist_law(read_coeffs(files::kTwistLaw), x);
}

HubStation stations(textio::Console& con, textio::OutFile& geometry_out, std::int64_t nbe,
                    double rtip, double rhub, std::span<double> r, double& dr,
                    std::span<double> twist, double pitchinitial, std::span<double> chord) {
  const double x_hub = rhub / rtip;
  dr = (1.0 - x_hub) / static_cast<double>(nbe);
  const std::size_t tip = static_cast<std::size_t>(nbe);

  HubStation hub{};
  hub.chord = chd(x_hub);
  chord[tip] = chd(1.0);
  hub.twist = t1(x_hub) + pitchinitial;
  twist[tip] = t1(1.0) + pitchinitial;

  con.write();
  geometry_out.write({"              Geometry of blades"});
  geometry_out.write({"     Radius (m)       chord(m)       twist (deg)"});
  geometry_out.write_fmt(files::kGeometryRowFormat, {x_hub * rtip, hub.chord * rtip, hub.twist});

  // Radii are accumulated element by element; x_hub + (i - 1/2) dr would differ in the last bits.
  for (std::size_t i = 0; i < tip; ++i) {
    r[i] = i == 0 ? x_hub + dr / 2.0 : r[i - 1] + dr;
    chord[i] = chd(r[i]);
    twist[i] = t1(r[i]) + pitchinitial;
    geometry_out.write_fmt(files::kGeometryRowFormat, {r[i] * rtip, chord[i] * rtip, twist[i]});
  }
  geometry_out.write_fmt(files::kGeometryRowFormat, {rtip, chord[tip] * rtip, twist[tip]});
  return hub;
}

}  // namespace blade
