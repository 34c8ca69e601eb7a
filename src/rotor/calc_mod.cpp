#include "rotor/calc_mod.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "aerofoil/aerofoil.h"
#include "aerofoil/polar.h"

namespace calc_mod {
namespace {

// Number of elements that can be computed: nbe, but never more than the arrays hold.
std::size_t element_count(std::int64_t nbe, std::size_t r, std::size_t twist, std::size_t chord,
                          std::size_t alpha) {
  if (nbe < 1) return 0;
  return std::min({static_cast<std::size_t>(nbe), r, twist, chord, alpha});
}

// The element's section and tip loss: the loaded tables and the tip-loss factor unless the
// element names its own.
aerofoil::ReBlend blend_of(const Element& e, double re) {
  return e.polar != nullptr ? aerofoil::re_blend(*e.polar, re) : aerofoil::re_blend(re);
}

void lookup(const Element& e, const aerofoil::ReBlend& b, double alpha, double& cl, double& cd) {
  if (e.polar != nullptr) {
    aerofoil::landd_blend(*e.polar, b, alpha, cl, cd);
  } else {
    aerofoil::landd_blend(b, alpha, cl, cd);
  }
}

double loss(const Element& e, double f) {
  return e.tip_loss ? tip_loss(f) : 1.0;
}

// ---------------------------------------------------------------------------------------------
// The bracketed search for an element's windmill state.
//
// A fixed point of the element iteration satisfies, at its inflow angle phi,
//   tan(phi) = (1 - a) / ((1 + a') lambda_r),
// with a and a' the iteration's own updates evaluated at phi. Given phi alone both follow: a'
// directly from its formula, and a from the balance of the local thrust coefficient
// CT = (1 - a)^2 k, k = sigma (Cl cos + Cd sin) / sin^2, with momentum, 4 F a (1 - a), up to
// CT = 0.96 F (a near 0.4) and with the high-induction fit beyond. Writing the definition of phi
// as a residual that stays finite where a' does not,
//   R(phi) = sin / (1 - a) - (cos - sigma (Cl sin - Cd cos) / (4 F sin)) / lambda_r,
// R tends to -inf as phi -> 0 (drag turns the tangential force against the rotation) and is
// positive at 90 degrees whenever the lift there is positive, so a root lies between. The
// Reynolds number is held fixed during one search and updated from the solution's relative speed
// (its effect on the coefficients is weak, so a few rounds settle it).

// Momentum gives CT = 4 F a (1 - a), which falls again beyond a = 0.5; the iteration's fixed
// points there (a >= 0.6 where CT drops back below 0.96 F) are the turbulent-wake states momentum
// cannot describe. In the high-induction region the fit
//   CT = ((50 - 36 F) a^2 + (36 F - 40) a + 8) / 9
// (whose inverse is the iteration's high-induction formula) rises monotonically from 0.96 F at
// a = 0.4 to 2 at a = 1, while (1 - a)^2 k falls, so the balance has one root in [0.4, 1].
double high_induction_balance(double F, double k) {
  // g(a) = A a^2 + Bq a + C, increasing through its root in [0.4, 1]: the root with
  // g' = +sqrt(D), taken in the form that does not cancel.
  const double A = (50.0 - 36.0 * F) / 9.0 - k;
  const double Bq = (36.0 * F - 40.0) / 9.0 + 2.0 * k;
  const double C = 8.0 / 9.0 - k;
  const double D = std::max(0.0, Bq * Bq - 4.0 * A * C);
  const double a = Bq >= 0.0 ? 2.0 * C / (-Bq - std::sqrt(D)) : (-Bq + std::sqrt(D)) / (2.0 * A);
  // The switch lies a few ulps below 0.4 (0.96 is single precision).
  return std::clamp(a, 0.4, 1.0);
}

struct AtAngle {
  double a;
  double ap;
  double residual;
};

// The factors that make phi a fixed point of the iteration, for a given Reynolds blend.
AtAngle at_angle(const Element& e, double phi, const aerofoil::ReBlend& blend) {
  const double s = std::sin(phi);
  const double c = std::cos(phi);
  const double F = loss(e, e.B * (1.0 - e.r) / s / 2.0);
  double cl, cd;
  lookup(e, blend, phi * 180.0 / kPi - e.setting, cl, cd);
  const double normal = cl * c + cd * s;
  const double tangential = cl * s - cd * c;
  const double k = e.sigma * normal / (s * s);
  double a = 1.0 / (4.0 * F * (s * s) / (e.sigma * normal) + 1.0);
  double inv_1ma;  // 1 / (1 - a), continuous through the momentum range
  if (k > 0.0 && (a > 0.5 || (1.0 - a) * (1.0 - a) * k > kHighInduction * F)) {
    a = high_induction_balance(F, k);
    inv_1ma = 1.0 / (1.0 - a);
  } else {
    inv_1ma = 1.0 + k / (4.0 * F);
  }
  const double ap = 1.0 / (4.0 * F * s * c / (e.sigma * tangential) - 1.0);
  const double residual = s * inv_1ma - (c - e.sigma * tangential / (4.0 * F * s)) / e.lr;
  return {a, ap, residual};
}

// A solution of the balance is a windmill state when the flow passes the rotor and meets the
// blade with a positive tangential speed. (It may lie closer to a = 1 or a' = -1 than the
// iteration can tell apart from those points: the balance resolves what the iteration cannot.)
bool windmill(double a, double ap) {
  return a < 1.0 && ap > -1.0;
}

// Inflow angles scanned for a sign change of R, from 90 degrees down: (j / 32)^2 of it, finer
// towards 0 where the heavily loaded solutions lie, then two angles far below any windmill state
// of a speed ratio up to 100 (below them the balance tends to the false state a = 1).
constexpr int kScanSteps = 32;
constexpr double kScanTail[] = {1.0e-4, 1.0e-6};

struct Root {
  bool found;
  double phi;
  AtAngle at;
};

// The root of R within a bracket [x_lo, x_hi] whose ends have residuals of opposite signs (or a
// zero one), by the Illinois variant of regula falsi: the bracket is kept, and an end that stays
// put twice has its residual halved, which keeps the convergence superlinear where plain regula
// falsi would creep. It ends when the bracket is a few ulps wide or a residual is exactly 0.
Root root_in(const Element& e, const aerofoil::ReBlend& blend, double x_lo, AtAngle s_lo,
             double x_hi, AtAngle s_hi) {
  double r_lo = s_lo.residual, r_hi = s_hi.residual;
  int side = 0;
  for (int n = 0; n < 200 && r_lo != 0.0 && r_hi != 0.0; ++n) {
    if (x_hi - x_lo <= 4.0 * std::numeric_limits<double>::epsilon() * x_hi) break;
    double x = x_hi - r_hi * (x_hi - x_lo) / (r_hi - r_lo);
    if (!(x > x_lo && x < x_hi)) x = x_lo + (x_hi - x_lo) / 2.0;
    const AtAngle m = at_angle(e, x, blend);
    if (std::isnan(m.residual)) return {false, x, m};
    if ((m.residual < 0.0) == (r_lo < 0.0)) {
      x_lo = x;
      s_lo = m;
      r_lo = m.residual;
      if (side == -1) r_hi /= 2.0;
      side = -1;
    } else {
      x_hi = x;
      s_hi = m;
      r_hi = m.residual;
      if (side == 1) r_lo /= 2.0;
      side = 1;
    }
  }
  return std::fabs(s_lo.residual) <= std::fabs(s_hi.residual) ? Root{true, x_lo, s_lo}
                                                              : Root{true, x_hi, s_hi};
}

bool sign_change(double r_hi, double r_lo) {
  return (r_hi > 0.0 && r_lo <= 0.0) || (r_hi < 0.0 && r_lo >= 0.0);
}

double scan_angle(int j) {
  const double q = static_cast<double>(j) / kScanSteps;
  return j >= 1 ? kHalfPiDouble * (q * q) : kScanTail[-j];
}

// The windmill state of the largest inflow angle (the least induced one) at a fixed Reynolds
// blend: scanning down from 90 degrees, the first bracket whose root is a windmill state.
// `bracket` (in/out) names the bracket [scan_angle(j), scan_angle(j + 1)] the root was found in;
// a later round of the Reynolds number, which moves the residual only slightly, tries that
// bracket first.
Root largest_angle_root(const Element& e, const aerofoil::ReBlend& blend, int& bracket) {
  if (bracket < kScanSteps) {
    const double phi_lo = scan_angle(bracket), phi_hi = scan_angle(bracket + 1);
    const AtAngle lo = at_angle(e, phi_lo, blend), hi = at_angle(e, phi_hi, blend);
    if (sign_change(hi.residual, lo.residual)) {
      const Root root = root_in(e, blend, phi_lo, lo, phi_hi, hi);
      if (root.found && windmill(root.at.a, root.at.ap)) return root;
    }
  }
  double phi_hi = kHalfPiDouble;
  AtAngle hi = at_angle(e, phi_hi, blend);
  for (int j = kScanSteps - 1; j >= -1; --j) {
    const double phi_lo = scan_angle(j);
    const AtAngle lo = at_angle(e, phi_lo, blend);
    if (sign_change(hi.residual, lo.residual)) {
      const Root root = root_in(e, blend, phi_lo, lo, phi_hi, hi);
      if (root.found && windmill(root.at.a, root.at.ap)) {
        bracket = j;
        return root;
      }
    }
    phi_hi = phi_lo;
    hi = lo;
  }
  return {false, 0.0, {}};
}

// Everything the element's power is taken from, evaluated from a pair of factors exactly as one
// pass of the iteration does.
struct Evaluation {
  double alpha, sphi, cphi, W, cl, cd;
  double phi, re;
};

Evaluation evaluate(const Element& e, double a, double ap) {
  Evaluation v;
  const double phi = std::atan((1.0 - a) / (1.0 + ap) / e.lr);
  v.sphi = std::sin(phi);
  v.cphi = std::cos(phi);
  v.alpha = phi * 180.0 / kPi - e.setting;
  const double vt = (1.0 + ap) * e.lr;
  v.W = std::sqrt((1.0 - a) * (1.0 - a) + vt * vt);
  v.phi = phi;
  v.re = e.U * v.W * e.chord * e.rtip / kNu;
  lookup(e, blend_of(e, v.re), v.alpha, v.cl, v.cd);
  return v;
}

// An element whose iteration ended outside the windmill state: its solution by the bracketed
// search, or, without one, no load. Kept out of line: the solver's loop only tests for it.
struct Mend {
  ElementEnd end;
  double a, ap;
  Evaluation v;
};

[[gnu::noinline, gnu::cold]] Mend mend_element(const Element& e, double a_start, double ap_start) {
  const Balance b = element_balance(e, a_start, ap_start);
  if (b.found) return {ElementEnd::kResolved, b.a, b.ap, evaluate(e, b.a, b.ap)};
  Mend m{ElementEnd::kUnloaded, a_start, ap_start, {}};
  m.v.alpha = undisturbed_alpha(e.lr, e.setting);
  return m;
}

// The solver proper. `walk` selects the lookup whose row search starts from the row of the
// element's previous iteration; it gives the plain lookup's result whenever the polar's angles
// never decrease, which the caller checks once per call.
// `custom` selects the blade of many sections, element widths and the tip-loss switch
// (Inputs::polars, widths, tip_loss); without it the loop is the designed blade's.
template <bool walk, bool custom>
void solve(const Inputs& in, std::size_t n, std::span<double> alpha, double& CP,
           std::span<std::int32_t> iterations, std::span<ElementTrace> trace,
           std::span<ElementState> states) {
  const double dr = in.dr;
  const double rtip = in.rtip;
  const std::span<const double> r = in.r;
  const std::span<const double> twist = in.twist;
  const std::span<const double> chord = in.chord;
  const double U = in.U;
  const double lambda = in.lambda;
  const double theta = in.theta;
  const double B = static_cast<double>(in.Numb);
  double cp = 0.0;
  // Induction factors, carried from one element to the next.
  double a = kStartA;
  double ap = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double ri = r[i];
    const double ci = chord[i];
    const double setting = twist[i] + theta;
    const double lr = lambda * ri;
    const double sigma = B * ci / kPi / ri / 2.0;
    if (!has_blade(ci)) [[unlikely]] {
      alpha[i] = undisturbed_alpha(lr, setting);
      if (i < iterations.size()) iterations[i] = 0;
      if (i < trace.size()) trace[i] = {ElementEnd::kNoBlade, false, a, ap, 0.0};
      if (i < states.size()) {
        states[i] = {
            ElementEnd::kNoBlade, 0, a, ap, 0.0, alpha[i], 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
      }
      continue;
    }
    const aerofoil::Polar* polar = nullptr;
    double dri = dr;
    if constexpr (custom) {
      if (!in.polars.empty()) polar = in.polars[i];
      if (!in.widths.empty()) dri = in.widths[i];
    }
    const double a_start = a;
    const double ap_start = ap;
    double phi = 0.0, sphi = 0.0, cphi = 0.0, W = 0.0, cl = 0.0, cd = 0.0, F = 0.0, re = 0.0;
    [[maybe_unused]] int row = 1;
    int it = 0;
    bool converged = false;
    while (it < kMaxIterations) {
      ++it;
      phi = std::atan((1.0 - a) / (1.0 + ap) / lr);
      sphi = std::sin(phi);
      cphi = std::cos(phi);
      if constexpr (custom) {
        F = in.tip_loss ? tip_loss(B * (1.0 - ri) / sphi / 2.0) : 1.0;
      } else {
        F = tip_loss(B * (1.0 - ri) / sphi / 2.0);
      }
      const double aoa = phi * 180.0 / kPi - setting;
      alpha[i] = aoa;
      const double va = (1.0 - a) * (1.0 - a);
      const double vt = (1.0 + ap) * lr;
      W = std::sqrt(va + vt * vt);
      re = U * W * ci * rtip / kNu;
      if constexpr (custom) {
        if (polar != nullptr) {
          aerofoil::landd(*polar, aoa, re, cl, cd);
        } else {
          aerofoil::landd(aoa, re, cl, cd);
        }
      } else if constexpr (walk) {
        const aerofoil::ReBlend blend = aerofoil::re_blend(re);
        aerofoil::landd_blend_from(blend, aoa, row, cl, cd);
      } else {
        aerofoil::landd_blend(aerofoil::re_blend(re), aoa, cl, cd);
      }
      const double normal = cl * cphi + cd * sphi;
      const double CT = (1.0 - a) * (1.0 - a) * sigma * normal / (sphi * sphi);
      double a_new;
      if (CT > kHighInduction * F) {
        a_new = (18.0 * F - 20.0 -
                 3.0 * std::sqrt(CT * (50.0 - 36.0 * F) + 12.0 * F * (3.0 * F - 4.0))) /
                (36.0 * F - 50.0);
      } else {
        a_new = 1.0 / (4.0 * F * (sphi * sphi) / (sigma * normal) + 1.0);
      }
      const double ap_new = 1.0 / (4.0 * F * sphi * cphi / (sigma * (cl * sphi - cd * cphi)) - 1.0);
      if (std::fabs(a - a_new) < kTolA && std::fabs(ap - ap_new) < kTolAp) {
        converged = true;
        break;
      }
      a = (a + a_new) / 2.0;
      ap = (ap + ap_new) / 2.0;
    }
    if (i < iterations.size()) iterations[i] = it;
    ElementEnd end = ElementEnd::kIterated;
    if (i < trace.size()) trace[i] = {end, converged, a, ap, phi};
    if (element_needs_resolve(a, ap, phi, converged)) [[unlikely]] {
      Element e{B, ri, ci, setting, lr, sigma, U, rtip};
      if constexpr (custom) {
        e.polar = polar;
        e.tip_loss = in.tip_loss;
      }
      const Mend m = mend_element(e, a_start, ap_start);
      end = m.end;
      a = m.a;
      ap = m.ap;
      alpha[i] = m.v.alpha;
      sphi = m.v.sphi;
      cphi = m.v.cphi;
      W = m.v.W;
      cl = m.v.cl;
      cd = m.v.cd;
      phi = m.v.phi;
      re = m.v.re;
      F = end == ElementEnd::kUnloaded ? 0.0 : loss(e, B * (1.0 - ri) / sphi / 2.0);
    }
    if (i < trace.size()) trace[i].end = end;
    if (i < states.size()) {
      states[i] =
          end == ElementEnd::kUnloaded
              ? ElementState{end, it, a, ap, 0.0, alpha[i], 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0}
              : ElementState{end, it, a, ap, phi, alpha[i], F, re, W, cl, cd, sphi, cphi};
    }
    if (end == ElementEnd::kUnloaded) continue;
    const double G = B * W * W * ci * dri / kPi;
    cp = cp + lambda * ri * G * (cl * sphi - cd * cphi);
  }
  CP = cp;
}

// The number of elements to compute: also bounded by the sections and widths given.
std::size_t custom_count(const Inputs& in, std::size_t n) {
  if (!in.polars.empty()) n = std::min(n, in.polars.size());
  if (!in.widths.empty()) n = std::min(n, in.widths.size());
  return n;
}

bool is_custom(const Inputs& in) {
  return !in.polars.empty() || !in.widths.empty() || !in.tip_loss;
}

void dispatch(const Inputs& in, std::size_t n, std::span<double> alpha, double& CP,
              std::span<std::int32_t> iterations, std::span<ElementTrace> trace,
              std::span<ElementState> states) {
  if (is_custom(in)) {
    solve<false, true>(in, custom_count(in, n), alpha, CP, iterations, trace, states);
  } else if (aerofoil::angles_nondecreasing()) {
    solve<true, false>(in, n, alpha, CP, iterations, trace, states);
  } else {
    solve<false, false>(in, n, alpha, CP, iterations, trace, states);
  }
}

}  // namespace

Balance element_balance(const Element& e, double a_start, double ap_start) {
  // Outside these the equations have no windmill state: no rotation or an element at the axis
  // (lambda_r <= 0), an infinite solidity, no tip-loss factor (r >= 1 gives F = 0), or no blade.
  if (!(e.lr > 0.0 && e.lr < std::numeric_limits<double>::infinity()) || !std::isfinite(e.sigma) ||
      (e.tip_loss && !(e.r < 1.0)) || !has_blade(e.chord)) {
    return {false, 0.0, 0.0};
  }
  const auto reynolds = [&e](double a, double ap) {
    const double vt = (1.0 + ap) * e.lr;
    return e.U * std::sqrt((1.0 - a) * (1.0 - a) + vt * vt) * e.chord * e.rtip / kNu;
  };
  aerofoil::ReBlend blend = blend_of(e, reynolds(a_start, ap_start));
  Balance best{false, 0.0, 0.0};
  int bracket = kScanSteps;  // none yet
  for (int round = 0; round < 6; ++round) {
    const Root root = largest_angle_root(e, blend, bracket);
    if (!root.found) break;
    best = {true, root.at.a, root.at.ap};
    const aerofoil::ReBlend next = blend_of(e, reynolds(best.a, best.ap));
    // Settled when a further round could not move the solution beyond rounding.
    if (next.k == blend.k && std::fabs(next.t - blend.t) <= 1e-12) break;
    blend = next;
  }
  return best;
}

Mended mend(const Element& e, double a_start, double ap_start) {
  const Mend m = mend_element(e, a_start, ap_start);
  return {m.end, m.a, m.ap, m.v.alpha, m.v.sphi, m.v.cphi, m.v.W, m.v.cl, m.v.cd};
}

void calc_traced(const Inputs& in, std::span<double> alpha, double& CP,
                 std::span<std::int32_t> iterations, std::span<ElementTrace> trace) {
  const std::size_t n =
      element_count(in.nbe, in.r.size(), in.twist.size(), in.chord.size(), alpha.size());
  dispatch(in, n, alpha, CP, iterations, trace, {});
}

void calc_elements(const Inputs& in, std::span<double> alpha, double& CP,
                   std::span<ElementState> states) {
  const std::size_t n =
      element_count(in.nbe, in.r.size(), in.twist.size(), in.chord.size(), alpha.size());
  dispatch(in, n, alpha, CP, {}, {}, states);
}

void calc_counted(const Inputs& in, std::span<double> alpha, double& CP,
                  std::span<std::int32_t> iterations) {
  calc_traced(in, alpha, CP, iterations, {});
}

Inputs blade_inputs(const blade::Blade& b, std::span<const aerofoil::Polar* const> polars, double U,
                    double lambda, double theta) {
  Inputs in{b.Numb, b.nbe, b.dr, b.rtip, b.r, b.twist, b.chord, U, lambda, theta};
  in.polars = polars;
  in.widths = b.width;
  return in;
}

void calc(const Inputs& in, std::span<double> alpha, double& CP) {
  calc_counted(in, alpha, CP, {});
}

}  // namespace calc_mod
