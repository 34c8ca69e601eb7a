#include "blade/making.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "textio/textio.h"
#include "util/files.h"
#include "util/number_text.h"

namespace blade {

namespace {

constexpr int kDecimals = 4;
constexpr double kMillimetres = 1000.0;

bool same(const Point3& a, const Point3& b) {
  return a.x == b.x && a.y == b.y;
}

void append_row(std::string& text, std::size_t station, std::initializer_list<double> values) {
  text += std::to_string(station);
  for (const double v : values) text.append(",").append(number_text::fixed(v, kDecimals));
  text += '\n';
}

// Writes the whole text, or throws the run's error naming the file.
void write_text(const char* path, const std::string& text) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (out) out.close();
  if (!out) {
    const int e = errno;
    throw textio::RunError(
        std::string(path) + ": " + (e != 0 ? std::strerror(e) : "cannot be written"), 1);
  }
}

}  // namespace

std::vector<CurvePoint> section_curves(std::span<const Point3> points) {
  const std::size_t half = shared::kSetPoints;
  std::vector<CurvePoint> curves;
  curves.reserve(points.size() + points.size() / kStationPoints);
  for (std::size_t s = 0; s + kStationPoints <= points.size(); s += kStationPoints) {
    const std::span<const Point3> lower = points.subspan(s, half);
    const std::span<const Point3> upper = points.subspan(s + half, half);
    const std::size_t station = s / kStationPoints + 1;
    const auto add = [&](const Point3& p) {
      curves.push_back({station, p.x * kMillimetres, p.y * kMillimetres, p.z * kMillimetres});
    };
    for (const Point3& p : lower) add(p);
    // Back along the upper side, leaving out the edges the two sides share.
    const std::size_t last = same(upper[half - 1], lower[half - 1]) ? half - 1 : half;
    const std::size_t first = same(upper[0], lower[0]) ? 1 : 0;
    for (std::size_t j = last; j > first; --j) add(upper[j - 1]);
    add(lower[0]);
  }
  return curves;
}

std::vector<PlanformRow> planform(std::span<const Point3> points, double R,
                                  std::span<const Station> stations) {
  std::vector<PlanformRow> rows;
  const std::size_t count = points.size() / kStationPoints;
  for (std::size_t k = 0; k < count && k < stations.size(); ++k) {
    const double c = stations[k].chord;
    const double theta = stations[k].twist;
    const Point3& le = points[k * kStationPoints];
    const Point3& te = points[k * kStationPoints + shared::kSetPoints - 1];
    rows.push_back({k + 1, le.z * kMillimetres, R * c * kMillimetres, theta, le.x * kMillimetres,
                    le.y * kMillimetres, te.x * kMillimetres, te.y * kMillimetres});
  }
  return rows;
}

std::string sections_csv(std::span<const CurvePoint> curves) {
  std::string text = "station,x_mm,y_mm,z_mm\n";
  for (const CurvePoint& p : curves) append_row(text, p.station, {p.x, p.y, p.z});
  return text;
}

std::string planform_csv(std::span<const PlanformRow> rows) {
  std::string text = "station,radius_mm,chord_mm,twist_deg,le_x_mm,le_y_mm,te_x_mm,te_y_mm\n";
  for (const PlanformRow& r : rows) {
    append_row(text, r.station, {r.radius, r.chord, r.twist, r.le_x, r.le_y, r.te_x, r.te_y});
  }
  return text;
}

void write_making_files(std::span<const Point3> points, const Blade& b) {
  write_text(files::kBladeSections, sections_csv(section_curves(points)));
  write_text(files::kBladePlanform, planform_csv(planform(points, b.rtip, blade_stations(b))));
}

}  // namespace blade
