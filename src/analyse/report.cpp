#include "analyse/report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <stdexcept>

#include "companion/whole_file.h"
#include "performance/energy_detail.h"
#include "performance/sweep_detail.h"
#include "plot/pictures.h"
#include "plot/siblings.h"
#include "plot/svg.h"
#include "textio/textio.h"
#include "util/files.h"
#include "util/number_text.h"

namespace analyse_report {

using analyse_run::Options;
using analyse_run::Result;
using number_text::fixed;
using number_text::shortest;

namespace {

constexpr const char* kEnd = "\r\n";

std::string header_of(int type) {
  switch (type) {
    case 1:
      return std::string(files::kVariableSpeedHeader);
    case 4:
      return std::string(files::kPitchHeader);
    default:
      return std::string(files::kFixedSpeedHeader);
  }
}

std::string wind_text(const Options& o) {
  const auto& s = o.site;
  std::string w = s.wind.weibull ? "Weibull k " + fixed(s.wind.k, 2) + ", scale " +
                                       fixed(s.wind.c, 2) + " m/s at hub height"
                                 : "Rayleigh, mean " + fixed(s.site.Umid, 2) + " m/s at 10 m";
  return w + ", hub " + fixed(s.site.h, 1) + " m";
}

double best_energy(const Result& r) {
  return r.yields.front().energy;
}

std::string section_list(const blade::Blade& b) {
  std::string s;
  for (const blade::Section& sec : b.sections) s += (s.empty() ? "" : ", ") + sec.name;
  return s;
}

std::string cp_csv(const Result& r) {
  std::string t = "tsr,pitch_deg,cp,ct,cq\n";
  for (const auto& p : r.curve) {
    t += shortest(p.tsr) + "," + shortest(p.pitch) + "," + shortest(p.cp) + "," + shortest(p.ct) +
         "," + shortest(p.cq) + "\n";
  }
  return t;
}

std::string elements_csv(const Result& r) {
  const auto& b = r.blade;
  std::string t =
      "wind_m_s,tsr,pitch_deg,radius_m,chord_m,twist_deg,section,end,a,ap,phi_deg,alpha_deg,F,re,"
      "cl,cd,speed_m_s,fn_N_per_m,ft_N_per_m\n";
  for (std::size_t i = 0; i < r.elements.states.size(); ++i) {
    const auto& e = r.elements.states[i];
    const blade::Section* s = blade::element_section(b, i);
    // Forces per metre of one blade: normal to the plane of rotation (downwind) and in it, in
    // the direction of rotation, from the relative speed W U.
    const double speed = e.W * r.elements.U;
    const double qc = 0.5 * r.rho * speed * speed * b.chord[i] * b.rtip;
    const double fn = qc * (e.cl * e.cphi + e.cd * e.sphi);
    const double ft = qc * (e.cl * e.sphi - e.cd * e.cphi);
    t += shortest(r.elements.U) + "," + shortest(r.elements.tsr) + "," +
         shortest(r.elements.pitch) + "," + shortest(b.r[i] * b.rtip) + "," +
         shortest(b.chord[i] * b.rtip) + "," + shortest(b.twist[i]) + "," +
         (s != nullptr ? s->name : std::string("loaded")) + "," + calc_mod::end_name(e.end) + "," +
         shortest(e.a) + "," + shortest(e.ap) + "," + shortest(e.phi * 180.0 / shared::kPi) + "," +
         shortest(e.alpha) + "," + shortest(e.F) + "," + shortest(e.re) + "," + shortest(e.cl) +
         "," + shortest(e.cd) + "," + shortest(speed) + "," + shortest(fn) + "," + shortest(ft) +
         "\n";
  }
  return t;
}

std::string power_csv(const Result& r, const Options& o) {
  std::string t = "type,wind_m_s,tsr,cp,power_W,rpm,pitch_deg,electrical_W\n";
  for (const auto& y : r.yields) {
    for (const auto& row : y.rows) {
      t += std::to_string(y.type) + "," + shortest(row.wind) + "," + shortest(row.tsr) + "," +
           shortest(row.cp) + "," + shortest(row.power) + "," + shortest(row.rpm) + "," +
           shortest(row.angle) + "," + shortest(o.site.drivetrain.electrical(row.power)) + "\n";
    }
  }
  return t;
}

std::string start_csv(const Result& r) {
  std::string t = "wind_m_s,torque_Nm\n";
  for (const auto& p : r.start.curve) t += shortest(p.U) + "," + shortest(p.torque) + "\n";
  return t;
}

plot::Series series(std::string label, std::vector<plot::XY> points) {
  plot::Series s;
  s.label = std::move(label);
  s.points = std::move(points);
  s.markers = false;
  return s;
}

// Calls add(res, who) for the blade r and, when there is one, for g, the blade it is compared
// with; `who` names the blade ("NAME, ") when there are two.
template <typename Add>
void each_blade(const Result& r, const Result* g, const Add& add) {
  add(r, g != nullptr ? r.name + ", " : "");
  if (g != nullptr) add(*g, g->name + ", ");
}

// Coefficient q (0 cp, 1 ct, 2 cq) against the tip speed ratio, one curve per pitch and blade.
plot::Chart coefficient_chart(const Result& r, const Result* g, int q) {
  static const char* const kNames[] = {"power coefficient CP", "thrust coefficient CT",
                                       "torque coefficient CQ"};
  plot::Chart c = plot::titled(std::string(kNames[q]) + " against tip speed ratio",
                               "tip speed ratio", kNames[q], true);
  each_blade(r, g, [&](const Result& res, const std::string& who) {
    std::vector<double> pitches;
    for (const auto& p : res.curve) {
      if (std::find(pitches.begin(), pitches.end(), p.pitch) == pitches.end()) {
        pitches.push_back(p.pitch);
      }
    }
    for (double th : pitches) {
      std::vector<plot::XY> pts;
      for (const auto& p : res.curve) {
        if (p.pitch == th) pts.push_back({p.tsr, q == 0 ? p.cp : q == 1 ? p.ct : p.cq});
      }
      c.series.push_back(series(who + "pitch " + fixed(th, 1) + " deg", pts));
    }
  });
  if (q == 0) {
    c.ref_lines.push_back({"Betz limit 16/27", 16.0 / 27.0});
    c.caption.push_back("best CP " + fixed(r.best.cp, 4) + " at tip speed ratio " +
                        fixed(r.best.tsr, 2) + ", pitch " + fixed(r.best.pitch, 1) + " deg");
  }
  return c;
}

plot::Chart power_chart(const Result& r, const Result* g) {
  plot::Chart c = plot::titled("power curve", "wind speed U (m/s)", "rotor power P (W)", true);
  each_blade(r, g, [&](const Result& res, const std::string& who) {
    for (const auto& y : res.yields) {
      std::vector<plot::XY> pts;
      for (const auto& row : y.rows) pts.push_back({row.wind, row.power});
      c.series.push_back(series(who + "type " + std::to_string(y.type), pts));
    }
  });
  return c;
}

plot::Chart start_chart(const Result& r, const Result* g) {
  plot::Chart c =
      plot::titled("torque of the standing rotor", "wind speed U (m/s)", "torque (N m)", true);
  each_blade(r, g, [&](const Result& res, const std::string& who) {
    std::vector<plot::XY> pts;
    for (const auto& p : res.start.curve) pts.push_back({p.U, p.torque});
    c.series.push_back(series(who + "standing rotor", pts));
  });
  if (r.start.resisting) c.ref_lines.push_back({"resisting torque", *r.start.resisting});
  return c;
}

plot::Chart shape_chart(const Result& r, const Result* g, bool chord) {
  plot::Chart c = plot::titled(chord ? "chord" : "twist (setting angle included)", "radius r (m)",
                               chord ? "chord (m)" : "twist (deg)", chord);
  const auto add = [&](const Result& res) {
    std::vector<plot::XY> pts;
    for (const auto& s : res.file.stations) {
      pts.push_back({s.r, chord ? s.chord : s.twist + res.file.setting_angle});
    }
    plot::Series se = series(res.name, pts);
    se.markers = true;
    c.series.push_back(se);
  };
  add(r);
  if (g != nullptr) add(*g);
  return c;
}

std::string figures(const Result& r, const Options& o) {
  std::string t = "<table>\n";
  const auto& b = r.blade;
  t += plot::table_row("blades", std::to_string(b.Numb));
  t += plot::table_row("hub, tip radius", fixed(b.rhub, 4) + " m, " + fixed(b.rtip, 4) + " m");
  t += plot::table_row("elements", std::to_string(b.nbe));
  t += plot::table_row("sections", section_list(b));
  for (const auto& s : b.sections) {
    if (s.cylinder) {
      t += plot::table_row("cylinder drag", fixed(s.cylinder_cd, 2) + " (" + s.cd_source + ")");
    }
  }
  t += plot::table_row("best CP", fixed(r.best.cp, 4) + " at tip speed ratio " +
                                      fixed(r.best.tsr, 2) + ", pitch " + fixed(r.best.pitch, 1) +
                                      " deg (wind " + fixed(o.wind, 2) + " m/s)");
  for (const auto& y : r.yields) {
    t += plot::table_row("type " + std::to_string(y.type) + ": " + plot::type_name(y.type),
                         fixed(y.average_power, 2) + " W, " + fixed(y.annual_energy, 2) +
                             " kW h (the session's table)");
    t +=
        plot::table_row("type " + std::to_string(y.type) + ": yearly energy",
                        fixed(y.energy, 2) + " kW h, electrical " + fixed(y.average_electrical, 2) +
                            " W, capacity factor " + fixed(y.capacity_factor, 4));
  }
  if (r.start.resisting) {
    t += plot::table_row("start-up",
                         r.start.start_wind
                             ? fixed(*r.start.start_wind, 2) + " m/s against " +
                                   fixed(*r.start.resisting, 3) + " N m"
                             : "not below 25 m/s against " + fixed(*r.start.resisting, 3) + " N m");
  }
  return t + "</table>\n";
}

}  // namespace

std::string energy_table(const analysis::Yield& y) {
  std::string t = textio::free_record(std::array<textio::Out, 1>{header_of(y.type)}) + kEnd;
  t += textio::free_record({}) + kEnd;
  for (const auto& row : y.rows) {
    t += (y.type == 4 ? sweep::row_text(row.wind, row.tsr, row.cp, row.power, row.rpm, row.angle)
                      : sweep::row_text(row.wind, row.tsr, row.cp, row.power, row.rpm)) +
         kEnd;
  }
  t += textio::free_record({}) + kEnd;
  t += energy::power_line(y.average_power) + kEnd;
  t += textio::free_record({}) + kEnd;
  t += energy::energy_line(y.annual_energy) + kEnd;
  return t;
}

void print_summary(const Result& r, const Result* g, const Options& o, std::ostream& out) {
  const auto& b = r.blade;
  out << r.name << ": " << b.Numb << " blades, hub " << fixed(b.rhub, 4) << " m, tip "
      << fixed(b.rtip, 4) << " m, " << b.nbe << " elements, sections " << section_list(b) << '\n';
  out << "best CP " << fixed(r.best.cp, 4) << " at tip speed ratio " << fixed(r.best.tsr, 2)
      << " (pitch " << fixed(r.best.pitch, 1) << " deg, wind " << fixed(o.wind, 2) << " m/s)\n";
  for (const auto& y : r.yields) {
    out << "type " << y.type << ", " << plot::type_name(y.type) << ": " << fixed(y.average_power, 2)
        << " W, " << fixed(y.annual_energy, 2) << " kW h a year (Rayleigh, 8700 h)\n";
  }
  out << "yearly energy: " << fixed(r.yields.front().energy, 2) << " kW h (" << wind_text(o)
      << ", availability " << fixed(o.site.availability, 3) << ", " << fixed(o.site.hours, 0)
      << " h), capacity factor " << fixed(r.yields.front().capacity_factor, 4) << '\n';
  if (r.start.resisting) {
    out << "start-up against " << fixed(*r.start.resisting, 3) << " N m: "
        << (r.start.start_wind ? fixed(*r.start.start_wind, 2) + " m/s"
                               : std::string("not below 25 m/s"))
        << '\n';
  }
  if (g != nullptr) {
    const double e0 = best_energy(r), e1 = best_energy(*g);
    out << "reshaped: best CP " << fixed(g->best.cp, 4) << " (was " << fixed(r.best.cp, 4)
        << "), yearly energy " << fixed(e1, 2) << " kW h (was " << fixed(e0, 2)
        << "): " << fixed(e0 != 0.0 ? (e0 - e1) / e0 * 100.0 : 0.0, 2) << " % lost\n";
  }
}

void write_outputs(const Result& r, const Result* g, const Options& o,
                   const std::filesystem::path& to, std::ostream& out) {
  const std::string shown = std::string(analyse_run::kOutputDir) + "/" + r.name;
  const auto put = [&](const std::string& name, const std::string& text) {
    whole_file::write(to / name, text);
    out << "wrote " << shown << "/" << name << '\n';
  };
  put("cp_tsr.csv", cp_csv(r));
  put("elements.csv", elements_csv(r));
  put("power_curve.csv", power_csv(r, o));
  put("start_up.csv", start_csv(r));
  for (const auto& y : r.yields) put("energy" + std::to_string(y.type) + ".out", energy_table(y));
  if (g != nullptr) put("reshaped_cp_tsr.csv", cp_csv(*g));
  const std::array<std::pair<const char*, plot::Chart>, 7> charts = {{
      {"cp-tsr.svg", coefficient_chart(r, g, 0)},
      {"ct-tsr.svg", coefficient_chart(r, g, 1)},
      {"cq-tsr.svg", coefficient_chart(r, g, 2)},
      {"power.svg", power_chart(r, g)},
      {"start-up.svg", start_chart(r, g)},
      {"chord.svg", shape_chart(r, g, true)},
      {"twist.svg", shape_chart(r, g, false)},
  }};
  // Its bar climbs from Result/analysis/NAME/ to Result/ (sibling_nav counts the folders of self).
  const std::string self = "analysis/" + r.name + "/index.html";
  std::string page = plot::page_head("analysis of blade " + r.name);
  page += plot::sibling_nav(
      plot::with_page(plot::sibling_pages(o.dir), {self, "analysis " + r.name}), self);
  page += figures(r, o);
  if (g != nullptr) {
    const double e0 = best_energy(r), e1 = best_energy(*g);
    page += "<h2>Reshaped for making</h2>\n<table>\n";
    page += plot::table_row("best CP", fixed(g->best.cp, 4) + " (was " + fixed(r.best.cp, 4) + ")");
    page += plot::table_row("yearly energy", fixed(e1, 2) + " kW h (was " + fixed(e0, 2) + ")");
    page +=
        plot::table_row("energy lost", fixed(e0 != 0.0 ? (e0 - e1) / e0 * 100.0 : 0.0, 2) + " %");
    page += "</table>\n";
  }
  page +=
      "<p>Model: blade element momentum with Prandtl's tip loss; start-up from the standing "
      "rotor's lift beyond stall (Viterna-Corrigan to a flat plate), without induction, "
      "friction or the rotor's inertia.</p>\n";
  page += "<p>Tables: ";
  for (const char* f : {"cp_tsr.csv", "elements.csv", "power_curve.csv", "start_up.csv"}) {
    page += "<a href=\"" + std::string(f) + "\">" + f + "</a> ";
  }
  page += "</p>\n";
  for (const auto& [file, chart] : charts) {
    put(file, plot::render(chart));
    page += "<figure><img src=\"" + std::string(file) + "\" alt=\"" +
            plot::escape_xml(chart.title) + "\"/></figure>\n";
  }
  page += "</body>\n</html>\n";
  put("index.html", page);
  plot::write_pages_script(o.dir);
}

}  // namespace analyse_report
