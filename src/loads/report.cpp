#include "loads/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>

#include "companion/whole_file.h"
#include "plot/pictures.h"
#include "plot/siblings.h"
#include "util/number_text.h"

namespace loads {

namespace {

using plot::fixed;

using number_text::shortest;

// How the mass of one blade is measured.
std::string mass_source(const Report& r) {
  if (r.mass_is_session) return " (as Result/Geometry.out)";
  if (!r.design.outlines.empty()) return " (its sections along the span, this wall and material)";
  return " (the session's measure, this wall and material)";
}

// The cells of `values` in a CSV row, each the shortest text that reads back as the value.
std::string cells(std::initializer_list<double> values) {
  std::string row;
  for (const double v : values) row += (row.empty() ? "" : ",") + shortest(v);
  return row;
}

// A CSV table of the cases: a row (or, for elements_csv, a row per element) of each case, which
// starts with the case's number and its operating point. `columns` are the header after those
// of the point; `rows(point, c)` gives the rows of case c, `point` being their first cells.
template <class Rows>
std::string csv_table(const Report& r, const char* columns, Rows rows) {
  std::string out = std::string("case,source,wind_m_s,tip_speed_ratio,setting_deg,") + columns;
  for (std::size_t i = 0; i < r.cases.size(); ++i) {
    const Case& c = r.cases[i];
    out += rows(std::to_string(i + 1) + "," + c.point.source + "," +
                    cells({c.point.U, c.point.lambda, c.point.theta}) + ",",
                c);
  }
  return out;
}

std::string case_name(const Case& c) {
  if (c.parked) return c.point.source + " " + fixed(c.point.U, 1) + " m/s";
  return c.source + ", U " + fixed(c.point.U, 2) + " m/s";
}

// The operating case of the highest power coefficient, if any.
std::optional<std::size_t> best_cp(const Report& r) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < r.cases.size(); ++i) {
    if (r.cases[i].parked) continue;
    if (!best || r.cases[i].point.result.cp > r.cases[*best].point.result.cp) best = i;
  }
  return best;
}

std::string mm(double metres) {
  return fixed(metres * 1000.0, 1) + " mm";
}

}  // namespace

std::string elements_csv(const Report& r) {
  return csv_table(
      r,
      "element,radius_m,chord_m,twist_deg,inflow_deg,alpha_deg,a,a_prime,tip_loss_F,reynolds,cl,"
      "cd,relative_speed_m_s,normal_force_N_m,tangential_force_N_m,state\n",
      [](const std::string& point, const Case& c) {
        std::string rows;
        const std::vector<ElementResult>& elements = c.point.result.elements;
        for (std::size_t k = 0; k < elements.size(); ++k) {
          const ElementResult& e = elements[k];
          rows += point + std::to_string(k + 1) + "," +
                  cells({e.radius, e.chord, e.twist, e.phi, e.alpha, e.a, e.ap, e.F, e.re, e.cl,
                         e.cd, e.speed, e.fn, e.ft}) +
                  "," + (c.parked ? "parked" : calc_mod::end_name(e.end)) + "\n";
        }
        return rows;
      });
}

std::string rotor_csv(const Report& r) {
  return csv_table(
      r,
      "rpm,cp,cp_table,ct,thrust_N,torque_Nm,power_W,power_table_W,root_flap_Nm,root_edge_Nm,"
      "gravity_edge_Nm,centrifugal_N,root_stress_MPa,utilisation,worst_radius_m,"
      "tip_deflection_m,buckling,flap1_Hz,flap2_Hz,edge1_Hz\n",
      [&r](const std::string& point, const Case& c) {
        const PointResult& p = c.point.result;
        const double cp = c.parked ? 0.0 : element_cp(r.design.rotor, c.point.lambda, p.elements);
        return point + cells({p.rpm, cp}) + "," +
               (c.point.table_cp ? fixed(*c.point.table_cp, 4) : "") + "," +
               cells({p.ct, p.thrust, p.torque, p.power}) + "," +
               (c.point.table_power ? fixed(*c.point.table_power, 3) : "") + "," +
               cells({c.root_flap, c.root_edge, c.gravity, c.centrifugal, c.root_stress,
                      c.utilisation, c.worst_radius, c.tip_deflection, c.buckling}) +
               // The parked rotor has no modes of its own speed: the chart's at rest hold.
               (c.parked ? std::string(",,,")
                         : "," + cells({c.modes.flap1, c.modes.flap2, c.modes.edge1})) +
               "\n";
      });
}

