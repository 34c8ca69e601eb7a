#include "plot/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace plot {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The limit search ends once the power is within 2 % of the limit (whole watts, plus the
// truncation), so the power at cut-out lies within this factor of the limit either way.
constexpr double kLimitBand = 0.02;

std::string sweep_label(std::size_t i) {
  return "sweep " + std::to_string(i + 1);
}

// Watts with the decimals the tables use, or none for whole numbers.
std::string watts(double w) {
  return fixed(w, std::round(w) == w ? 0 : 2) + " W";
}

// An estimate is only good to about 2 %, so it is shown in whole watts.
std::string limit_label(const PowerLimit& limit) {
  return limit.exact ? "MPL = " + watts(limit.value) : "MPL \u2248 " + fixed(limit.value, 0) + " W";
}

// The unit that keeps power tick labels short: W below 10 kW, kW below 10 MW, then MW.
struct PowerUnit {
  double factor;
  const char* name;
};
PowerUnit power_unit(double largest) {
  if (largest >= 1e7) return {1e-6, "MW"};
  if (largest >= 1e4) return {1e-3, "kW"};
  return {1.0, "W"};
}

std::string count_note(std::size_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? " was" : "s were") +
         " too wide for the table (asterisks) and " + (n == 1 ? "is" : "are") + " left out";
}

}  // namespace

std::string type_name(int type) {
  switch (type) {
    case 1:
      return "stall control, variable speed";
    case 2:
      return "stall control, two speed";
    case 3:
      return "stall control, constant speed";
    case 4:
      return "pitch control, constant speed";
    default:
      return "unknown type";
  }
}

std::optional<PowerLimit> estimate_limit(const Sweep& sweep) {
  if (sweep.rows.empty()) return std::nullopt;
  const double last = sweep.rows.back().power;
  if (!std::isfinite(last) || last <= 0.0) return std::nullopt;
  // Every inner row is either below the limit or held within the band above it; a row beyond
  // the band's far edge means the cut-out row did not reach the limit.
  const double ceiling = last * (1.0 + kLimitBand) / (1.0 - kLimitBand) + 2.0;
  for (std::size_t i = 1; i + 1 < sweep.rows.size(); ++i) {
    if (sweep.rows[i].power > ceiling) return std::nullopt;
  }
  return PowerLimit{last, false};
}

namespace {

// One quantity of every sweep of a table against the wind speed, scaled by `factor`: a series a
// sweep, named after the sweep where the table holds several and `single` otherwise. Rows
// without a value are added to `missing`.
Chart sweeps_chart(const EnergyTable& table, const char* what, std::string y_label,
                   const char* single, double TableRow::*value, double factor,
                   std::size_t& missing) {
  Chart c = titled(std::string(what) + " \u2014 type " + std::to_string(table.type) + ", " +
                       type_name(table.type),
                   "wind speed U (m/s)", std::move(y_label));
  c.y_from_zero = true;
  for (std::size_t i = 0; i < table.sweeps.size(); ++i) {
    Series series;
    series.label = table.sweeps.size() > 1 ? sweep_label(i) : single;
    for (const TableRow& p : table.sweeps[i].rows) {
      if (!std::isfinite(p.*value)) ++missing;
      series.points.push_back({p.wind, p.*value * factor});
    }
    c.series.push_back(std::move(series));
  }
  return c;
}

}  // namespace

Chart power_chart(const EnergyTable& table, const std::vector<std::optional<PowerLimit>>& limits) {
  double largest = 0.0;
  for (const Sweep& s : table.sweeps) {
    for (const TableRow& p : s.rows) {
      if (std::isfinite(p.power)) largest = std::max(largest, std::fabs(p.power));
    }
  }
  for (const auto& l : limits) {
    if (l) largest = std::max(largest, std::fabs(l->value));
  }
  const PowerUnit unit = power_unit(largest);
  std::size_t missing = 0;
  Chart c = sweeps_chart(table, "Power curve", std::string("power P (") + unit.name + ")", "power",
                         &TableRow::power, unit.factor, missing);
  const bool several = table.sweeps.size() > 1;
  for (std::size_t i = 0; i < table.sweeps.size(); ++i) {
    const Sweep& s = table.sweeps[i];
    c.caption.push_back((several ? sweep_label(i) + ": " : std::string()) +
                        "average power at the site " + fixed(s.average_power, 2) +
                        " W, annual energy " + fixed(s.annual_energy, 2) + " kW\u00b7h (8700 h)");
  }
  if (table.type == 4) {
    bool any_exact = false, any_estimate = false, any_unknown = false;
    for (std::size_t i = 0; i < table.sweeps.size(); ++i) {
      const std::optional<PowerLimit> l = i < limits.size() ? limits[i] : std::nullopt;
      if (!l) {
        any_unknown = true;
        continue;
      }
      (l->exact ? any_exact : any_estimate) = true;
      c.ref_lines.push_back({(several ? sweep_label(i) + " " : std::string()) + limit_label(*l),
                             l->value * unit.factor});
    }
    if (any_exact) c.caption.push_back("MPL read from Temp/mpl.tmp, which the last sweep wrote");
    if (any_estimate) {
      c.caption.push_back("MPL \u2248 power at cut-out, which the limit search holds within 2 %");
    }
    if (any_unknown) {
      c.caption.push_back(
          "MPL unknown where not drawn: the power at cut-out does not bound the "
          "other rows");
    }
  }
  if (missing > 0) c.caption.push_back(count_note(missing, "power"));
  return c;
}

