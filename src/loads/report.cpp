#include "loads/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>

#include "plot/pictures.h"
#include "plot/siblings.h"
#include "util/number_text.h"
#include "util/whole_file.h"

namespace loads {

namespace {

using plot::fixed;

using number_text::shortest;

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

const char* end_name(calc_mod::ElementEnd e) {
  switch (e) {
    case calc_mod::ElementEnd::kIterated:
      return "iterated";
    case calc_mod::ElementEnd::kResolved:
      return "resolved";
    case calc_mod::ElementEnd::kUnloaded:
      return "unloaded";
    case calc_mod::ElementEnd::kNoBlade:
      return "no blade";
  }
  return "?";
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

plot::Chart titled(std::string title, std::string x, std::string y) {
  plot::Chart c;
  c.title = std::move(title);
  c.x_label = std::move(x);
  c.y_label = std::move(y);
  return c;
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
                  "," + (c.parked ? "parked" : end_name(e.end)) + "\n";
        }
        return rows;
      });
}

std::string rotor_csv(const Report& r) {
  return csv_table(
      r,
      "rpm,cp,cp_table,ct,thrust_N,torque_Nm,power_W,power_table_W,root_flap_Nm,root_edge_Nm,"
      "gravity_edge_Nm,centrifugal_N,root_stress_MPa,utilisation,worst_radius_m,"
      "tip_deflection_m\n",
      [&r](const std::string& point, const Case& c) {
        const PointResult& p = c.point.result;
        const double cp = c.parked ? 0.0 : element_cp(r.design.rotor, c.point.lambda, p.elements);
        return point + cells({p.rpm, cp}) + "," +
               (c.point.table_cp ? fixed(*c.point.table_cp, 4) : "") + "," +
               cells({p.ct, p.thrust, p.torque, p.power}) + "," +
               (c.point.table_power ? fixed(*c.point.table_power, 3) : "") + "," +
               cells({c.root_flap, c.root_edge, c.gravity, c.centrifugal, c.root_stress,
                      c.utilisation, c.worst_radius, c.tip_deflection}) +
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
    c = titled("Angle of attack along the blade", "radius r (m)",
               "angle of attack \u03b1 (\u00b0)");
  } else if (what == "induction") {
    c = titled("Induction factors along the blade", "radius r (m)", "a, a\u2032");
  } else if (what == "force") {
    c = titled("Force per metre along the blade", "radius r (m)", "force per metre (N/m)");
  } else {
    c = titled("Stress along the blade (unfactored)", "radius r (m)", "largest stress (MPa)");
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
    c = titled("Rotor thrust", "wind speed U (m/s)", "thrust T (N)");
  } else if (what == "moments") {
    c = titled("Root bending moments of one blade", "wind speed U (m/s)", "moment (N m)");
  } else if (what == "utilisation") {
    c = titled("Utilisation (factored stress / design strength)", "wind speed U (m/s)",
               "utilisation");
    c.ref_lines.push_back({"holds up to 1", 1.0});
  } else {
    c = titled("Tip deflection downwind", "wind speed U (m/s)", "tip deflection (mm)");
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

std::string index_html(const Report& r, std::string_view nav) {
  const Case& w = r.cases[r.worst];
  std::string out =
      plot::page_head("loads and strength of the blade") + std::string(nav) + "<table>\n";
  out += plot::table_row("blades", std::to_string(r.design.rotor.blades));
  out += plot::table_row("material", std::string(r.material.name) + ": " +
                                         fixed(r.material.strength, 0) + " MPa, " +
                                         fixed(r.material.modulus, 1) + " GPa, " +
                                         fixed(r.material.density, 0) + " kg/m\u00b3");
  out +=
      plot::table_row("blade", r.wall > 0.0 ? "hollow, wall " + fixed(r.wall, 2) + " mm" : "solid");
  out += plot::table_row("mass of one blade", fixed(r.mass, 3) + " kg");
  out +=
      plot::table_row("safety factors", "loads " + fixed(r.settings.load_factor, 2) +
                                            ", material " + fixed(r.settings.material_factor, 2));
  out += plot::table_row("air density", fixed(r.rho, 4) + " kg/m\u00b3");
  out += plot::table_row("worst case", case_name(w));
  out += plot::table_row("utilisation", fixed(w.utilisation, 3) +
                                            (w.utilisation <= 1.0 ? " (holds)" : " (fails)") +
                                            " at r = " + fixed(w.worst_radius, 3) + " m");
  double deflection = 0.0;
  for (const Case& c : r.cases) deflection = std::max(deflection, std::fabs(c.tip_deflection));
  out += plot::table_row("largest tip deflection", mm(deflection));
  if (r.thin_search_done) {
    out += plot::table_row("thinnest wall that holds",
                           r.thinnest_wall ? fixed(*r.thinnest_wall, 2) + " mm, blade " +
                                                 fixed(*r.thinnest_mass, 3) + " kg"
                                           : "none: even a solid blade fails");
  }
  out += "</table>\n";
  for (const std::string& n : r.notes) out += "<p>" + plot::escape_xml(n) + "</p>\n";
  out +=
      "<p>Tables: <a href=\"rotor.csv\">rotor.csv</a>, <a "
      "href=\"elements.csv\">elements.csv</a></p>\n";
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
  const Case& w = r.cases[r.worst];
  std::size_t operating = 0;
  for (const Case& c : r.cases) operating += c.parked ? 0 : 1;
  double deflection = 0.0;
  for (const Case& c : r.cases) deflection = std::max(deflection, std::fabs(c.tip_deflection));
  out << operating << " operating points and the parked storm (" << fixed(r.cases.back().point.U, 1)
      << " m/s); " << r.material.name << ", "
      << (r.wall > 0.0 ? "hollow, wall " + fixed(r.wall, 2) + " mm" : std::string("solid")) << ", "
      << fixed(r.mass, 3) << " kg per blade\n";
  out << "worst case: " << case_name(w) << ": root flapwise moment " << fixed(w.root_flap, 1)
      << " N m, edgewise " << fixed(w.root_edge, 1) << " N m\n";
  out << "utilisation: " << fixed(w.utilisation, 3) << " at r = " << fixed(w.worst_radius, 3)
      << " m (loads x" << fixed(r.settings.load_factor, 2) << ", strength "
      << fixed(r.material.strength, 0) << " MPa / " << fixed(r.settings.material_factor, 2)
      << "): " << (w.utilisation <= 1.0 ? "holds" : "FAILS") << '\n';
  out << "tip deflection: " << mm(deflection) << " at most\n";
  if (r.thin_search_done) {
    if (r.thinnest_wall) {
      out << "thinnest wall that holds: " << fixed(*r.thinnest_wall, 2) << " mm ("
          << fixed(*r.thinnest_mass, 3) << " kg per blade)\n";
    } else {
      out << "thinnest wall that holds: none, even a solid blade fails\n";
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
  put("index.html", index_html(r, plot::sibling_nav(plot::with_page(plot::sibling_pages(dir),
                                                                    {"loads/index.html", "loads"}),
                                                    "loads/index.html")));
  plot::write_pages_script(dir);
}

}  // namespace loads
