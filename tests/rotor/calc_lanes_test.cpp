#include "rotor/calc_lanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "aerofoil/global.h"
#include "rotor/calc_mod.h"
#include "support/bits.h"
#include "support/polars.h"

namespace {

using calc_lanes::Call;
using calc_lanes::Engine;

using calc_lanes::kEngines;

// Polars of every shape the lookup meets. Angles are floats like the loaded tables.
enum class Grid {
  Shared,            // one angle grid for all columns (as in the shipped polars)
  PerColumn,         // each column its own grid, with repeated angles
  Decreasing,        // per-column grids where one column's angles go down somewhere
  SharedDecreasing,  // one grid for all columns, going down somewhere
};

void load_random_polar(std::mt19937_64& rng, Grid grid) {
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  for (int c = 0; c < global::kColumns; ++c) {
    const bool shared = grid == Grid::Shared || grid == Grid::SharedDecreasing;
    if (shared && c > 0) {
      std::copy(global::alpha_array[0], global::alpha_array[0] + global::kRows,
                global::alpha_array[c]);
    } else {
      double angle = -14.0 + 6.0 * u01(rng);
      for (int j = 0; j < global::kRows; ++j) {
        global::alpha_array[c][j] = static_cast<float>(angle);
        // Some rows repeat the angle before them.
        if (u01(rng) > 0.12) angle += 0.25 + 1.5 * u01(rng);
      }
    }
    const double lift_slope = 0.08 + 0.05 * u01(rng);
    const double stall = 8.0 + 10.0 * u01(rng);
    for (int j = 0; j < global::kRows; ++j) {
      const double a = global::alpha_array[c][j];
      const double cl = a < stall ? lift_slope * a : lift_slope * stall - 0.03 * (a - stall);
      global::cl_array[c][j] = cl + 0.02 * (u01(rng) - 0.5);
      global::cd_array[c][j] = 0.008 + 0.0004 * a * a + 0.002 * u01(rng);
    }
  }
  if (grid == Grid::Decreasing) {
    std::swap(global::alpha_array[2][17], global::alpha_array[2][18]);
    global::alpha_array[5][30] = global::alpha_array[5][29] + 3.0f;
  }
  if (grid == Grid::SharedDecreasing) {
    for (auto& column : global::alpha_array) std::swap(column[20], column[22]);
  }
  support::fill_re_log();
}

// A blade with its own arrays, and the outputs of one reference and one engine solution.
struct Blade {
  std::int64_t Numb = 3;
  std::int64_t nbe = 0;
  double dr = 0.0;
  double rtip = 1.0;
  std::vector<double> r, twist, chord;
};

Blade random_blade(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  Blade b;
  b.Numb = 1 + static_cast<std::int64_t>(rng() % 6);
  b.nbe = 1 + static_cast<std::int64_t>(rng() % 30);
  b.rtip = 0.5 + 9.5 * u01(rng);
  const double xhub = 0.3 * u01(rng);
  b.dr = (1.0 - xhub) / static_cast<double>(b.nbe);
  // Wide chords make solid blades whose elements do not converge.
  const double c0 = 0.02 + (u01(rng) < 0.2 ? 0.8 : 0.2) * u01(rng);
  const double c1 = 0.15 * u01(rng);
  const double t0 = -10.0 + 40.0 * u01(rng);
  const double t1 = 30.0 * u01(rng);
  double x = xhub + b.dr / 2.0;
  for (std::int64_t i = 0; i < b.nbe; ++i) {
    b.r.push_back(x);
    b.chord.push_back(c0 - c1 * x);
    b.twist.push_back(t0 - t1 * x);
    x += b.dr;
  }
  // Inputs that make not-a-number or infinite values: a zero or not-a-number entry.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  switch (rng() % 24) {
    case 0:
      b.r[rng() % b.r.size()] = 0.0;
      break;
    case 1:
      b.chord[rng() % b.chord.size()] = nan;
      break;
    case 2:
      b.twist[rng() % b.twist.size()] = std::numeric_limits<double>::infinity();
      break;
    case 3:
      b.chord[rng() % b.chord.size()] = -0.05;
      break;
    case 4:
      b.chord[rng() % b.chord.size()] = 0.0;
      break;
    case 5:  // no element with a blade
      for (double& c : b.chord) c = -0.01;
      break;
    default:
      break;
  }
  return b;
}