Chart cp_chart(const EnergyTable& table) {
  // A factor of exactly 1 leaves every value as it is, bit for bit.
  std::size_t missing = 0;
  Chart c = sweeps_chart(table, "Power coefficient", "power coefficient CP (\u2013)", "CP",
                         &TableRow::cp, 1.0, missing);
  const bool several = table.sweeps.size() > 1;
  for (std::size_t i = 0; i < table.sweeps.size(); ++i) {
    double best = -std::numeric_limits<double>::infinity();
    double best_u = kNaN;
    for (const TableRow& p : table.sweeps[i].rows) {
      if (std::isfinite(p.cp) && p.cp > best) {
        best = p.cp;
        best_u = p.wind;
      }
    }
    if (std::isfinite(best)) {
      c.caption.push_back((several ? sweep_label(i) + ": " : std::string()) + "highest CP " +
                          fixed(best, 4) + " at U = " + fixed(best_u, 2) + " m/s");
    }
  }
  if (missing > 0) c.caption.push_back(count_note(missing, "power coefficient"));
  return c;
}

namespace {

// At most `most` indices of 0 ... n-1, evenly spread, always the first and the last: a blade of
// many elements would otherwise draw a blur of lines and a file of many megabytes.
std::vector<std::size_t> spread(std::size_t n, std::size_t most) {
  std::vector<std::size_t> picked;
  if (n <= most || most < 2) {
    for (std::size_t i = 0; i < n; ++i) picked.push_back(i);
    return picked;
  }
  for (std::size_t k = 0; k < most; ++k) {
    picked.push_back((k * (n - 1) + (most - 1) / 2) / (most - 1));  // rounded k·(n−1)/(most−1)
  }
  return picked;
}

std::string drawn_of(std::size_t drawn, std::size_t all) {
  return drawn == all ? std::to_string(all) + " sections"
                      : std::to_string(drawn) + " of " + std::to_string(all) + " sections drawn";
}

std::string blade_span_caption(double hub, double tip) {
  return "hub at r = " + fixed(hub, 4) + " m, tip at r = " + fixed(tip, 4) + " m, blade length " +
         fixed(tip - hub, 4) + " m";
}

// After a figure read off the polar at (reynolds, alpha): whether the import filled or copied
// it rather than XFOIL converging there.
std::string fill_word(const std::vector<fill_record::Fill>& fills, double reynolds, double alpha) {
  for (const fill_record::Fill& f : fills) {
    if (f.reynolds == reynolds && f.first <= alpha && alpha <= f.last) {
      return fill_record::copied(f) ? " (a copied block, not computed by XFOIL)"
                                    : " (filled, no converged XFOIL point)";
    }
  }
  return "";
}

}  // namespace

