// Random rotors of every kind the program can be given, and a tally of how the solver's elements
// ended, shared by the solver's tests and the census of how often elements are solved again.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <span>
#include <vector>

#include "rotor/calc_mod.h"

namespace element_census {

// One operating point of one rotor (arrays 0-based, nbe entries; twist without the setting).
struct Case {
  std::int64_t B, nbe;
  double rtip, dr, U, lambda, theta;
  std::vector<double> r, twist, chord;
};

// 1 to 24 blades, 1 to 30 elements, a hub up to half the tip radius; chord and twist of the
// ideal rotor of a design speed ratio 1 ... 10 (0.3 to 3 times its chord, at most 0.5 of the tip
// radius; twist for an angle of attack of 0 ... 10 degrees), or, every fourth case, a straight
// taper and twist; wind 2 ... 25 m/s, tip speed ratio 0.5 ... 13, setting angle -15 ... 40
// degrees.
inline Case random_case(std::mt19937_64& rng, int n) {
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  Case c;
  c.B = 1 + static_cast<std::int64_t>(rng() % 24);
  c.nbe = 1 + static_cast<std::int64_t>(rng() % 30);
  const double xhub = 0.5 * u01(rng);
  c.rtip = 0.5 + 4.5 * u01(rng);
  c.dr = (1.0 - xhub) / static_cast<double>(c.nbe);
  const double ld = 1.0 + 9.0 * u01(rng);
  const double load = 0.3 * std::pow(10.0, u01(rng));
  const double aoa = 10.0 * u01(rng);
  const bool ideal = n % 4 != 0;
  const double c0 = 0.02 + 0.2 * u01(rng), c1 = 0.9 * u01(rng);  // tapers keep chord > 0
  const double t0 = -5.0 + 30.0 * u01(rng), t1 = 25.0 * u01(rng);
  const double B = static_cast<double>(c.B);
  double x = xhub + c.dr / 2.0;
  for (std::int64_t i = 0; i < c.nbe; ++i) {
    c.r.push_back(x);
    if (ideal) {
      c.chord.push_back(std::min(0.5, load * 16.0 * calc_mod::kPi / (9.0 * B * ld * ld * x)));
      c.twist.push_back(2.0 / 3.0 * std::atan(1.0 / (ld * x)) * 180.0 / calc_mod::kPi - aoa);
    } else {
      c.chord.push_back(c0 * (1.0 - c1 * x));
      c.twist.push_back(t0 - t1 * x);
    }
    x += c.dr;
  }
  c.U = 2.0 + 23.0 * u01(rng);
  c.lambda = 0.5 + 12.5 * u01(rng);
  c.theta = -15.0 + 55.0 * u01(rng);
  return c;
}

// How often elements were solved again, and why their iteration did not do.
struct Tally {
  std::int64_t calls = 0, calls_mended = 0, elements = 0, resolved = 0, unloaded = 0;
  std::int64_t no_blade = 0;       // chord <= 0 or not finite: not iterated, no load
  std::int64_t at_one = 0;         // converged to a = 1 (within the tolerance)
  std::int64_t at_minus_one = 0;   // converged to a' = -1
  std::int64_t not_a_number = 0;   // NaN or infinite a, a' or inflow angle
  std::int64_t not_converged = 0;  // 200 iterations without convergence
  std::int64_t angle = 0;          // converged, inflow angle not within (0, 90) degrees
  std::int64_t above_betz = 0;     // calls with CP > 16/27 or not a number

  void add(std::span<const calc_mod::ElementTrace> trace, double CP) {
    ++calls;
    bool mended = false;
    for (const calc_mod::ElementTrace& t : trace) {
      ++elements;
      if (t.end == calc_mod::ElementEnd::kIterated) continue;
      mended = true;
      if (t.end == calc_mod::ElementEnd::kNoBlade) {
        ++no_blade;
        continue;
      }
      (t.end == calc_mod::ElementEnd::kResolved ? resolved : unloaded) += 1;
      if (!std::isfinite(t.a) || !std::isfinite(t.ap) || !std::isfinite(t.phi)) {
        ++not_a_number;
      } else if (!t.converged) {
        ++not_converged;
      } else if (t.a >= calc_mod::kWindmillMaxA) {
        ++at_one;
      } else if (t.ap <= calc_mod::kWindmillMinAp) {
        ++at_minus_one;
      } else {
        ++angle;
      }
    }
    calls_mended += mended;
    above_betz += !(CP <= 16.0 / 27.0);
  }

  void operator+=(const Tally& o) {
    static constexpr std::int64_t Tally::*kCounts[] = {
        &Tally::calls,        &Tally::calls_mended,  &Tally::elements, &Tally::resolved,
        &Tally::unloaded,     &Tally::no_blade,      &Tally::at_one,   &Tally::at_minus_one,
        &Tally::not_a_number, &Tally::not_converged, &Tally::angle,    &Tally::above_betz};
    for (std::int64_t Tally::*count : kCounts) this->*count += o.*count;
  }

  void print(const char* what) const {
    const auto ll = [](std::int64_t v) { return static_cast<long long>(v); };
    std::printf(
        "  %-10s calls %8lld (%6lld mended)  elements %9lld: re-solved %6lld, unloaded %4lld;"
        " ended at a=1 %6lld, a'=-1 %5lld, NaN %5lld, unconverged %6lld, angle %3lld;"
        " CP>16/27 %lld\n",
        what, ll(calls), ll(calls_mended), ll(elements), ll(resolved), ll(unloaded), ll(at_one),
        ll(at_minus_one), ll(not_a_number), ll(not_converged), ll(angle), ll(above_betz));
  }
};

// Runs the solver on one case and adds it to the tally; returns CP.
inline double run(const Case& c, Tally& tally) {
  const std::size_t n = static_cast<std::size_t>(c.nbe);
  std::vector<double> alpha(n);
  std::vector<std::int32_t> its(n);
  std::vector<calc_mod::ElementTrace> trace(n);
  double CP = 0.0;
  calc_mod::calc_traced({c.B, c.nbe, c.dr, c.rtip, c.r, c.twist, c.chord, c.U, c.lambda, c.theta},
                        alpha, CP, its, trace);
  tally.add(trace, CP);
  return CP;
}

}  // namespace element_census
