// Result files of a run written in their on-disk layouts (through the project's own record
// writers), temporary working directories, and helpers to look into the SVG that comes out.
#pragma once

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "plot/results.h"
#include "support/kit.h"
#include "textio/textio.h"

namespace fixture {

using namespace support::kit;

// A fresh working directory with Temp/ and Result/, removed when the object goes.
using WorkDir = support::TestDir<support::ScratchDir>;

// ---------------------------------------------------------------------------------------------
// Records as the run writes them: CR LF after each.

inline std::string free_line(std::initializer_list<textio::Out> values) {
  return textio::free_record(std::span<const textio::Out>(values.begin(), values.size())) + "\r\n";
}

inline std::string fmt_line(std::string_view format, std::initializer_list<textio::Out> values) {
  return textio::format_record(format, std::span<const textio::Out>(values.begin(), values.size()))
             .text +
         "\r\n";
}

inline std::string header(int type) {
  switch (type) {
    case 1:
      return " Wind Speed(m/s)   Tip Speed Ratio Perfomance(%)     Power(W)    Turbine Speed(rpm)";
    case 4:
      return " Wind Speed(m/s)  Tip Speed Ratio  Perfomance(%)     Power(W)    Turbine Speed1(rpm)"
             "  Setting Angle(deg)";
    default:
      return " Wind Speed(m/s)  Tip Speed Ratio  Perfomance(%)     Power(W)    Turbine Speed1(rpm)";
  }
}

// One sweep of 23 points from cut-in to cut-out with a plausible power curve: CP rising to a
// peak and falling, power capped at `cap` (0: no cap), a setting angle for type 4.
inline std::vector<plot::TableRow> sweep_rows(double u_in, double u_out, double cap,
                                              double scale = 1.0) {
  std::vector<plot::TableRow> rows;
  for (int j = 0; j <= 22; ++j) {
    const double u = j == 22 ? u_out : j * (u_out - u_in) / 22 + u_in;
    const double cp = 0.45 * std::exp(-std::pow((u - 8.0) / 6.0, 2.0));
    double p = scale * cp * 0.5 * 1.225 * 3.14159 * (1.5 * 1.5 - 0.2 * 0.2) * u * u * u;
    double angle = -2.0;
    if (cap > 0.0 && (p > cap || j == 22)) {
      p = cap * (1.0 - 0.004 * (j % 3));
      angle = 2.0 + 0.4 * j;
    }
    rows.push_back({u, 2.0 * 3.14159 * 1.5 * 300.0 / u / 60.0, cp, p, 300.0, angle});
  }
  return rows;
}

inline std::string sweep_text(int type, const std::vector<plot::TableRow>& rows, double pavg,
                              double energy) {
  std::string t = free_line({header(type)}) + free_line({});
  const std::string_view f = files::kSweepRowFormat;
  for (const plot::TableRow& r : rows) {
    if (type == 4) {
      t += fmt_line(f, {r.wind, r.tsr, r.cp, r.power, r.rpm, r.angle});
    } else {
      t += fmt_line(f, {r.wind, r.tsr, r.cp, r.power, r.rpm});
    }
  }
  t += free_line({});
  t += fmt_line("(A36, f12.2, A5)", {"Average power output for a site P = ", pavg, "W"});
  t += free_line({});
  t += fmt_line("(A36, f12.2, A5)", {"Average energy production E = ", energy, "kW.h"});
  return t;
}

struct Blade {
  double rhub = 0.2;
  double rtip = 1.5;
  int nbe = 10;
  double chord(double x) const { return 0.2 - 0.12 * x; }  // relative to rtip
  double twist(double x) const { return 25.0 - 22.0 * x; }
  std::vector<double> radii() const {  // hub, element centres, tip (relative)
    std::vector<double> r{rhub / rtip};
    const double dr = (1.0 - rhub / rtip) / nbe;
    double x = rhub / rtip + dr / 2;
    for (int i = 0; i < nbe; ++i, x += dr) r.push_back(x);
    r.push_back(1.0);
    return r;
  }
};

inline std::string geometry_text(const Blade& b, bool with_mass = true) {
  std::string t = free_line({"              Geometry of blades"}) +
                  free_line({"     Radius (m)       chord(m)       twist (deg)"});
  const std::vector<double> xs = b.radii();
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const double radius = i + 1 == xs.size() ? b.rtip : xs[i] * b.rtip;
    t += fmt_line(files::kGeometryRowFormat, {radius, b.chord(xs[i]) * b.rtip, b.twist(xs[i])});
  }
  t += free_line({});
  t += fmt_line("(A18, f12.6, A15)", {"Volume of blade", 0.0123456, "cubic meters"});
  t += free_line({});
  t += fmt_line("(A18, f12.6, A15)", {"Surface of blade", 0.7654321, "square meters"});
  if (with_mass) {
    t += free_line({});
    t += fmt_line("(A18, f12.6, A15)", {"Mass of blade", 0.0123456 * 560, "kg"});
  }
  return t;
}