Chart polar_chart(const Polar& polar, const std::string& aerofoil, PolarQuantity quantity,
                  const std::vector<fill_record::Fill>& fills) {
  Chart c;
  const char* what = quantity == PolarQuantity::Lift   ? "Lift coefficient"
                     : quantity == PolarQuantity::Drag ? "Drag coefficient"
                                                       : "Lift-to-drag ratio";
  c.title = std::string(what) + " \u2014 " + aerofoil;
  c.x_label = "angle of attack \u03b1 (\u00b0)";
  c.y_label = quantity == PolarQuantity::Lift   ? "lift coefficient Cl (\u2013)"
              : quantity == PolarQuantity::Drag ? "drag coefficient Cd (\u2013)"
                                                : "Cl/Cd (\u2013)";
  c.y_from_zero = quantity == PolarQuantity::Drag;
  double best = -std::numeric_limits<double>::infinity(), best_alpha = kNaN, best_re = kNaN;
  for (std::size_t b = 0; b < polar.blocks.size(); ++b) {
    Series series;
    char label[32];
    std::snprintf(label, sizeof label, "Re %.0f", static_cast<double>(kPolarReynolds[b]));
    series.label = label;
    bool copied = false, filled = false;
    for (const fill_record::Fill& f : fills) {
      if (f.reynolds != kPolarReynolds[b]) continue;
      (fill_record::copied(f) ? copied : filled) = true;
    }
    if (copied) series.label += " (copied)";
    if (filled) series.label += " (filled)";
    series.markers = false;
    for (const PolarRow& r : polar.blocks[b]) {
      const double v = quantity == PolarQuantity::Lift   ? r.cl
                       : quantity == PolarQuantity::Drag ? r.cd
                                                         : r.cl / r.cd;
      series.points.push_back({r.alpha, std::isfinite(v) ? v : kNaN});
      if (std::isfinite(v) && v > best) {
        best = v;
        best_alpha = r.alpha;
        best_re = kPolarReynolds[b];
      }
    }
    c.series.push_back(std::move(series));
  }
  c.caption.push_back("working aerofoil " + aerofoil + " (Temp/Lift_Drag.dat)");
  for (const fill_record::Fill& f : fills) {
    c.caption.push_back(fill_record::copied(f)
                            ? fill_record::sentence(f)
                            : "filled, no converged XFOIL point: " + fill_record::describe(f));
  }
  if (std::isfinite(best)) {
    c.caption.push_back(std::string(quantity == PolarQuantity::Lift   ? "highest Cl "
                                    : quantity == PolarQuantity::Drag ? "highest Cd "
                                                                      : "highest Cl/Cd ") +
                        fixed(best, quantity == PolarQuantity::LiftToDrag ? 1 : 4) + " at " +
                        fixed(best_alpha, 1) + "\u00b0, Re " + fixed(best_re, 0) +
                        fill_word(fills, best_re, best_alpha));
  }
  return c;
}

namespace {

// One quantity of the blade stations against their radius, captioned first with the blade's span.
Chart station_chart(const Geometry& g, std::string title, std::string y_label, std::string label,
                    double Station::*value) {
  Chart c = titled(std::move(title), "radius r (m)", std::move(y_label));
  Series s;
  s.label = std::move(label);
  for (const Station& st : g.stations) s.points.push_back({st.radius, st.*value});
  c.series.push_back(std::move(s));
  c.caption.push_back(blade_span_caption(g.stations.front().radius, g.stations.back().radius));
  return c;
}

}  // namespace

Chart chord_chart(const Geometry& g) {
  Chart c =
      station_chart(g, "Blade chord along the radius", "chord c (m)", "chord", &Station::chord);
  c.y_from_zero = true;
  c.caption.push_back("chord " + fixed(g.stations.front().chord, 4) + " m at the hub, " +
                      fixed(g.stations.back().chord, 4) + " m at the tip");
  return c;
}

Chart twist_chart(const Geometry& g) {
  Chart c = station_chart(g, "Blade twist along the radius", "twist \u03b8 (\u00b0)", "twist",
                          &Station::twist);
  c.caption.push_back("twist " + fixed(g.stations.front().twist, 2) + "\u00b0 at the hub, " +
                      fixed(g.stations.back().twist, 2) +
                      "\u00b0 at the tip, setting angle included");
  return c;
}

Chart plan_chart(const std::vector<Section>& sections) {
  Chart c = titled("Blade plan view", "radius Z (m)", "Y (m)");
  c.equal_aspect = true;
  Series outline;
  outline.label = "outline";
  outline.markers = false;
  outline.closed = true;
  std::vector<XY> trailing;
  for (const Section& s : sections) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const Point3& p : s.points) {
      lo = std::min(lo, p.y);
      hi = std::max(hi, p.y);
    }
    outline.points.push_back({s.z, hi});
    trailing.push_back({s.z, lo});
  }
  const std::vector<std::size_t> drawn = spread(sections.size(), kMostStations);
  for (std::size_t i : drawn) {
    Series station;
    station.label = "sections";
    station.color = "#999999";
    station.markers = false;
    station.in_legend = i == 0;
    station.points = {trailing[i], outline.points[i]};
    c.series.push_back(std::move(station));
  }
  outline.points.insert(outline.points.end(), trailing.rbegin(), trailing.rend());
  c.series.push_back(std::move(outline));
  c.caption.push_back(
      "seen along the X axis; leading edge at the top; " + drawn_of(drawn.size(), sections.size()) +
      " from Z = " + fixed(sections.front().z, 4) + " m to " + fixed(sections.back().z, 4) + " m");
  return c;
}

