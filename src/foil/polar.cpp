#include "foil/polar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "foil/section.h"
#include "util/enum_names.h"
#include "util/number_text.h"

namespace foil {

using number_text::general;

namespace {

// Angles compared after arithmetic on them are compared with this slack; XFOIL writes angles to
// three decimals, so no two distinct angles come closer.
constexpr double kSlack = 1e-9;

double sign_of(Direction d) {
  return d == Direction::Up ? 1.0 : -1.0;
}

std::map<double, PolarPoint> by_angle(const Points& points) {
  std::map<double, PolarPoint> m;
  for (const PolarPoint& p : points) m.emplace(p.alpha, p);
  return m;
}

}  // namespace

std::vector<double> contiguous(const Points& points, Direction direction, const Rules& rules) {
  const double sign = sign_of(direction);
  std::vector<double> alphas;
  for (const PolarPoint& p : points) {
    if (sign * p.alpha >= 0.0) alphas.push_back(p.alpha);
  }
  std::sort(alphas.begin(), alphas.end(),
            [sign](double a, double b) { return sign * a < sign * b; });
  std::vector<double> out;
  double last = 0.0;
  for (double a : alphas) {
    if (std::abs(a - last) > rules.max_gap + kSlack) break;
    out.push_back(a);
    last = a;
  }
  return out;
}

namespace {

// The walk outwards over `range` keeping the running extreme of the lift (measured away from
// zero by `lift`) until it comes back `drop` from it. With `past_dips`, a drop that the points
// further out climb back above is walked past; `dips` counts those.
Stall walk(const std::vector<double>& range, const std::function<double(double)>& lift, double drop,
           bool past_dips, int& dips) {
  Stall s{range.front(), false};
  dips = 0;
  for (std::size_t i = 0; i < range.size(); ++i) {
    const double c = lift(range[i]);
    const double best = lift(s.alpha);
    if (c > best) {
      s.alpha = range[i];
      s.confirmed = false;
    } else if (!s.confirmed && c <= best - drop) {
      s.confirmed = true;
      const bool recovers =
          past_dips && std::any_of(range.begin() + static_cast<std::ptrdiff_t>(i) + 1, range.end(),
                                   [&](double b) { return lift(b) > best; });
      if (!recovers) break;
      ++dips;
    }
  }
  return s;
}

}  // namespace

std::optional<Stall> stall(const Points& points, Direction direction, const Rules& rules) {
  std::vector<double> range = contiguous(points, direction, rules);
  if (direction == Direction::Up) {
    std::erase_if(range, [&](double a) { return a > rules.alpha_cap + kSlack; });
  }
  if (range.empty()) return std::nullopt;
  const auto by = by_angle(points);
  // Lift measured away from zero on this side: up the lift itself, down its negative.
  const double sign = sign_of(direction);
  const auto lift = [&](double a) { return sign * by.at(a).cl; };
  int dips = 0;
  const Stall first = walk(range, lift, rules.stall_drop, false, dips);
  if (direction == Direction::Down || !first.confirmed) return first;
  // Going up, a laminar separation bubble that bursts and reattaches makes the lift dip and
  // climb on: XFOIL converged beyond it, so the dip is no stall. It is taken as one only where
  // the section works as a lifting section up to it (a lift-to-drag ratio of at least
  // dip_lift_to_drag) and the lift dips once: a lift that falls and climbs again and again
  // (XFOIL's erratic answers on a section in laminar separation) keeps its first drop as stall.
  // Going down, the lift past a negative stall grows again in magnitude as the flow separates
  // on the lower side: that is stall, and the first drop stands.
  const Stall past = walk(range, lift, rules.stall_drop, true, dips);
  if (dips != 1) return first;
  double ld = 0.0;
  for (double a : range) {
    if (a > first.alpha + kSlack) break;
    const PolarPoint& p = by.at(a);
    if (p.cd > 0.0) ld = std::max(ld, p.cl / p.cd);
  }
  return ld >= rules.dip_lift_to_drag ? past : first;
}

bool side_ok(const Points& points, Direction direction, const Rules& rules) {
  const auto s = stall(points, direction, rules);
  if (!s) return false;
  if (s->confirmed) return true;
  const auto range = contiguous(points, direction, rules);
  return direction == Direction::Up ? range.back() >= rules.up_wanted
                                    : range.back() <= rules.down_wanted;
}

double side_width(const Points& points, Direction direction, const Rules& rules) {
  const auto range = contiguous(points, direction, rules);
  return range.empty() ? -1.0 : std::abs(range.back());
}

std::optional<double> beyond_gap(const Points& points, Direction direction, const Rules& rules) {
  const auto range = contiguous(points, direction, rules);
  const double sign = sign_of(direction);
  const double end = range.empty() ? 0.0 : range.back();
  const double wanted = direction == Direction::Up ? rules.up_wanted : rules.down_wanted;
  std::optional<double> next;
  for (const PolarPoint& p : points) {
    const double a = sign * p.alpha;
    if (a > sign * end + kSlack && a <= sign * wanted + kSlack && (!next || a < sign * *next)) {
      next = p.alpha;
    }
  }
  return next;
}

Coefficients viterna(double alpha_s, double cl_s, double cd_s, double alpha, double aspect_ratio) {
  return aerofoil::viterna(alpha_s, cl_s, cd_s, alpha, aerofoil::flat_plate_cd_max(aspect_ratio));
}

Block build_block(const Points& up, const Points& down, const Rules& rules, BlockInfo& info) {
  // Both sweeps start at 0 degrees: the down sweep's walk begins at the up sweep's first point.
  Points down_with_zero;
  for (const PolarPoint& p : down) {
    if (p.alpha != 0.0) down_with_zero.push_back(p);
  }
  bool zero_in_down = false;
  for (const PolarPoint& p : down) zero_in_down = zero_in_down || p.alpha == 0.0;
  const auto up_zero =
      std::find_if(up.begin(), up.end(), [](const PolarPoint& p) { return p.alpha == 0.0; });
  if (up_zero != up.end()) {
    down_with_zero.push_back(*up_zero);
  } else if (zero_in_down) {
    for (const PolarPoint& p : down) {
      if (p.alpha == 0.0) down_with_zero.push_back(p);
    }
  }
  const auto pos = stall(up, Direction::Up, rules);
  const auto neg = stall(down_with_zero, Direction::Down, rules);
  if (!pos || !neg) {
    throw Error(std::string("no converged point within ") + (pos ? "the down" : "the up") +
                " sweep's first degree");
  }
  // Where both sweeps hold an angle, the up sweep's point is taken.
  std::map<double, PolarPoint> pts = by_angle(down);
  for (const PolarPoint& p : up) pts.insert_or_assign(p.alpha, p);

  std::vector<double> used;
  for (double a : contiguous(up, Direction::Up, rules)) used.push_back(a);
  for (double a : contiguous(down_with_zero, Direction::Down, rules)) used.push_back(a);
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  std::erase_if(used,
                [&](double a) { return !(neg->alpha - kSlack <= a && a <= pos->alpha + kSlack); });

  Block block{};
  for (int r = 0; r < kRows; ++r) {
    const int alpha = kFirstAngle + r;
    Row& row = block[r];
    row.alpha = alpha;
    if (alpha > pos->alpha) {
      const PolarPoint& s = pts.at(pos->alpha);
      const auto c = viterna(pos->alpha, s.cl, s.cd, alpha);
      row.cl = c.cl;
      row.cd = c.cd;
    } else if (alpha < neg->alpha) {
      const PolarPoint& s = pts.at(neg->alpha);
      const auto c = viterna(neg->alpha, s.cl, s.cd, alpha);
      row.cl = c.cl;
      row.cd = c.cd;
    } else {
      // (Both stall angles are among the angles used, so a row here has one at or below it.)
      std::size_t k = 1;
      while (k + 1 < used.size() && used[k] < alpha) ++k;
      const double a0 = used[k - 1], a1 = used[std::min(k, used.size() - 1)];
      const PolarPoint& p0 = pts.at(a0);
      const PolarPoint& p1 = pts.at(a1);
      if (std::abs(alpha - a0) < kSlack) {
        row.cl = p0.cl;
        row.cd = p0.cd;
      } else {
        const double t = (alpha - a0) / (a1 - a0);
        row.cl = (1 - t) * p0.cl + t * p1.cl;
        row.cd = (1 - t) * p0.cd + t * p1.cd;
      }
    }
  }
  info.positive = *pos;
  info.negative = *neg;
  const auto up_range = contiguous(up, Direction::Up, rules);
  const auto down_range = contiguous(down_with_zero, Direction::Down, rules);
  info.reach_up = up_range.empty() ? 0.0 : up_range.back();
  info.reach_down = down_range.empty() ? 0.0 : down_range.back();
  info.first = used.front();
  info.last = used.back();
  return block;
}

BlockFigures block_figures(const Block& block) {
  BlockFigures f;
  for (std::size_t r = 0; r < block.size(); ++r) {
    const Row& row = block[r];
    const auto raise = [&](Peak& p, double value) {
      if (r == 0 || value > p.value) p = {value, row.alpha};
    };
    raise(f.cl_max, row.cl);
    raise(f.ld_max, row.cl / row.cd);
  }
  return f;
}

std::string unusable(const Block& block, const BlockInfo& info) {
  std::string why;
  auto add = [&why](const char* reason) { why += (why.empty() ? "" : ", ") + std::string(reason); };
  if (block[5 - kFirstAngle].cl <= block[0 - kFirstAngle].cl) add("CL(5) <= CL(0)");
  if (block_figures(block).ld_max.value < kPoorLiftToDrag) add("max L/D < 5");
  if (info.positive.alpha < 6.0) add("stall angle < 6 deg");
  return why;
}

std::vector<FilledRows> fill_short_sides(Block& block, const BlockInfo& info, const Rules& rules) {
  std::vector<FilledRows> runs;
  const bool down_short = !info.negative.confirmed && info.reach_down > rules.down_wanted + kSlack;
  const bool up_short = !info.positive.confirmed && info.reach_up < rules.up_wanted - kSlack;
  if (down_short) {
    const int last = static_cast<int>(std::ceil(info.negative.alpha - kSlack)) - 1;
    const int first = static_cast<int>(std::ceil(rules.down_wanted - kSlack));
    if (first <= last) runs.push_back({first, last, info.negative.alpha});
  }
  if (up_short) {
    const int first = static_cast<int>(std::floor(info.positive.alpha + kSlack)) + 1;
    const int last = static_cast<int>(std::floor(rules.up_wanted + kSlack));
    if (first <= last) runs.push_back({first, last, info.positive.alpha});
  }
  // The best lift-to-drag ratio of the rows XFOIL gave, each side on its own sign of lift.
  double best = 0.0;
  for (const Row& r : block) {
    if (r.alpha >= info.first - kSlack && r.alpha <= info.last + kSlack) {
      best = std::max(best, std::abs(r.cl / r.cd));
    }
  }
  for (const FilledRows& run : runs) {
    for (int a = run.first; a <= run.last; ++a) {
      Row& r = block[static_cast<std::size_t>(a - kFirstAngle)];
      if (best > 0.0 && std::abs(r.cl / r.cd) > best) r.cd = std::abs(r.cl) / best;
    }
  }
  return runs;
}

RowSource row_source(const BlockInfo& info, const std::vector<FilledRows>& filled, int alpha) {
  for (const FilledRows& f : filled) {
    if (f.first <= alpha && alpha <= f.last) return RowSource::Filled;
  }
  return info.negative.alpha - kSlack <= alpha && alpha <= info.positive.alpha + kSlack
             ? RowSource::Xfoil
             : RowSource::Extension;
}

const char* row_source_name(RowSource source) {
  static constexpr enum_names::Named<RowSource> kNames[] = {
      {RowSource::Xfoil, "XFOIL"}, {RowSource::Extension, "V-C"}, {RowSource::Filled, "filled"}};
  return enum_names::name(source, kNames, "");
}

std::string impossible(double cl, double cd) {
  if (!std::isfinite(cl) || !std::isfinite(cd)) return "Cl " + general(cl) + ", Cd " + general(cd);
  if (!(cd > 0.0)) return "Cd " + general(cd) + " (drag must be positive)";
  if (cd > kMaxDrag) return "Cd " + general(cd) + " (above " + general(kMaxDrag) + ")";
  if (std::abs(cl) > kMaxAbsLift)
    return "Cl " + general(cl) + " (|Cl| above " + general(kMaxAbsLift) + ")";
  if (std::abs(cl / cd) > kMaxLiftToDrag) {
    return "Cl/Cd " + general(cl / cd) + " (|L/D| above " + general(kMaxLiftToDrag) + ")";
  }
  return "";
}

}  // namespace foil