// The blade's point file: per station 50 lower and 50 upper points of a thin cambered
// section, turned by the twist and scaled by the chord.
inline std::string blade_points_text(const Blade& b) {
  std::string t;
  const std::vector<double> xs = b.radii();
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const double z = i == 0 ? b.rhub : i + 1 == xs.size() ? b.rtip : xs[i] * b.rtip;
    const double c = b.chord(xs[i]) * b.rtip;
    const double phi = 3.1415927410125732 * (90.0 - b.twist(xs[i])) / 180.0;
    for (int side = 0; side < 2; ++side) {
      for (int k = 0; k < 50; ++k) {
        const double x = 0.5 - 0.5 * std::cos(3.14159265 * k / 49.0);
        const double thick = 0.6 * (0.2969 * std::sqrt(x) - 0.126 * x - 0.3516 * x * x +
                                    0.2843 * x * x * x - 0.1015 * x * x * x * x);
        const double y = 0.04 * x * (1 - x) * 4 + (side == 0 ? -thick : thick);
        const double u = x - 0.4, v = y;
        const double X = u * std::cos(phi) + v * std::sin(phi);
        const double Y = v * std::cos(phi) - u * std::sin(phi);
        t += free_line({X * c, Y * c, z});
      }
    }
  }
  return t;
}

// ---------------------------------------------------------------------------------------------
// Looking into SVG text.

// Start tags of an SVG text, in order ("<polyline points=... />").
inline std::vector<std::string> tags(const std::string& svg) {
  std::vector<std::string> out;
  for (std::size_t p = svg.find('<'); p != std::string::npos; p = svg.find('<', p + 1)) {
    const std::size_t end = svg.find('>', p);
    if (end == std::string::npos) break;
    out.push_back(svg.substr(p, end - p + 1));
  }
  return out;
}

// The value of attribute `name` in a start tag, or "" when it has none.
inline std::string attribute(const std::string& tag, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const std::size_t p = tag.find(key);
  if (p == std::string::npos) return "";
  const std::size_t s = p + key.size();
  return tag.substr(s, tag.find('"', s) - s);
}

// The values of attribute `name` on every element that has `marker` in its start tag.
inline std::vector<std::string> attributes(const std::string& svg, const std::string& marker,
                                           const std::string& name) {
  std::vector<std::string> found;
  for (const std::string& t : tags(svg)) {
    if (t.find(marker) != std::string::npos && t.find(" " + name + "=\"") != std::string::npos) {
      found.push_back(attribute(t, name));
    }
  }
  return found;
}

struct Curve {
  std::string series;
  std::vector<std::pair<double, double>> points;
};

// Every curve (polyline or polygon of class "curve") with its series label and pixel points.
inline std::vector<Curve> curves(const std::string& svg) {
  std::vector<Curve> out;
  for (const std::string& t : tags(svg)) {
    if ((t.rfind("<polyline ", 0) != 0 && t.rfind("<polygon ", 0) != 0) ||
        attribute(t, "class") != "curve") {
      continue;
    }
    Curve c;
    c.series = attribute(t, "data-series");
    std::istringstream pts(attribute(t, "points"));
    for (std::string pair; pts >> pair;) {
      const std::size_t comma = pair.find(',');
      c.points.emplace_back(std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1)));
    }
    out.push_back(std::move(c));
  }
  return out;
}

// The plot area: the data ranges of the axes and the frame in pixels.
struct PlotArea {
  double x_min = 0, x_max = 0, y_min = 0, y_max = 0;
  double left = 0, top = 0, width = 0, height = 0;
};

inline PlotArea plot_area(const std::string& svg) {
  PlotArea a;
  bool in_plot = false;
  for (const std::string& t : tags(svg)) {
    if (t.rfind("<g class=\"plot\"", 0) == 0) {
      in_plot = true;
      a.x_min = std::stod(attribute(t, "data-x-min"));
      a.x_max = std::stod(attribute(t, "data-x-max"));
      a.y_min = std::stod(attribute(t, "data-y-min"));
      a.y_max = std::stod(attribute(t, "data-y-max"));
    } else if (in_plot && attribute(t, "class") == "frame") {
      a.left = std::stod(attribute(t, "x"));
      a.top = std::stod(attribute(t, "y"));
      a.width = std::stod(attribute(t, "width"));
      a.height = std::stod(attribute(t, "height"));
      break;
    }
  }
  return a;
}

// Runs xmllint on `path`; "" when the file is well-formed XML, else xmllint's complaint.
inline std::string xml_problems(const fs::path& path) {
  const fs::path err = path.string() + ".xmllint";
  const std::string cmd = "xmllint --noout '" + path.string() + "' 2> '" + err.string() + "'";
  const int status = std::system(cmd.c_str());
  std::string msg = slurp(err);
  fs::remove(err);
  if (status == 0) return "";
  return msg.empty() ? "xmllint failed with status " + std::to_string(status) : msg;
}

inline bool have_xmllint() {
  return std::system("command -v xmllint > /dev/null 2>&1") == 0;
}

}  // namespace fixture