Chart sections_chart(const std::vector<Section>& sections) {
  Chart c = titled("Blade sections seen from the tip", "\u2212Y (m)", "X (m)");
  c.equal_aspect = true;
  // Colours run from the hub's blue to the tip's orange.
  constexpr int kHub[3] = {0x00, 0x72, 0xB2};
  constexpr int kTip[3] = {0xD5, 0x5E, 0x00};
  const std::size_t n = sections.size();
  const std::vector<std::size_t> drawn = spread(n, kMostSections);
  for (std::size_t i : drawn) {
    const Section& s = sections[i];
    const double t = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
    char color[8];
    int rgb[3];
    for (int k = 0; k < 3; ++k)
      rgb[k] = static_cast<int>(std::lround(kHub[k] + t * (kTip[k] - kHub[k])));
    std::snprintf(color, sizeof color, "#%02X%02X%02X", rgb[0], rgb[1], rgb[2]);
    Series series;
    series.label = i == 0       ? "hub, Z = " + fixed(s.z, 3) + " m"
                   : i + 1 == n ? "tip, Z = " + fixed(s.z, 3) + " m"
                                : "Z = " + fixed(s.z, 3) + " m";
    series.color = color;
    series.markers = false;
    series.closed = true;
    series.in_legend = i == 0 || i + 1 == n;
    // Lower side as written, then the upper side back to the start: one closed outline.
    for (std::size_t k = 0; k < kSetPoints; ++k) {
      series.points.push_back({-s.points[k].y, s.points[k].x});
    }
    for (std::size_t k = 2 * kSetPoints; k-- > kSetPoints;) {
      series.points.push_back({-s.points[k].y, s.points[k].x});
    }
    c.series.push_back(std::move(series));
  }
  c.caption.push_back("looking from the tip towards the hub; " + drawn_of(drawn.size(), n) +
                      ", each centred on its own centroid");
  return c;
}

namespace {

std::string html(std::string_view text) {
  return escape_xml(text);
}

std::string optional_figure(const std::optional<double>& v, int decimals, const char* unit,
                            const char* absent) {
  if (!v) return absent;
  if (std::isnan(*v)) return "too wide for its field (asterisks)";
  return fixed(*v, decimals) + " " + unit;
}

std::string pictures_html(const std::vector<Picture>& pictures) {
  std::string out;
  for (const Picture& p : pictures) {
    out += "<figure><img src=\"" + html(p.file) + "\" alt=\"" + html(p.what) + "\"/><figcaption>" +
           html(p.file) + "</figcaption></figure>\n";
  }
  return out;
}

}  // namespace

std::string document_head(std::string_view heading, std::string_view style) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>";
  out.append(heading).append("</title>\n<style>\n").append(style);
  out.append("</style>\n</head>\n<body>\n<h1>").append(heading).append("</h1>\n");
  return out;
}

std::string page_head(std::string_view title, std::string_view more_style) {
  return document_head(
      "rotorforge: " + html(title),
      "body { font-family: sans-serif; max-width: 1100px; margin: 1em auto; padding: 0 1em; }\n"
      "table { border-collapse: collapse; margin: 0.5em 0 1em; }\n"
      "th, td { border: 1px solid #ccc; padding: 3px 10px; }\n"
      "td { text-align: right; } th { text-align: left; background: #f4f4f4; }\n"
      "img { max-width: 100%; } figure { margin: 1em 0; }\n"
      "nav.siblings { margin: 0 0 1em; padding: 0.4em 0.6em; background: #f4f4f4; }\n" +
          std::string(more_style));
}

std::string table_row(std::string_view name, std::string_view value) {
  return "<tr><th>" + html(name) + "</th><td>" + html(value) + "</td></tr>\n";
}