plot::Chart span_chart(const Report& r, const std::string& what) {
  std::vector<std::size_t> shown;
  shown.push_back(r.worst);
  if (const auto b = best_cp(r); b && *b != r.worst) shown.push_back(*b);
  for (std::size_t i = 0; i < r.cases.size(); ++i) {
    if (r.cases[i].parked && i != r.worst) shown.push_back(i);
  }
  plot::Chart c;
  if (what == "alpha") {
    c = plot::titled("Angle of attack along the blade", "radius r (m)",
                     "angle of attack \u03b1 (\u00b0)");
  } else if (what == "induction") {
    c = plot::titled("Induction factors along the blade", "radius r (m)", "a, a\u2032");
  } else if (what == "force") {
    c = plot::titled("Force per metre along the blade", "radius r (m)", "force per metre (N/m)");
  } else {
    c = plot::titled("Stress along the blade (unfactored)", "radius r (m)", "largest stress (MPa)");
    c.y_from_zero = true;
  }
  for (std::size_t i : shown) {
    const Case& k = r.cases[i];
    const std::string name = case_name(k) + (i == r.worst ? " (worst)" : "");
    const auto& el = k.point.result.elements;
    if (what == "stress") {
      plot::Series s;
      s.label = name;
      s.markers = false;
      for (std::size_t g = 0; g < k.grid.size(); ++g) s.points.push_back({k.grid[g], k.stress[g]});
      c.series.push_back(std::move(s));
      continue;
    }
    if (what == "induction" && k.parked) continue;
    plot::Series s1, s2;
    s1.label = what == "alpha" ? name : what == "induction" ? "a, " + name : "normal, " + name;
    s2.label = what == "induction" ? "a\u2032, " + name : "in-plane, " + name;
    for (const ElementResult& e : el) {
      if (what == "alpha") {
        s1.points.push_back({e.radius, e.alpha});
      } else if (what == "induction") {
        s1.points.push_back({e.radius, e.a});
        s2.points.push_back({e.radius, e.ap});
      } else {
        s1.points.push_back({e.radius, e.fn});
        s2.points.push_back({e.radius, e.ft});
      }
    }
    c.series.push_back(std::move(s1));
    if (what != "alpha") c.series.push_back(std::move(s2));
  }
  return c;
}

plot::Chart wind_chart(const Report& r, const std::string& what) {
  plot::Chart c;
  if (what == "thrust") {
    c = plot::titled("Rotor thrust", "wind speed U (m/s)", "thrust T (N)");
  } else if (what == "moments") {
    c = plot::titled("Root bending moments of one blade", "wind speed U (m/s)", "moment (N m)");
  } else if (what == "utilisation") {
    c = plot::titled("Utilisation (factored stress / design strength)", "wind speed U (m/s)",
                     "utilisation");
    c.ref_lines.push_back({"holds up to 1", 1.0});
  } else {
    c = plot::titled("Tip deflection downwind", "wind speed U (m/s)", "tip deflection (mm)");
  }
  c.y_from_zero = true;
  std::vector<std::string> order;
  std::map<std::string, std::vector<const Case*>> by_source;
  for (const Case& k : r.cases) {
    if (k.parked) continue;
    if (!by_source.count(k.source)) order.push_back(k.source);
    by_source[k.source].push_back(&k);
  }
  for (const std::string& src : order) {
    std::vector<const Case*> list = by_source[src];
    std::stable_sort(list.begin(), list.end(),
                     [](const Case* a, const Case* b) { return a->point.U < b->point.U; });
    plot::Series s1, s2;
    s1.label = what == "moments" ? "flapwise, " + src : src;
    s2.label = "edgewise, " + src;
    for (const Case* k : list) {
      const double U = k->point.U;
      if (what == "thrust") {
        s1.points.push_back({U, k->point.result.thrust});
      } else if (what == "moments") {
        s1.points.push_back({U, k->root_flap});
        s2.points.push_back({U, k->root_edge});
      } else if (what == "utilisation") {
        s1.points.push_back({U, k->utilisation});
      } else {
        s1.points.push_back({U, k->tip_deflection * 1000.0});
      }
    }
    c.series.push_back(std::move(s1));
    if (what == "moments") c.series.push_back(std::move(s2));
  }
  for (const Case& k : r.cases) {
    if (!k.parked) continue;
    const double v = what == "thrust"        ? k.point.result.thrust
                     : what == "moments"     ? k.root_flap
                     : what == "utilisation" ? k.utilisation
                                             : k.tip_deflection * 1000.0;
    c.caption.push_back("parked storm " + fixed(k.point.U, 1) + " m/s: " + fixed(v, 2) +
                        (what == "utilisation" ? ""
                         : what == "thrust"    ? " N"
                         : what == "moments"   ? " N m (flapwise)"
                                               : " mm"));
  }
  return c;
}