// One call's operating point and where its results go.
struct Case {
  std::size_t blade;
  double U, lambda, theta;
  bool want_alpha, want_iterations;
  std::int64_t nbe;  // usually the blade's, sometimes none or a negative count
  std::vector<double> alpha, alpha_ref;
  std::vector<std::int32_t> its, its_ref;
  std::vector<calc_mod::ElementTrace> trace_ref;
  double cp = -7.0, cp_ref = -7.0;
};

std::vector<Case> random_cases(std::mt19937_64& rng, const std::vector<Blade>& blades, int count) {
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  std::vector<Case> cases;
  for (int k = 0; k < count; ++k) {
    Case c;
    c.blade = rng() % blades.size();
    const Blade& b = blades[c.blade];
    c.U = u01(rng) < 0.03 ? 0.0 : 30.0 * u01(rng);
    c.lambda = u01(rng) < 0.02 ? 0.0 : 14.0 * u01(rng);
    c.theta = u01(rng) < 0.02 ? std::nan("") : -10.0 + 30.0 * u01(rng);
    c.want_alpha = rng() % 4 != 0;
    c.want_iterations = rng() % 3 != 0;
    c.nbe = rng() % 40 == 0 ? -static_cast<std::int64_t>(rng() % 3) : b.nbe;
    const std::size_t n = b.r.size();
    c.alpha.assign(c.want_alpha ? n : 0, -1.0);
    c.alpha_ref.assign(n, -1.0);
    c.its.assign(c.want_iterations ? n : 0, -1);
    c.its_ref.assign(n, -1);
    cases.push_back(std::move(c));
  }
  return cases;
}

std::vector<Call> calls_of(const std::vector<Blade>& blades, std::vector<Case>& cases) {
  std::vector<Call> calls;
  for (Case& c : cases) {
    const Blade& b = blades[c.blade];
    calls.push_back(
        Call{{b.Numb, c.nbe, b.dr, b.rtip, b.r, b.twist, b.chord, c.U, c.lambda, c.theta},
             c.alpha,
             &c.cp,
             c.its});
  }
  return calls;
}

void solve_reference(const std::vector<Blade>& blades, std::vector<Case>& cases) {
  for (Case& c : cases) {
    const Blade& b = blades[c.blade];
    c.trace_ref.assign(b.r.size(), {});
    calc_mod::calc_traced(
        {b.Numb, c.nbe, b.dr, b.rtip, b.r, b.twist, b.chord, c.U, c.lambda, c.theta}, c.alpha_ref,
        c.cp_ref, c.its_ref, c.trace_ref);
    // calc_traced gives calc_counted's results.
    double cp_counted = 0.0;
    std::vector<double> alpha_counted(b.r.size());
    calc_mod::calc_counted(
        {b.Numb, c.nbe, b.dr, b.rtip, b.r, b.twist, b.chord, c.U, c.lambda, c.theta}, alpha_counted,
        cp_counted, {});
    ASSERT_TRUE(support::same_bits_or_nan(cp_counted, c.cp_ref));
  }
}

// What the cases covered, so that a change in the random inputs cannot silently drop a kind.
struct Coverage {
  int not_converged = 0;  // elements that used all 200 iterations
  int resolved = 0;       // elements the scalar solver solved again after the iteration
  int unloaded = 0;       // elements without a windmill state
  int no_blade = 0;       // elements of chord <= 0 or NaN, not iterated
  int no_elements = 0;
};

void expect_same(const std::vector<Case>& cases, Coverage& seen) {
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    SCOPED_TRACE("call " + std::to_string(k));
    ASSERT_TRUE(support::same_bits_or_nan(c.cp, c.cp_ref));
    if (c.nbe < 1) ++seen.no_elements;
    for (std::size_t i = 0; i < c.alpha.size(); ++i) {
      ASSERT_TRUE(support::same_bits_or_nan(c.alpha[i], c.alpha_ref[i])) << "element " << i;
    }
    for (std::size_t i = 0; i < c.its.size(); ++i) {
      ASSERT_EQ(c.its[i], c.its_ref[i]) << "element " << i;
    }
    const std::size_t n = c.nbe < 1 ? 0 : std::min(c.trace_ref.size(), std::size_t(c.nbe));
    for (std::size_t i = 0; i < n; ++i) {
      if (c.its_ref[i] == calc_mod::kMaxIterations) ++seen.not_converged;
      if (c.trace_ref[i].end == calc_mod::ElementEnd::kResolved) ++seen.resolved;
      if (c.trace_ref[i].end == calc_mod::ElementEnd::kUnloaded) ++seen.unloaded;
      if (c.trace_ref[i].end == calc_mod::ElementEnd::kNoBlade) ++seen.no_blade;
    }
  }
}

