// Blade element momentum solver: the power coefficient of the rotor at one operating point.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

#include "blade/rotor_blade.h"
#include "util/enum_names.h"
#include "util/shared.h"

namespace aerofoil {
struct Polar;
}

namespace calc_mod {

using shared::kPi;

// Kinematic viscosity of air, m^2/s. It is a single-precision value used in double arithmetic,
// so the Reynolds numbers depend on 1.4999999621068127e-05, not on 1.5e-5.
inline constexpr double kNu = static_cast<double>(1.5e-5f);

// Starting axial induction of every call, single precision: 0.30000001192092896.
inline constexpr double kStartA = static_cast<double>(0.3f);

// Element iteration: limit and the two convergence tolerances (single precision).
inline constexpr int kMaxIterations = 200;
inline constexpr double kTolA = static_cast<double>(0.0005f);   // 0.0005000000237487257
inline constexpr double kTolAp = static_cast<double>(1.0e-4f);  // 9.999999747378752e-05
// Above CT = 0.96 F the momentum relation is replaced by the empirical high-induction fit.
inline constexpr double kHighInduction = static_cast<double>(0.96f);  // 0.9599999785423279

// Tip-loss factor for f = B (1 - r) / sin(phi) / 2. F stays below 1: for large f the arc cosine of
// the vanishing exponential is the double pi/2, and dividing twice that by the single-precision pi
// gives 0.9999999721724656.
inline double tip_loss(double f) {
  return 2.0 * std::acos(std::exp(-std::fabs(f))) / kPi;
}

// The windmill state of a blade element: the flow passes the rotor (a < 1), the blade meets it
// with a positive tangential speed (a' > -1), and the inflow angle lies strictly between 0 and 90
// degrees. The element iteration has two fixed points outside it that reproduce themselves
// exactly, so its convergence test accepts them: a = 1 with an inflow angle of 0 (no flow through
// the rotor) and a' = -1 with an inflow angle of 90 degrees (no tangential flow at the blade). A
// state within the convergence tolerance of either cannot be told apart from it.
inline constexpr double kWindmillMaxA = 1.0 - kTolA;     // 0.99949999997625129
inline constexpr double kWindmillMinAp = -1.0 + kTolAp;  // -0.99990000000252621
// atan(+inf) in double: the largest inflow angle the iteration can produce.
inline constexpr double kHalfPiDouble = 1.5707963267948966;

// True when an element's iteration did not end in a windmill state that balances momentum and
// blade forces, so the element must be solved again (calc does so by a bracketed search):
//  * converged: whether the convergence test ended the iteration; after 200 iterations without
//    it the last iterate balances nothing (an oscillating iteration can stop anywhere on its
//    cycle, with powers far beyond what the rotor could give);
//  * a, ap: the factors the iteration ended with (those handed to the next element);
//  * phi: the inflow angle (radians) of its last evaluation, the one the element's power is
//    taken from.
// A NaN or an infinity in any of them counts as not a windmill state.
inline bool element_needs_resolve(double a, double ap, double phi, bool converged) noexcept {
  constexpr double inf = std::numeric_limits<double>::infinity();
  return !(converged && a < kWindmillMaxA && a > -inf && ap > kWindmillMinAp && ap < inf &&
           phi > 0.0 && phi < kHalfPiDouble);
}

// An element has a blade only where its relative chord is positive and finite. One without (a
// chord of zero or less, a NaN or an infinity) carries no load: nothing of it enters CP, its
// angle of attack is that of the undisturbed inflow (a = a' = 0), and the next element starts
// from the factors this one started from. Its solidity would be zero or negative, and the
// iteration would then "converge" to a < 0 with a power the element cannot give.
inline bool has_blade(double chord) noexcept {
  return chord > 0.0 && chord < std::numeric_limits<double>::infinity();
}

// The angle of attack (degrees) of an element in the undisturbed inflow, a = a' = 0, at local
// speed ratio lr and setting (twist + setting angle, degrees): the angle given to an element
// that carries no load.
inline double undisturbed_alpha(double lr, double setting) noexcept {
  return std::atan(1.0 / lr) * 180.0 / kPi - setting;
}

// What one solver call is given: the blade (arrays 0-based: element i is r[i], twist[i],
// chord[i]; only the first nbe entries are used; r and chord relative to rtip, twist in degrees)
// and the operating point: wind speed U (m/s), tip speed ratio lambda and setting angle theta
// (degrees) added to every twist.
struct Inputs {
  std::int64_t Numb = 0;
  std::int64_t nbe = 0;
  double dr = 0.0;
  double rtip = 0.0;
  std::span<const double> r;
  std::span<const double> twist;
  std::span<const double> chord;
  double U = 0.0;
  double lambda = 0.0;
  double theta = 0.0;
  // Beyond the designed blade: each element's own section (polars[i], used when not empty;
  // otherwise every element is on the loaded polar tables), each element's own relative width
  // (widths[i], used when not empty; otherwise dr), and the tip-loss factor switched off
  // (tip_loss = false: F = 1 everywhere, the rotor of infinitely many blades of Glauert's
  // theory). With the defaults the solver is the designed blade's, bit for bit.
  std::span<const aerofoil::Polar* const> polars = {};
  std::span<const double> widths = {};
  bool tip_loss = true;
};

// The inputs of blade b at wind speed U, tip speed ratio lambda and setting angle theta: its
// arrays and widths, and `polars`, the blade's element polars (blade::element_polars), which the
// caller keeps.
Inputs blade_inputs(const blade::Blade& b, std::span<const aerofoil::Polar* const> polars, double U,
                    double lambda, double theta);

// The power coefficient CP of the rotor at the operating point, and the angle of attack
// alpha[i] (degrees) of every element.
//
// Elements are processed in order, each starting from the induction factors the previous one
// ended with (a = 0.3, a' = 0 for the first). An element whose iteration does not converge within
// 200 iterations or ends outside the windmill state (element_needs_resolve) is solved again by a
// bracketed root search on the inflow angle (same equations: same tip loss, high-induction fit
// above CT = 0.96 F, drag in both factors) and contributes at the solution found (of several, the
// one of the largest inflow angle, the least induced); when the element has no windmill state at
// all (at or beyond the tip, at the axis, lambda <= 0) it contributes nothing, its angle of attack
// is the one of the undisturbed inflow (a = a' = 0), and the next element starts from the factors
// this one started from. An element without a blade (has_blade) is not iterated at all and ends
// the same way. Spans shorter than nbe limit the number of elements to the shortest span,
// so nothing is read or written out of bounds.
void calc(const Inputs& in, std::span<double> alpha, double& CP);

// calc, also reporting the number of iterations each element's iteration used (1 ... 200; the
// 200th may have ended without convergence, and the element then was solved again; 0 for an
// element without a blade, which is not iterated). `iterations`
// needs as many entries as elements are computed; entries beyond its size are not reported.
void calc_counted(const Inputs& in, std::span<double> alpha, double& CP,
                  std::span<std::int32_t> iterations);

// How an element ended: its iteration converged to a windmill state (kIterated); or it did not,
// and the element was solved again (kResolved) or has no windmill state (kUnloaded); or it has no
// blade (has_blade) and was not iterated (kNoBlade; its trace holds the factors it started from,
// an inflow angle of 0 and converged = false). Elements of the last two kinds carry no load.
enum class ElementEnd : std::uint8_t { kIterated = 0, kResolved = 1, kUnloaded = 2, kNoBlade = 3 };

// The word the element tables of the companions write for each end.
inline constexpr enum_names::Named<ElementEnd> kEndNames[] = {{ElementEnd::kIterated, "iterated"},
                                                              {ElementEnd::kResolved, "resolved"},
                                                              {ElementEnd::kUnloaded, "unloaded"},
                                                              {ElementEnd::kNoBlade, "no blade"}};
constexpr const char* end_name(ElementEnd e) {
  return enum_names::name(e, kEndNames, "?");
}

// What the iteration of one element ended with (before any new solution): the arguments of
// element_needs_resolve, and what became of the element.
struct ElementTrace {
  ElementEnd end;
  bool converged;
  double a, ap, phi;
};

// calc_counted, also reporting how each element ended (entries beyond the span's size are not
// reported). For diagnostics and tests; the results are calc's.
void calc_traced(const Inputs& in, std::span<double> alpha, double& CP,
                 std::span<std::int32_t> iterations, std::span<ElementTrace> trace);

// Everything one element ended with, for callers that report the rotor element by element: the
// values of the evaluation its power is taken from (after a new solution, if any). For an
// unloaded element or one without a blade only `end`, `alpha`, `a` and `ap` (the factors handed
// on) are set; the rest is 0 and it contributes nothing.
struct ElementState {
  ElementEnd end;
  int iterations;  // of the element iteration, 1 ... 200
  double a, ap;    // induction factors
  double phi;      // inflow angle, radians
  double alpha;    // angle of attack, degrees
  double F;        // tip-loss factor
  double re;       // Reynolds number
  double W;        // relative speed, a fraction of the wind speed
  double cl, cd;   // lift and drag coefficients
  double sphi, cphi;
};

// calc, also reporting each element's state (entries beyond the span's size are not reported).
// CP is calc's; the sum of lambda r_i B W^2 c_i dr (Cl sin phi - Cd cos phi) / pi over the
// reported elements, taken in element order, gives it again bit for bit.
void calc_elements(const Inputs& in, std::span<double> alpha, double& CP,
                   std::span<ElementState> states);

// The windmill state of one element found by the bracketed search: the induction factors that
// balance momentum and blade forces, or found = false when the element has none.
struct Element {
  double B;                                // number of blades
  double r;                                // relative radius of the element centre
  double chord;                            // relative chord
  double setting;                          // twist + setting angle, degrees
  double lr;                               // local speed ratio lambda * r
  double sigma;                            // local solidity B * chord / pi / r / 2
  double U;                                // wind speed, m/s
  double rtip;                             // tip radius, m
  const aerofoil::Polar* polar = nullptr;  // the element's section; nullptr: the loaded tables
  bool tip_loss = true;                    // false: F = 1
};
struct Balance {
  bool found;
  double a;
  double ap;
};
// a_start, ap_start: the factors the element's iteration started from (they set the first
// Reynolds number).
Balance element_balance(const Element& e, double a_start, double ap_start);

// What calc makes of an element whose iteration ended as element_needs_resolve says: how it
// ended (kResolved or kUnloaded), the factors handed on to the next element, its angle of attack,
// and the values its power is taken from (not used when it is unloaded). For solvers that run
// the element iteration themselves (the lane engine) and must end such elements as calc does.
struct Mended {
  ElementEnd end;
  double a, ap;
  double alpha, sphi, cphi, W, cl, cd;
};
Mended mend(const Element& e, double a_start, double ap_start);

}  // namespace calc_mod