namespace {

const char* const kSpanCharts[] = {"alpha", "induction", "force", "stress"};
const char* const kWindCharts[] = {"thrust", "moments", "utilisation", "deflection"};

}  // namespace

namespace {

std::string harmonic_name(int k) {
  return k == 1 ? std::string("once per revolution (1P)")
                : std::to_string(k) + " times per revolution (" + std::to_string(k) + "P)";
}

std::string percent(double share) {
  return fixed(share * 100.0, 0) + " %";
}

// What a utilisation means to a maker: the margin left, or how far beyond the limit.
std::string margin(double use) {
  return use <= 1.0 ? "holds, margin " + percent(1.0 - use)
                    : "FAILS, " + fixed(use, 2) + " x the limit";
}

}  // namespace

std::vector<std::string> verdict_lines(const Report& r) {
  const Verdict& v = r.verdict;
  const Case& w = r.cases[r.worst];
  std::vector<std::string> lines;
  lines.push_back("strength: " + margin(v.strength) + " (utilisation " + fixed(v.strength, 3) +
                  " at r = " + fixed(w.worst_radius, 3) + " m, " + case_name(w) + ")");
  if (r.wall > 0.0) {
    std::size_t worst = 0;
    for (std::size_t i = 0; i < r.cases.size(); ++i) {
      if (r.cases[i].buckling > r.cases[worst].buckling) worst = i;
    }
    lines.push_back("skin buckling: " + margin(v.buckling) +
                    " (factored compression / buckling stress " + fixed(v.buckling, 3) +
                    " at r = " + fixed(r.cases[worst].buckling_radius, 3) + " m)");
  } else {
    lines.push_back("skin buckling: not a risk for a solid blade");
  }
  lines.push_back("tower clearance: " + margin(v.clearance_use()) + " (tip moves " +
                  mm(v.deflection) + " towards the tower under the factored loads, clearance " +
                  mm(v.clearance) + ")");
  if (v.beyond_linear) {
    lines.push_back("warning: that deflection is " +
                    percent(v.deflection / (r.design.rotor.rtip - r.design.rotor.rhub)) +
                    " of the span, beyond the " + percent(kLinearShare) +
                    " where linear beam theory holds: the figure only says the blade is too soft");
  }
  if (!v.resonance) {
    lines.push_back("resonance: no operating speed to check");
  } else {
    const Resonance& s = *v.resonance;
    const std::string at = fixed(s.rpm, 0) + " rpm (" + s.source + ")";
    if (!s.flagged) {
      lines.push_back("resonance: holds, no mode within " + percent(kResonanceMargin) +
                      " of 1P or " + std::to_string(r.design.rotor.Numb) + "P; closest: the " +
                      s.mode + " mode, " + fixed(s.frequency, 2) + " Hz at " + at + ", is " +
                      fixed(s.ratio, 2) + " x " + std::to_string(s.harmonic) + "P");
    } else {
      lines.push_back(std::string("resonance: ") +
                      (v.resonance_allowed ? "allowed by --allow-resonance: " : "FAILS: ") +
                      "the " + s.mode + " mode (" + fixed(s.frequency, 2) + " Hz) meets " +
                      harmonic_name(s.harmonic) + " at " + at + ": the blade would shake");
    }
  }
  return lines;
}

std::string uses(const Verdict& v) {
  return "strength " + fixed(v.strength, 2) + ", skin buckling " + fixed(v.buckling, 2) +
         ", clearance " + fixed(v.clearance_use(), 2);
}

std::string verdict_text(const Verdict& v) {
  return v.holds ? "the blade holds" : "the blade does not hold: " + v.reason;
}