// Elements the scalar solver solved again after their iteration (found or not found a windmill
// state): the lane engines set each of their calls aside once per such element.
std::uint64_t mended(const std::vector<Case>& cases) {
  std::uint64_t count = 0;
  for (const Case& c : cases) {
    const std::size_t n = c.nbe < 1 ? 0 : std::min(c.trace_ref.size(), std::size_t(c.nbe));
    for (std::size_t i = 0; i < n; ++i) {
      const calc_mod::ElementEnd end = c.trace_ref[i].end;
      if (end == calc_mod::ElementEnd::kResolved || end == calc_mod::ElementEnd::kUnloaded) ++count;
    }
  }
  return count;
}

TEST(CalcLanesEngines, ScalarAlwaysAndTheFastestAvailable) {
  EXPECT_TRUE(calc_lanes::available(Engine::Scalar));
  EXPECT_TRUE(calc_lanes::available(calc_lanes::fastest()));
#if defined(__x86_64__)
  EXPECT_TRUE(calc_lanes::available(Engine::Sse2));
  EXPECT_NE(calc_lanes::fastest(), Engine::Scalar);
#endif
  // The widest engine the processor has is the default.
  for (Engine e : kEngines) {
    if (calc_lanes::available(e)) {
      EXPECT_GE(calc_lanes::fastest(), e) << calc_lanes::name(e);
    }
  }
}

// Every engine against the scalar solver, call by call: CP, every angle of attack and every
// iteration count to the last bit, on random polars of each kind and random blades.
TEST(CalcLanesIdentity, RandomPolarsAndBlades) {
  struct PolarCase {
    Grid grid;
    std::uint64_t seed;
  };
  const PolarCase polars[] = {
      {Grid::Shared, 1}, {Grid::PerColumn, 2}, {Grid::Decreasing, 3}, {Grid::SharedDecreasing, 4},
      {Grid::Shared, 5}, {Grid::PerColumn, 6}, {Grid::Decreasing, 7}, {Grid::SharedDecreasing, 8}};
  Coverage seen;
  for (const PolarCase& p : polars) {
    std::mt19937_64 rng(p.seed);
    load_random_polar(rng, p.grid);
    std::vector<Blade> blades;
    for (int i = 0; i < 12; ++i) blades.push_back(random_blade(rng));
    std::vector<Case> reference = random_cases(rng, blades, 150);
    solve_reference(blades, reference);
    for (Engine e : kEngines) {
      if (!calc_lanes::available(e)) continue;
      SCOPED_TRACE(std::string(calc_lanes::name(e)) + ", polar seed " + std::to_string(p.seed));
      std::vector<Case> cases = reference;
      std::vector<Call> calls = calls_of(blades, cases);
      const calc_lanes::Activity before = calc_lanes::activity();
      calc_lanes::solve(e, calls);
      const calc_lanes::Activity after = calc_lanes::activity();
      expect_same(cases, seen);
      if (e != Engine::Scalar) {
        // The re-solves went through the queue of calls set aside, each exactly once, and every
        // lane step counted belongs to a step the engine made.
        EXPECT_EQ(after.set_aside - before.set_aside, mended(reference));
        EXPECT_EQ(after.resolved - before.resolved, mended(reference));
        EXPECT_EQ(after.slots - before.slots,
                  (after.steps - before.steps) * static_cast<std::uint64_t>(e));
        EXPECT_LE(after.lane_steps - before.lane_steps, after.slots - before.slots);
        EXPECT_GT(after.lane_steps, before.lane_steps);
      }
    }
  }
  EXPECT_GT(seen.not_converged, 0);
  EXPECT_GT(seen.resolved, 0);
  EXPECT_GT(seen.unloaded, 0);
  EXPECT_GT(seen.no_blade, 0);
  EXPECT_GT(seen.no_elements, 0);
}

