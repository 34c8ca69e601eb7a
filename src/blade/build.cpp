// Second phase of the blade build: volume and surface of a solid or hollow blade, its mass, and
// the three-dimensional points of its surface.
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

std::vector<Point3> surface_points(const Blade& b, const Outline& own) {
  std::vector<Point3> points;
  const std::vector<Station> stations = blade_stations(b);
  points.reserve(stations.size() * kStationPoints);
  for (const Station& s : stations) {
    const Outline t = turned_outline(own, s.twist);
    const double scale = b.rtip * s.chord;
    for (std::size_t side = 0; side < 2; ++side) {
      for (std::size_t j = 0; j < kSetPoints; ++j) {
        points.push_back({t.x[side][j] * scale, t.y[side][j] * scale, s.radius});
      }
    }
  }
  return points;
}

void write_point_file(std::span<const Point3> points) {
  textio::OutFile out(files::kBladePoints);
  for (const Point3& p : points) out.write({p.x, p.y, p.z});
  out.close();
}

BladeFigures build(const BuildChoices& ask, textio::OutFile& geometry_out, const Blade& b,
                   const std::optional<std::string>& written_outline) {
  const double R = b.rtip;
  const double H = b.dr * R;
  const std::vector<Station> stations = blade_stations(b);
  std::vector<double> c(stations.size());
  std::vector<double> theta(stations.size());
  for (std::size_t k = 0; k < stations.size(); ++k) {
    c[k] = stations[k].chord;
    theta[k] = stations[k].twist;
  }

  // The outer outline is measured as the working outline holds it, before any inner one.
  const Outline measured = read_outline(files::kMeasuredOutline, written_outline);
  const double P = outline_perimeter(measured);
  const double F = lateral_surface(R, P, H, c);
  const double A = outline_area(measured);
  std::vector<double> s(stations.size());
  for (std::size_t k = 0; k < s.size(); ++k) s[k] = A * squared(R * c[k]);
  const double v_out = stacked_volume(H, s, theta);
  const double surface = A * squared(R * c.back()) + F + A * squared(R * c.front());

  const std::int64_t type = ask.blade_type();
  const double delta = type == 2 ? ask.wall_thickness() : 0.0;

  // Inner sections hub to tip, each with its own wall thickness in chords (mm to m); the tip's
  // inner outline is left in the working file.
  const Outline own = read_outline(files::kOwnOutline, written_outline);
  Outline inner;
  for (std::size_t k = 0; k < s.size(); ++k) {
    inner = inner_outline(own, delta / (R * c[k] * 1000.0));
    s[k] = outline_area(inner) * squared(R * c[k]);
  }
  write_measured_outline(inner);
  const double v_in = stacked_volume(H, s, theta);
  const double volume = type == 2 ? v_out - v_in : v_out;

  BladeFigures figures{volume, surface, surface_points(b, own)};
  write_point_file(figures.points);

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
  return figures;
}

}  // namespace blade