plot::Chart campbell_chart(const Report& r) {
  plot::Chart c = plot::titled("Natural frequencies against rotor speed (Campbell chart)",
                               "rotor speed (rpm)", "frequency (Hz)");
  c.y_from_zero = true;
  const Campbell& k = r.campbell;
  const char* const names[3] = {"first flapwise", "second flapwise", "first edgewise"};
  double top = 0.0;
  for (int m = 0; m < 3; ++m) {
    plot::Series s;
    s.label = names[m];
    for (std::size_t i = 0; i < k.rpm.size(); ++i) {
      const BladeModes& b = k.modes[i];
      s.points.push_back({k.rpm[i], m == 0 ? b.flap1 : m == 1 ? b.flap2 : b.edge1});
    }
    c.series.push_back(std::move(s));
  }
  for (const BladeModes& b : k.modes) top = std::max(top, b.edge1);
  std::vector<int> harmonics = {1, 2, 3};
  const int blades = static_cast<int>(r.design.rotor.Numb);
  if (blades > 3) harmonics.push_back(blades);
  const double end = k.rpm.empty() ? 0.0 : k.rpm.back();
  for (int h : harmonics) {
    plot::Series s;
    s.label = std::to_string(h) + "P" + (h == blades ? " (blade passing)" : "");
    s.markers = false;
    // Each line stops at the chart's highest mode, so that a steep line does not stretch it.
    const double rpm_end = std::min(end, top > 0.0 ? top * 60.0 / h : end);
    s.points = {{0.0, 0.0}, {rpm_end, h * rpm_end / 60.0}};
    c.series.push_back(std::move(s));
  }
  c.caption.push_back("operating speeds " + fixed(k.rpm_lo, 0) + " to " + fixed(k.rpm_hi, 0) +
                      " rpm; a mode within " + fixed(kResonanceMargin * 100.0, 0) + " % of 1P or " +
                      std::to_string(blades) + "P there resonates");
  c.caption.push_back("at rest: flapwise " + fixed(r.standing.flap1, 2) + " and " +
                      fixed(r.standing.flap2, 2) + " Hz, edgewise " + fixed(r.standing.edge1, 2) +
                      " Hz");
  return c;
}

std::string index_html(const Report& r, std::string_view nav) {
  const Verdict& v = r.verdict;
  std::string out = plot::page_head("loads and strength of the blade") + std::string(nav);
  out += std::string("<p class=\"verdict\"><b>") +
         (v.holds ? "The blade holds." : "The blade does not hold.") + "</b></p>\n<ul>\n";
  for (const std::string& l : verdict_lines(r)) out += "<li>" + plot::escape_xml(l) + "</li>\n";
  out += "</ul>\n<table>\n";
  out += plot::table_row("blades", std::to_string(r.design.rotor.Numb));
  out += plot::table_row(
      "blade", (r.wall > 0.0 ? "hollow, wall " + fixed(r.wall, 2) + " mm" : std::string("solid")) +
                   " (" + r.wall_source + ")");
  out += plot::table_row(
      "material",
      std::string(r.material.key) + " (" + r.material_source + "): density " +
          fixed(r.material.density, 0) + " kg/m\u00b3 (the material menu's), modulus " +
          fixed(r.material.modulus, 1) + " GPa (" +
          (r.settings.modulus ? std::string("--modulus") : std::string(r.material.source)) + ")");
  out += plot::table_row("strength",
                         fixed(r.material.strength, 0) + " MPa (" + r.strength_source + ")");
  out += plot::table_row("mass of one blade",
                         fixed(r.mass, 6) + " kg" + mass_source(r) + "; the beam's " +
                             std::to_string(r.cases.front().grid.size()) +
                             " sections, which carry the centrifugal force, the weight and the "
                             "modes: " +
                             fixed(r.beam_mass, 3) + " kg");
  out += plot::table_row("safety factors", "loads " + fixed(r.settings.load_factor, 2) +
                                               " (IEC 61400-2, simplified loads), material " +
                                               fixed(r.settings.material_factor, 2) + " (" +
                                               r.factor_source + ")");
  out += plot::table_row("tower clearance", mm(v.clearance) + " (" + r.clearance_source + ")");
  out += plot::table_row(
      "parked storm",
      fixed(r.cases.back().point.U, 1) + " m/s (" + r.settings.parked_label +
          (r.settings.parked_label == "given" ? ", --parked-wind)"
                                              : ": 1.4 x the reference wind of IEC 61400-2)"));
  out += plot::table_row("air density", fixed(r.rho, 4) + " kg/m\u00b3 (ISA at the altitude)");
  out += plot::table_row("resonance margin",
                         fixed(kResonanceMargin * 100.0, 0) +
                             " % around 1P and B P (a common design margin)" +
                             (r.settings.allow_resonance ? "; --allow-resonance" : ""));
  out += plot::table_row(
      "energy tables used", r.tables_used.empty() ? std::string("none") : [&] {
        std::string s;
        for (const auto& u : r.tables_used) s += (s.empty() ? "" : "; ") + u;
        return s;
      }());
  if (r.thin_search_done) {
    out += plot::table_row(
        "thinnest wall that holds every limit",
        r.thinnest_wall ? fixed(*r.thinnest_wall, 2) + " mm, blade " + fixed(*r.thinnest_mass, 3) +
                              " kg (" + uses(*r.thinnest_verdict) + ")"
                        : "none: even a solid blade does not hold: " + r.no_wall_reason);
  }
  out += "</table>\n";
  for (const std::string& n : r.notes) out += "<p>" + plot::escape_xml(n) + "</p>\n";
  out +=
      "<p>Tables: <a href=\"rotor.csv\">rotor.csv</a>, <a "
      "href=\"elements.csv\">elements.csv</a></p>\n";
  out += "<h2>Vibration</h2>\n<figure><img src=\"campbell.svg\" alt=\"" +
         plot::escape_xml(campbell_chart(r).title) + "\"/></figure>\n";
  out += "<h2>Along the blade</h2>\n";
  for (const char* n : kSpanCharts) {
    out += "<figure><img src=\"span-" + std::string(n) + ".svg\" alt=\"" +
           plot::escape_xml(span_chart(r, n).title) + "\"/></figure>\n";
  }
  out += "<h2>Against the wind speed</h2>\n";
  for (const char* n : kWindCharts) {
    out += "<figure><img src=\"wind-" + std::string(n) + ".svg\" alt=\"" +
           plot::escape_xml(wind_chart(r, n).title) + "\"/></figure>\n";
  }
  out += "</body>\n</html>\n";
  return out;
}