TEST(CalcLanesIdentity, ShippedPolarsAtTheOptimisersRatios) {
  for (const char* name : support::kShippedPolars) {
    SCOPED_TRACE(name);
    support::load_shipped_polar(name);
    std::mt19937_64 rng(std::hash<std::string>{}(name));
    std::vector<Blade> blades;
    for (int i = 0; i < 6; ++i) blades.push_back(random_blade(rng));
    std::vector<Case> reference;
    for (std::size_t b = 0; b < blades.size(); ++b) {
      for (int j = 0; j <= 50; ++j) {
        Case c{b, 7.0, 5.0 + 8.0 * j / 50.0, 0.0, true, true, blades[b].nbe, {}, {}, {}, {}, {}};
        c.alpha.assign(blades[b].r.size(), -1.0);
        c.alpha_ref = c.alpha;
        c.its.assign(blades[b].r.size(), -1);
        c.its_ref = c.its;
        reference.push_back(std::move(c));
      }
    }
    solve_reference(blades, reference);
    Coverage seen;
    for (Engine e : kEngines) {
      if (!calc_lanes::available(e)) continue;
      SCOPED_TRACE(calc_lanes::name(e));
      std::vector<Case> cases = reference;
      std::vector<Call> calls = calls_of(blades, cases);
      calc_lanes::solve(e, calls);
      expect_same(cases, seen);
    }
  }
}

// Threads sharing one list and counter solve each call once, with the results of one thread.
TEST(CalcLanesIdentity, ThreadsShareTheList) {
  std::mt19937_64 rng(9);
  load_random_polar(rng, Grid::Shared);
  std::vector<Blade> blades;
  for (int i = 0; i < 8; ++i) blades.push_back(random_blade(rng));
  std::vector<Case> reference = random_cases(rng, blades, 200);
  solve_reference(blades, reference);
  std::vector<Case> cases = reference;
  std::vector<Call> calls = calls_of(blades, cases);
  std::atomic<std::size_t> next{0};
  std::thread other([&] { calc_lanes::solve(calc_lanes::fastest(), calls, next); });
  calc_lanes::solve(calc_lanes::fastest(), calls, next);
  other.join();
  Coverage seen;
  expect_same(cases, seen);
}

// Spans shorter than nbe limit the elements as in the scalar solver; an empty alpha does not.
TEST(CalcLanesCalls, ElementCountFollowsTheSpans) {
  support::load_linear_polar();
  std::mt19937_64 rng(4);
  Blade b = random_blade(rng);
  while (b.nbe < 6) b = random_blade(rng);
  for (double& c : b.chord) c = 0.05;  // no not-a-number entries here
  for (double& x : b.r) x = std::max(x, 0.1);
  double cp_short = 0.0, cp_ref_short = 0.0, cp_full = 0.0, cp_ref_full = 0.0;
  std::vector<double> alpha4(4), alpha4_ref(4), alpha_ref(b.r.size());
  calc_mod::calc_counted({b.Numb, b.nbe, b.dr, b.rtip, b.r, b.twist, b.chord, 8.0, 6.0, 0.0},
                         alpha4_ref, cp_ref_short, {});
  calc_mod::calc_counted({b.Numb, b.nbe, b.dr, b.rtip, b.r, b.twist, b.chord, 8.0, 6.0, 0.0},
                         alpha_ref, cp_ref_full, {});
  ASSERT_NE(std::bit_cast<std::uint64_t>(cp_ref_short), std::bit_cast<std::uint64_t>(cp_ref_full));
  for (Engine e : kEngines) {
    if (!calc_lanes::available(e)) continue;
    SCOPED_TRACE(calc_lanes::name(e));
    const calc_mod::Inputs in{b.Numb, b.nbe, b.dr, b.rtip, b.r, b.twist, b.chord, 8.0, 6.0, 0.0};
    const Call calls[] = {{in, alpha4, &cp_short, {}}, {in, {}, &cp_full, {}}};
    calc_lanes::solve(e, calls);
    EXPECT_TRUE(support::same_bits(cp_short, cp_ref_short));
    EXPECT_TRUE(support::same_bits(cp_full, cp_ref_full));
    for (std::size_t i = 0; i < alpha4.size(); ++i) {
      EXPECT_TRUE(support::same_bits(alpha4[i], alpha4_ref[i]));
    }
  }
}

}  // namespace