std::string index_html(const Page& page) {
  std::string out =
      page_head("pictures of the run", "figcaption { color: #666; font-size: small; }\n");
  out += page.nav;

  out += "<h2>Blade</h2>\n";
  if (page.geometry != nullptr) {
    const Geometry& g = *page.geometry;
    const Station& hub = g.stations.front();
    const Station& tip = g.stations.back();
    const Station* widest = &hub;
    for (const Station& s : g.stations) {
      if (std::isfinite(s.chord) && !(s.chord <= widest->chord)) widest = &s;
    }
    out += "<table>\n";
    out += table_row("hub radius", fixed(hub.radius, 4) + " m");
    out += table_row("tip radius", fixed(tip.radius, 4) + " m");
    out += table_row("blade length", fixed(tip.radius - hub.radius, 4) + " m");
    out += table_row("blade elements", std::to_string(g.stations.size() - 2));
    out += table_row("chord at the hub", fixed(hub.chord, 4) + " m");
    out += table_row("largest chord",
                     fixed(widest->chord, 4) + " m at r = " + fixed(widest->radius, 4) + " m");
    out += table_row("chord at the tip", fixed(tip.chord, 4) + " m");
    out += table_row("twist at the hub", fixed(hub.twist, 2) + " \u00b0");
    out += table_row("twist at the tip", fixed(tip.twist, 2) + " \u00b0");
    out += table_row("volume", optional_figure(g.volume, 6, "m\u00b3", "not written"));
    out += table_row("surface", optional_figure(g.surface, 6, "m\u00b2", "not written"));
    out += table_row("mass of one blade", optional_figure(g.mass, 6, "kg", "no material chosen"));
    out += "</table>\n";
  } else {
    out += "<p>No usable Result/Geometry.out.</p>\n";
  }
  if (page.sections != nullptr) {
    out += "<p>" + std::to_string(page.sections->size()) + " sections in Result/3dgeo.dat.</p>\n";
  }
  out += pictures_html(page.blade_pictures);

  if (!page.polar_pictures.empty()) {
    out += "<h2>Aerofoil: " + html(page.aerofoil) + " (Temp/Lift_Drag.dat)</h2>\n";
    out += pictures_html(page.polar_pictures);
  }

  for (const EnergyPart& part : page.energy) {
    const EnergyTable& t = *part.table;
    out += "<h2>Type " + std::to_string(t.type) + ": " + html(type_name(t.type)) +
           " (Result/Energy" + std::to_string(t.type) + ".out)</h2>\n";
    out +=
        "<table>\n<tr><th>sweep</th><th>wind speeds</th><th>highest power</th>"
        "<th>highest CP</th><th>average power at the site</th>"
        "<th>annual energy (8700 h)</th>";
    if (t.type == 4) out += "<th>MPL</th>";
    out += "</tr>\n";
    for (std::size_t i = 0; i < t.sweeps.size(); ++i) {
      const Sweep& s = t.sweeps[i];
      double p_max = kNaN, cp_max = kNaN;
      for (const TableRow& p : s.rows) {
        if (std::isfinite(p.power) && !(p.power <= p_max)) p_max = p.power;
        if (std::isfinite(p.cp) && !(p.cp <= cp_max)) cp_max = p.cp;
      }
      out +=
          "<tr><th>" + std::to_string(i + 1) + "</th><td>" +
          html(fixed(s.rows.front().wind, 2) + " \u2026 " + fixed(s.rows.back().wind, 2) + " m/s") +
          "</td><td>" + html(fixed(p_max, 3) + " W") + "</td><td>" + fixed(cp_max, 4) +
          "</td><td>" + html(fixed(s.average_power, 2) + " W") + "</td><td>" +
          html(fixed(s.annual_energy, 2) + " kW\u00b7h") + "</td>";
      if (t.type == 4) {
        const std::optional<PowerLimit> l = i < part.limits.size() ? part.limits[i] : std::nullopt;
        out += "<td>" +
               html(!l         ? std::string("unknown")
                    : l->exact ? watts(l->value) + " (Temp/mpl.tmp)"
                               : "\u2248 " + fixed(l->value, 0) + " W (power at cut-out)") +
               "</td>";
      }
      out += "</tr>\n";
    }
    out += "</table>\n";
    if (!t.incomplete.empty()) out += "<p>Left out: " + html(t.incomplete) + ".</p>\n";
    out += pictures_html(part.pictures);
  }

  if (!page.fills.empty()) {
    out +=
        "<h2 id=\"not-xfoil\">Aerofoil data not from converged XFOIL points</h2>\n<p>The import "
        "of " +
        html(page.aerofoil) +
        " recorded these angles: the design and the curves above use them as they are.</p>\n<ul>\n";
    for (const fill_record::Fill& f : page.fills) {
      out += "<li>" + html(fill_record::sentence(f)) + "</li>\n";
    }
    out += "</ul>\n";
  }
  if (!page.notes.empty()) {
    out += "<h2>Files left out</h2>\n<ul>\n";
    for (const std::string& n : page.notes) out += "<li>" + html(n) + "</li>\n";
    out += "</ul>\n";
  }
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace plot