void print_summary(const Report& r, std::ostream& out) {
  for (const std::string& n : r.notes) out << n << '\n';
  std::size_t operating = 0;
  for (const Case& c : r.cases) operating += c.parked ? 0 : 1;
  out << "energy tables: " << (r.tables_used.empty() ? std::string("none") : "");
  for (std::size_t i = 0; i < r.tables_used.size(); ++i) out << (i ? "; " : "") << r.tables_used[i];
  out << '\n';
  out << operating << " operating points and the parked storm (" << fixed(r.cases.back().point.U, 1)
      << " m/s)\n";
  out << "blade: "
      << (r.wall > 0.0 ? "hollow, wall " + fixed(r.wall, 2) + " mm" : std::string("solid")) << " ("
      << r.wall_source << "), " << r.material.key << " (" << r.material_source << ")\n";
  out << "mass: " << fixed(r.mass, 6) << " kg per blade" << mass_source(r) << "; the beam's "
      << r.cases.front().grid.size() << " sections: " << fixed(r.beam_mass, 3) << " kg\n";
  out << "material: " << fixed(r.material.strength, 0) << " MPa (" << r.strength_source
      << "), factor " << fixed(r.settings.material_factor, 2) << " (" << r.factor_source
      << "); loads x" << fixed(r.settings.load_factor, 2) << '\n';
  out << "frequencies at rest: flapwise " << fixed(r.standing.flap1, 2) << " and "
      << fixed(r.standing.flap2, 2) << " Hz, edgewise " << fixed(r.standing.edge1, 2) << " Hz\n";
  const Case& w = r.cases[r.worst];
  out << "worst case: " << case_name(w) << ": root flapwise moment " << fixed(w.root_flap, 1)
      << " N m, edgewise " << fixed(w.root_edge, 1) << " N m\n";
  for (const std::string& l : verdict_lines(r)) out << l << '\n';
  if (r.thin_search_done) {
    if (r.thinnest_wall) {
      out << "thinnest wall that holds every limit: " << fixed(*r.thinnest_wall, 2) << " mm ("
          << fixed(*r.thinnest_mass, 3) << " kg per blade; " << uses(*r.thinnest_verdict) << ")\n";
    } else {
      out << "thinnest wall that holds every limit: none, even a solid blade does not hold: "
          << r.no_wall_reason << "\n";
    }
  }
}

void write_outputs(const Report& r, const fs::path& dir, std::ostream& out) {
  const fs::path to = dir / kOutputDir;
  std::error_code ec;
  fs::create_directories(to, ec);
  if (ec) throw std::runtime_error((to).string() + ": cannot be created: " + ec.message());
  const auto put = [&](const std::string& name, const std::string& text) {
    whole_file::write(to / name, text);
    out << "wrote " << kOutputDir << "/" << name << '\n';
  };
  put("elements.csv", elements_csv(r));
  put("rotor.csv", rotor_csv(r));
  for (const char* n : kSpanCharts)
    put("span-" + std::string(n) + ".svg", plot::render(span_chart(r, n)));
  for (const char* n : kWindCharts)
    put("wind-" + std::string(n) + ".svg", plot::render(wind_chart(r, n)));
  put("campbell.svg", plot::render(campbell_chart(r)));
  put("index.html", index_html(r, plot::sibling_nav(plot::with_page(plot::sibling_pages(dir),
                                                                    {"loads/index.html", "loads"}),
                                                    "loads/index.html")));
  plot::write_pages_script(dir);
}

}  // namespace loads
