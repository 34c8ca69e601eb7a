#include "analyse/analysis.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

#include "aerofoil/polar.h"
#include "aerofoil/post_stall.h"
#include "performance/energy.h"
#include "util/number_text.h"
#include "util/parallel.h"
#include "util/shared.h"

namespace analysis {
namespace {

using shared::kPi;

CurvePoint solve_point(const blade::Blade& b, const std::vector<const aerofoil::Polar*>& polars,
                       double U, double tsr, double pitch,
                       std::vector<calc_mod::ElementState>& states, std::vector<double>& alpha) {
  states.assign(b.r.size(), {});
  alpha.assign(b.r.size(), 0.0);
  CurvePoint p{tsr, pitch, 0.0, 0.0, 0.0};
  calc_mod::calc_elements(calc_mod::blade_inputs(b, polars, U, tsr, pitch), alpha, p.cp, states);
  const double B = static_cast<double>(b.Numb);
  double ct = 0.0;
  for (std::size_t i = 0; i < states.size(); ++i) {
    const calc_mod::ElementState& e = states[i];
    if (e.end == calc_mod::ElementEnd::kUnloaded || e.end == calc_mod::ElementEnd::kNoBlade) {
      continue;
    }
    ct += B * e.W * e.W * b.chord[i] * blade::element_width(b, i) *
          (e.cl * e.cphi + e.cd * e.sphi) / kPi;
  }
  p.ct = ct;
  p.cq = tsr != 0.0 ? p.cp / tsr : 0.0;
  return p;
}

// Chord (m) and twist (deg) of the file's stations at radius r (m), linear between stations and
// held beyond the ends.
double station_value(const blade_file::File& f, double r, bool chord) {
  const auto& s = f.stations;
  const auto v = [chord](const blade_file::Station& st) { return chord ? st.chord : st.twist; };
  if (r <= s.front().r) return v(s.front());
  if (r >= s.back().r) return v(s.back());
  std::size_t j = 1;
  while (s[j].r < r) ++j;
  const double t = (r - s[j - 1].r) / (s[j].r - s[j - 1].r);
  return (1.0 - t) * v(s[j - 1]) + t * v(s[j]);
}

}  // namespace

CurvePoint curve_point(const blade::Blade& b, double U, double tsr, double pitch,
                       std::vector<calc_mod::ElementState>* states) {
  const auto polars = blade::element_polars(b);
  std::vector<calc_mod::ElementState> s;
  std::vector<double> alpha;
  const CurvePoint p = solve_point(b, polars, U, tsr, pitch, s, alpha);
  if (states != nullptr) *states = std::move(s);
  return p;
}

std::vector<CurvePoint> curve(const blade::Blade& b, double U, const std::vector<double>& tsrs,
                              const std::vector<double>& pitches) {
  const auto polars = blade::element_polars(b);
  std::vector<CurvePoint> out(tsrs.size() * pitches.size());
  std::atomic<std::size_t> next{0};
  parallel::on_workers([&](unsigned) {
    std::vector<calc_mod::ElementState> states;
    std::vector<double> alpha;
    for (std::size_t k = next++; k < out.size(); k = next++) {
      const double pitch = pitches[k / tsrs.size()];
      const double tsr = tsrs[k % tsrs.size()];
      out[k] = solve_point(b, polars, U, tsr, pitch, states, alpha);
    }
  });
  return out;
}

std::vector<double> ratio_range(double from, double to, double step) {
  std::vector<double> out;
  if (!(step > 0.0) || !(to >= from)) return out;
  const auto n = static_cast<std::int64_t>(std::floor((to - from) / step + 1e-6));
  for (std::int64_t i = 0; i <= n; ++i) out.push_back(from + static_cast<double>(i) * step);
  return out;
}

double weibull(double U, double k, double c) {
  if (!(U > 0.0)) return 0.0;
  const double x = U / c;
  return k / c * std::pow(x, k - 1.0) * std::exp(-std::pow(x, k));
}

double weibull_scale(double k, double mean) {
  return mean / std::tgamma(1.0 + 1.0 / k);
}

double Drivetrain::electrical(double P) const {
  if (!(P > 0.0)) return P;  // a rotor driven by the grid: its own loss is not modelled
  if (table.empty()) return efficiency * P;
  if (P <= table.front().first) return table.front().second * P;
  if (P >= table.back().first) return table.back().second * P;
  std::size_t j = 1;
  while (table[j].first < P) ++j;
  const double t = (P - table[j - 1].first) / (table[j].first - table[j - 1].first);
  return ((1.0 - t) * table[j - 1].second + t * table[j].second) * P;
}

std::vector<Yield> yields(const blade::Blade& b, const SiteSettings& s) {
  std::vector<Yield> out;
  const auto add = [&](int type, const sweep::Rows& rows) {
    Yield y;
    y.type = type;
    y.rows = rows;
    y.average_power = sweep::site_average_power(s.site, rows);
    y.annual_energy = energy::annual_energy(y.average_power);
    const double Uh = energy::hub_wind(s.site.Umid, s.site.h);
    // The chosen wind's density at each of the 23 speeds, in the trapezoid of the core's tables.
    double first = 0.0, last = 0.0, sum = 0.0;
    for (std::size_t j = 0; j < rows.size(); ++j) {
      const double U = rows[j].wind;
      const double f = s.wind.weibull ? weibull(U, s.wind.k, s.wind.c) : energy::rayleigh(U, Uh);
      const double Pe = s.drivetrain.electrical(rows[j].power);
      y.rated = std::max(y.rated, Pe);
      const double w = Pe * f;
      if (j == 0) {
        first = w;
      } else if (j + 1 == rows.size()) {
        last = w;
      } else {
        sum += w;
      }
    }
    y.average_electrical = (s.site.Ucout - s.site.Ucin) * (2.0 * sum + first + last) / 22.0 / 2.0;
    y.energy = y.average_electrical * s.availability * s.hours / 1000.0;
    y.capacity_factor = y.rated > 0.0 ? y.energy * 1000.0 / (y.rated * s.hours) : 0.0;
    out.push_back(y);
  };
  add(1, sweep::variable_speed_rows(b, s.site));
  if (s.two_speed) add(2, sweep::two_speed_rows(b, s.site, *s.two_speed));
  if (s.constant_speed) add(3, sweep::constant_speed_rows(b, s.site, *s.constant_speed));
  if (s.pitch_speed && s.power_limit) {
    add(4, sweep::pitch_rows(b, s.site, *s.pitch_speed, *s.power_limit));
  }
  return out;
}

StartUp start_up(const blade::Blade& b, double rho, std::optional<double> resisting) {
  StartUp out;
  out.resisting = resisting;
  // Aspect ratio of the blade: span squared over its planform area.
  const double R = b.rtip;
  double area = 0.0;
  for (std::size_t i = 0; i < b.r.size(); ++i) {
    area += b.chord[i] * R * blade::element_width(b, i) * R;
  }
  const double root = b.r.empty() ? 0.0 : (b.r.front() - blade::element_width(b, 0) / 2.0) * R;
  const double span = R - root;
  const double cd_max = aerofoil::flat_plate_cd_max(area > 0.0 ? span * span / area : 0.0);
  // The post-stall extension reads the loaded tables: each element's section is loaded in turn
  // and the tables of the run are put back afterwards.
  const aerofoil::Polar kept = aerofoil::loaded_polar();
  for (double U = 0.5; U <= 25.0 + 1e-9; U += 0.25) {
    const double q = 0.5 * rho * U * U;
    double torque = 0.0;
    const aerofoil::Polar* on = nullptr;
    for (std::size_t i = 0; i < b.r.size(); ++i) {
      const blade::Section* s = blade::element_section(b, i);
      const double c = b.chord[i] * R;
      if (!calc_mod::has_blade(b.chord[i])) continue;
      double cl = 0.0;
      if (s == nullptr || !s->cylinder) {
        const aerofoil::Polar* p = s != nullptr ? s->polar.get() : nullptr;
        if (p != nullptr && p != on) {
          aerofoil::load(*p);
          on = p;
        } else if (p == nullptr && on != nullptr) {
          aerofoil::load(kept);
          on = nullptr;
        }
        const double alpha = 90.0 - b.twist[i];
        cl = aerofoil::landd_extended(alpha, U * c / calc_mod::kNu, cd_max).cl;
      }
      // Met along the axis (inflow angle 90 deg): the lift alone turns the rotor, the drag
      // pushes it downwind.
      torque += q * c * cl * b.r[i] * R * blade::element_width(b, i) * R;
    }
    out.curve.push_back({U, static_cast<double>(b.Numb) * torque});
  }
  aerofoil::load(kept);
  if (resisting) {
    for (std::size_t j = 0; j < out.curve.size(); ++j) {
      if (out.curve[j].torque >= *resisting) {
        if (j == 0) {
          out.start_wind = out.curve[0].U;
        } else {
          const StartPoint& a = out.curve[j - 1];
          const StartPoint& c = out.curve[j];
          out.start_wind = a.U + (c.U - a.U) * (*resisting - a.torque) / (c.torque - a.torque);
        }
        break;
      }
    }
  }
  return out;
}

blade_file::File reshape(const blade_file::File& f, const Reshape& r) {
  blade_file::File out = f;
  auto& st = out.stations;
  const double tip = f.stations.back().r;
  const auto m = [](double v) { return number_text::fixed(v, 4); };
  if (r.root_cut) {
    const double R = *r.root_cut;
    if (!(R < tip) || !(R >= f.hub_radius)) {
      throw std::invalid_argument("--root-cut " + m(R) + " m lies outside the blade (hub " +
                                  m(f.hub_radius) + " m, tip " + m(tip) + " m)");
    }
    if (R > st.front().r) {
      blade_file::Station cut{R, station_value(f, R, true), station_value(f, R, false), "", 0};
      std::size_t j = 0;
      while (st[j].r <= R) ++j;
      // The section of the nearer station.
      cut.section = (R - st[j - 1].r) <= (st[j].r - R) ? st[j - 1].section : st[j].section;
      if (st[j - 1].r == R) cut = st[j - 1];
      st.erase(st.begin(), st.begin() + static_cast<std::ptrdiff_t>(j));
      st.insert(st.begin(), cut);
    }
  }
  const blade_file::File cut_file = out;
  const auto line = [&](std::pair<double, double> x, bool chord) {
    const double r1 = x.first * tip, r2 = x.second * tip;
    if (!(r2 > r1)) {
      throw std::invalid_argument(std::string(chord ? "--linear-chord" : "--linear-twist") +
                                  ": the second radius must lie beyond the first");
    }
    const double v1 = station_value(cut_file, r1, chord), v2 = station_value(cut_file, r2, chord);
    for (auto& s : st) {
      const double v = v1 + (v2 - v1) * (s.r - r1) / (r2 - r1);
      (chord ? s.chord : s.twist) = v;
    }
  };
  if (r.linear_chord) line(*r.linear_chord, true);
  if (r.linear_twist) line(*r.linear_twist, false);
  if (r.min_chord) {
    for (auto& s : st) s.chord = std::max(s.chord, *r.min_chord);
  }
  for (const auto& s : st) {
    if (!(s.chord > 0.0)) {
      throw std::invalid_argument("the reshaped chord falls to " + m(s.chord) + " m at r = " +
                                  m(s.r) + " m: give --min-chord, or other --linear-chord radii");
    }
  }
  return out;
}

}  // namespace analysis
