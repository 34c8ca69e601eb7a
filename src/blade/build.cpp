// Second phase of the blade build: volume and surface of a solid or hollow blade, its mass, and
// the three-dimensional point file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "blade/blade.h"
#include "blade/section.h"
#include "textio/textio.h"
#include "util/catalogue.h"
#include "util/files.h"

namespace blade {

namespace {

double squared(double v) {
  return v * v;
}

}  // namespace

void write_point_file(std::int64_t nbe, double rtip, double rhub, std::span<const double> r,
                      std::span<const double> twist, std::span<const double> chord,
                      HubStation hub) {
  const std::size_t n = static_cast<std::size_t>(nbe);
  const double R = rtip;
  textio::OutFile out(files::kBladePoints);
  std::array<double, 2 * kSetPoints> X{};
  std::array<double, 2 * kSetPoints> Y{};
  const auto station = [&](double theta, double c, double z) {
    geo3d(theta);
    textio::InFile in(files::kTurnedOutline);
    for (std::size_t k = 0; k < X.size(); ++k) in.read({textio::In(X[k]), textio::In(Y[k])});
    const double scale = R * c;
    for (std::size_t k = 0; k < X.size(); ++k) out.write({X[k] * scale, Y[k] * scale, z});
    in.close_delete();
  };
  station(hub.twist, hub.chord, rhub);
  for (std::size_t i = 0; i < n; ++i) station(twist[i], chord[i], r[i] * R);
  station(twist[n], chord[n], rtip);
  out.close();
}

BladeFigures build(const BuildChoices& ask, textio::OutFile& geometry_out, std::int64_t nbe,
                   double rtip, double rhub, std::span<const double> r, double dr,
                   std::span<const double> twist, std::span<const double> chord, HubStation hub) {
  const std::size_t n = static_cast<std::size_t>(nbe);
  const double R = rtip;
  const double H = dr * R;

  // Stations hub, element centres, tip.
  std::vector<double> c(n + 2);
  std::vector<double> theta(n + 2);
  c[0] = hub.chord;
  theta[0] = hub.twist;
  for (std::size_t i = 0; i <= n; ++i) {
    c[i + 1] = chord[i];
    theta[i + 1] = twist[i];
  }

  double P = 0.0;
  perimeter(P);
  const double F = lateral_surface(R, P, H, c);
  double A = 0.0;
  area(A);
  std::vector<double> s(n + 2);
  for (std::size_t k = 0; k < s.size(); ++k) s[k] = A * squared(R * c[k]);
  const double v_out = stacked_volume(H, s, theta);
  const double surface = A * squared(R * c[n + 1]) + F + A * squared(R * c[0]);

  const std::int64_t type = ask.blade_type();
  const double delta = type == 2 ? ask.wall_thickness() : 0.0;

  // Inner sections hub to tip, each with its own wall thickness in chords (mm to m); the last
  // inner outline left in the working file is the tip's.
  for (std::size_t k = 0; k < s.size(); ++k) {
    normala(delta / (R * c[k] * 1000.0));
    double a_in = 0.0;
    area(a_in);
    s[k] = a_in * squared(R * c[k]);
  }
  const double v_in = stacked_volume(H, s, theta);
  const double volume = type == 2 ? v_out - v_in : v_out;

  write_point_file(nbe, rtip, rhub, r, twist, chord, hub);

  geometry_out.write();
  geometry_out.write_fmt(files::kFigureLineFormat,
                         {files::kVolumeLabel, volume, files::kVolumeUnit});
  geometry_out.write();
  geometry_out.write_fmt(files::kFigureLineFormat,
                         {files::kSurfaceLabel, surface, files::kSurfaceUnit});

  const std::int64_t material = ask.material();
  if (material >= 1 && material <= static_cast<std::int64_t>(catalogue::kMaterials.size())) {
    const double mass =
        volume * catalogue::kMaterials[static_cast<std::size_t>(material - 1)].density;
    geometry_out.write();
    geometry_out.write_fmt(files::kFigureLineFormat, {files::kMassLabel, mass, files::kMassUnit});
  }
  return {volume, surface};
}

}  // namespace blade
