#include "rotor/optgeo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "blade/laws.h"
#include "driver/design_stage.h"
#include "rotor/calc_lanes.h"
#include "rotor/design_support.h"
#include "rotor/optgeo_detail.h"
#include "rotor/rotor_reference.h"
#include "support/records.h"
#include "textio/textio.h"
#include "util/files.h"
#include "util/parallel.h"
#include "util/parallel_detail.h"

namespace {

using design_test::same_bits;
using geometry::Coeffs;
using geometry::Range;

// Single-precision range factors as doubles.
constexpr double k09 = 0.9f;
constexpr double k11 = 1.1f;
constexpr double k095 = 0.95f;
constexpr double k105 = 1.05f;

TEST(DesignWindSpeed, GridValueWithMostEnergy) {
  struct Case {
    double Umid;
    double U;
  };
  for (const Case& c : {Case{5.0, 8.0}, Case{6.0, 9.68}, Case{8.0, 12.8}}) {
    const geometry::DesignWind wind = geometry::design_wind_speed(c.Umid);
    EXPECT_NEAR(wind.U, c.U, 1e-12);
    // E is U^3 times the Rayleigh density of mean Umid.
    const double pi = 3.1415927410125732;
    const double pdf = pi * wind.U / (2.0 * c.Umid * c.Umid) *
                       std::exp(-pi * std::pow(wind.U / (2.0 * c.Umid), 2));
    EXPECT_NEAR(wind.E, wind.U * wind.U * wind.U * pdf, 1e-12 * wind.E);
    // Near the continuous maximum Umid * sqrt(8 / pi).
    EXPECT_NEAR(wind.U, c.Umid * std::sqrt(8.0 / pi), 0.12);
  }
}

TEST(DesignWindSpeed, NoPositiveEnergyKeepsTheFirstGridPoint) {
  const geometry::DesignWind wind = geometry::design_wind_speed(0.0);
  EXPECT_TRUE(same_bits(wind.U, 2.0));
  EXPECT_TRUE(same_bits(wind.E, 0.0));
}

// The first search range of a coefficient of 1: 0.9 ... 1.1 in single-precision factors
// (0.8999999761581421 ... 1.100000023841858), so a step of 0.020000004768371583. The values
// below are that arithmetic done by hand in exact fractions; the code rounds each product and
// quotient once, within an ulp of 1.
constexpr double kUlp = 2.3e-16;

TEST(SearchRange, ElevenTrialsFromLoToHi) {
  const double by_hand[] = {0.8999999761581421, 0.9199999809265137, 0.9399999856948853,
                            0.9599999904632568, 0.9799999952316284, 1.0,
                            1.0200000047683715, 1.0400000095367432, 1.0600000143051147,
                            1.0800000190734864, 1.100000023841858};
  const Range range{k09, k11};
  for (int m = 0; m <= 10; ++m) EXPECT_NEAR(geometry::trial_value(range, m), by_hand[m], kUlp) << m;
  // The first trial is the range's start itself.
  EXPECT_TRUE(same_bits(geometry::trial_value(range, 0), k09));
}

TEST(SearchRange, PositiveCoefficientShrinksAroundTheBestWithinTheClamps) {
  const Range range{k09, k11};
  // Best inside (trial 4, 0.98): 0.98 -+ 0.02 / 1.9, the single-precision 1.9 being
  // 1.899999976158142; width 2/19 of the old range.
  Range next = geometry::narrow(range, geometry::trial_value(range, 4), 1.0, k09, k11);
  EXPECT_NEAR(next.lo, 0.9694736768003976, kUlp);
  EXPECT_NEAR(next.hi, 0.9905263136628593, kUlp);
  EXPECT_NEAR((next.hi - next.lo) / (range.hi - range.lo), 2.0 / 19.0, 1e-6);
  // Best at an end: that end clamps to the factor times the received value, the other moves in
  // to 0.9 + 0.02 / 1.9.
  next = geometry::narrow(range, range.lo, 1.0, k09, k11);
  EXPECT_TRUE(same_bits(next.lo, k09));
  EXPECT_NEAR(next.hi, 0.910526294589373, kUlp);
  next = geometry::narrow(range, geometry::trial_value(range, 10), 1.0, k09, k11);
  EXPECT_TRUE(same_bits(next.hi, k11));
  // The clamps scale with the value received.
  next = geometry::narrow(Range{k09 * 0.3, k11 * 0.3}, k09 * 0.3, 0.3, k09, k11);
  EXPECT_TRUE(same_bits(next.lo, k09 * 0.3));
}

TEST(SearchRange, ZeroCoefficientStaysZero) {
  Range range{k095 * 0.0, k105 * 0.0};
  for (int pass = 0; pass < 5; ++pass) {
    for (int m = 0; m <= 10; ++m) EXPECT_TRUE(same_bits(geometry::trial_value(range, m), 0.0));
    range = geometry::narrow(range, 0.0, 0.0, k09, k11);
  }
  EXPECT_TRUE(same_bits(range.lo, 0.0));
  EXPECT_TRUE(same_bits(range.hi, 0.0));
}

TEST(SearchRange, NegativeCoefficientRunsDownwardsAndDoesNotShrink) {
  for (const double v_in : {-2.0, -0.037}) {
    for (const auto& [f_lo, f_hi] : {std::pair{k09, k11}, std::pair{k095, k105}}) {
      const Range start{f_lo * v_in, f_hi * v_in};
      ASSERT_GT(start.lo, start.hi);
      double previous = geometry::trial_value(start, 0);
      for (int m = 1; m <= 10; ++m) {
        const double v = geometry::trial_value(start, m);
        EXPECT_LT(v, previous);
        previous = v;
      }
      // s < 0, so lo lands above the best and hi below it: the clamps send both back for an
      // inner best, and the range stays as it was.
      for (int m = 1; m <= 9; ++m) {
        const Range next =
            geometry::narrow(start, geometry::trial_value(start, m), v_in, f_lo, f_hi);
        EXPECT_TRUE(same_bits(next.lo, start.lo)) << "m = " << m;
        EXPECT_TRUE(same_bits(next.hi, start.hi)) << "m = " << m;
      }
      // A best at an end moves that end outwards past the clamp limit, which never catches it.
      Range next = geometry::narrow(start, start.lo, v_in, f_lo, f_hi);
      EXPECT_GT(next.lo, start.lo);
      EXPECT_TRUE(same_bits(next.hi, start.hi));
      next = geometry::narrow(start, geometry::trial_value(start, 10), v_in, f_lo, f_hi);
      EXPECT_TRUE(same_bits(next.lo, start.lo));
      EXPECT_LT(next.hi, f_hi * v_in);
    }
  }
  // By hand for a coefficient of -1: -0.9 + 0.02 / 1.9 and -1.1 - 0.02 / 1.9 (single-precision
  // factors as above).
  const Range start{-k09, -k11};
  EXPECT_NEAR(geometry::narrow(start, start.lo, -1.0, k09, k11).lo, -0.8894736577269112, kUlp);
  EXPECT_NEAR(geometry::narrow(start, geometry::trial_value(start, 10), -1.0, k09, k11).hi,
              -1.1105263422730887, kUlp);
}

// ---------------------------------------------------------------------------------------------
// Whole optimisations on a small blade with the linear polar.

struct Outcome {
  std::string console;
  std::string chord_trial, twist_trial, chord_best, twist_best;
  geometry::OptgeoStats stats;
};

using Optimiser = std::function<void(textio::Console&, geometry::OptgeoStats&)>;

// Runs one optimisation in a fresh working directory (Temp/ empty) and collects what it left.
Outcome run_in_fresh_dir(const Optimiser& optimise) {
  design_test::WorkDir dir;
  Outcome out;
  std::istringstream in;
  std::ostringstream console;
  {
    textio::Console con(in, console);
    optimise(con, out.stats);
    con.flush();
  }
  out.console = console.str();
  out.chord_trial = design_test::slurp("Temp/Parameters1.in");
  out.twist_trial = design_test::slurp("Temp/Parameterst1.in");
  out.chord_best = design_test::slurp("Temp/Parameters.in");
  out.twist_best = design_test::slurp("Temp/Parameterst.in");
  return out;
}

void expect_same(const Outcome& x, const Outcome& y, const std::string& what) {
  EXPECT_EQ(x.console, y.console) << what;
  EXPECT_EQ(x.chord_trial, y.chord_trial) << what;
  EXPECT_EQ(x.twist_trial, y.twist_trial) << what;
  EXPECT_EQ(x.chord_best, y.chord_best) << what;
  EXPECT_EQ(x.twist_best, y.twist_best) << what;
}

Coeffs coeffs_of(const std::string& record) {
  Coeffs c{};
  std::istringstream s(record);
  for (double& v : c) s >> v;
  return c;
}

struct Problem {
  std::int64_t Numb, nbe;
  double rtip, rhub, Umid;
  Coeffs a, b;
};

// The laws an optimisation returns, the blade the design is built of, are the ones it leaves
// in the result files for the companions.
void expect_laws_in_files(const blade::Laws& laws) {
  const Coeffs chord = blade::read_coeffs(files::kChordLaw);
  const Coeffs twist = blade::read_coeffs(files::kTwistLaw);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(same_bits(laws.chord[i], chord[i])) << "chord coefficient " << i;
    EXPECT_TRUE(same_bits(laws.twist[i], twist[i])) << "twist coefficient " << i;
  }
}

Optimiser fast(const Problem& p, unsigned threads) {
  return [p, threads](textio::Console& con, geometry::OptgeoStats& stats) {
    parallel::set_threads(threads);
    expect_laws_in_files(geometry::optgeo(driver::optimiser_progress(con), p.Numb, p.nbe, p.rtip,
                                          p.rhub, p.Umid, p.a, p.b, stats));
    parallel::set_threads(0);
  };
}

Optimiser reference(const Problem& p) {
  return [p](textio::Console& con, geometry::OptgeoStats&) {
    expect_laws_in_files(geometry::optgeo_reference(driver::optimiser_progress(con), p.Numb, p.nbe,
                                                    p.rtip, p.rhub, p.Umid, p.a, p.b));
  };
}

// The reference rating its trials with the plainly written solver.
Optimiser plain_reference(const Problem& p) {
  return [p](textio::Console& con, geometry::OptgeoStats&) {
    geometry::optgeo_reference(driver::optimiser_progress(con), p.Numb, p.nbe, p.rtip, p.rhub,
                               p.Umid, p.a, p.b,
                               [](const calc_mod::Inputs& in, std::span<double> alpha, double& CP) {
                                 rotor_reference::calc(in, alpha, CP);
                               });
  };
}

class OptgeoRun : public ::testing::Test {
 protected:
  void SetUp() override { design_test::load_linear_polar(); }
};

// A blade whose laws have coefficients of both signs, so reversed ranges are searched too.
const Problem kMixedSigns{
    3, 3, 1.5, 0.15, 5.0, {0.16, 0.2, 0.1, -0.05, 0.02}, {30.0, 80.0, 90.0, 40.0, -5.0}};

TEST_F(OptgeoRun, ParallelSequentialAndReferenceAgreeToTheByte) {
  const Outcome seq = run_in_fresh_dir(fast(kMixedSigns, 1));
  const Outcome ref = run_in_fresh_dir(reference(kMixedSigns));
  expect_same(seq, ref, "fast against reference");
  // The program's pool, started again for each thread count and kept over all passes.
  for (unsigned threads : {2u, 5u}) {
    const Outcome par = run_in_fresh_dir(fast(kMixedSigns, threads));
    expect_same(seq, par, std::to_string(threads) + " threads against one");
    EXPECT_EQ(seq.stats.trials, par.stats.trials);
    EXPECT_EQ(seq.stats.rated, par.stats.rated);
  }

  // A full run: U_d line and one line per search of three sweeps.
  const std::vector<std::string> lines = support::text_records(seq.console);
  ASSERT_EQ(lines.size(), 31u);
  const geometry::DesignWind wind = geometry::design_wind_speed(5.0);
  EXPECT_EQ(lines[0], textio::free_record(std::vector<textio::Out>{wind.U, wind.E}));
  EXPECT_EQ(seq.stats.trials, 1650);
  // The negative coefficients a4 and b5 repeat their eleven trials in every pass.
  EXPECT_LE(seq.stats.rated, 1650 - 2 * 44);

  // The chord trial file holds the chord bests after the last sweep, as does the result file;
  // the twist trial file holds b1 ... b4's bests and b5's last trial value.
  EXPECT_EQ(seq.chord_trial, seq.chord_best);
  const Coeffs twist_best = coeffs_of(seq.twist_best);
  const Coeffs twist_trial = coeffs_of(seq.twist_trial);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(same_bits(twist_trial[i], twist_best[i]));
  // The bests of positive coefficients stay within their clamp limits.
  const Coeffs chord_best = coeffs_of(seq.chord_best);
  for (int i : {0, 1, 2, 4}) {
    EXPECT_GE(chord_best[i], k09 * kMixedSigns.a[i]);
    EXPECT_LE(chord_best[i], k11 * kMixedSigns.a[i]);
  }
  for (int i : {0, 1, 2, 3}) {
    EXPECT_GE(twist_best[i], k095 * kMixedSigns.b[i]);
    EXPECT_LE(twist_best[i], k105 * kMixedSigns.b[i]);
  }
}

// The optimiser rates its trials on whichever lane engine is chosen, with the same files (the
// default engine is checked against the reference above; the scalar one is the plain solver).
TEST_F(OptgeoRun, EveryEngineGivesTheSameFiles) {
  calc_lanes::choose(calc_lanes::Engine::Scalar);
  const Outcome scalar = run_in_fresh_dir(fast(kMixedSigns, 2));
  for (calc_lanes::Engine e : calc_lanes::kEngines) {
    if (!calc_lanes::available(e)) continue;
    calc_lanes::choose(e);
    const Outcome got = run_in_fresh_dir(fast(kMixedSigns, 2));
    expect_same(got, scalar, calc_lanes::name(e));
  }
  calc_lanes::choose(calc_lanes::fastest());
}

TEST_F(OptgeoRun, ZeroCoefficientRatesOneBlade) {
  // a5 = 0: every trial of search 5 is search 4's best blade, so search 5 finds exactly search
  // 4's best objective and the result keeps a5 = 0.
  Problem p = kMixedSigns;
  p.a[4] = 0.0;
  p.nbe = 2;
  const Outcome out = run_in_fresh_dir(fast(p, 2));
  const Outcome ref = run_in_fresh_dir(plain_reference(p));
  expect_same(out, ref, "fast against reference with the plain solver");
  const std::vector<std::string> lines = support::text_records(out.console);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[5], lines[4]);
  EXPECT_TRUE(same_bits(coeffs_of(out.chord_best)[4], 0.0));
  // Each sweep that reaches it rates none of search 5's 55 trials anew.
  const std::int64_t sweeps_with_search5 = lines.size() >= 26 ? 3 : lines.size() >= 16 ? 2 : 1;
  EXPECT_LE(out.stats.rated, out.stats.trials - 55 * sweeps_with_search5);
}

// An input on which every trial of search 2 rates below search 1's best blade, so the
// optimisation stops there, in the first sweep, on a working directory without any coefficient
// file. (Found by a search over inputs; most elements of these trial blades have no converging
// iteration on this polar and are rated by the element solver's bracketed search.)
TEST_F(OptgeoRun, EarlyStopAfterSearchTwoLeavesThisRunsLaws) {
  const Coeffs a{0.29222280632994091, 0.01764557435486765, 0.037259241819839965,
                 0.012199133488294938, 0.0035979032896179056};
  const Coeffs b{23.939259490882947, 40.047227299757623, 21.004549234442141, 12.826008589925429,
                 2.864673199020106};
  const Problem p{3, 2, 1.5, 0.15, 5.0, a, b};
  const Outcome out = run_in_fresh_dir(fast(p, 2));
  const Outcome ref = run_in_fresh_dir(reference(p));
  expect_same(out, ref, "fast against reference");

  // U_d and search 1's best objective only.
  const std::vector<std::string> lines = support::text_records(out.console);
  ASSERT_EQ(lines.size(), 2u);

  // Chord result: a1's and a2's bests, then a3, a4, a5 as received.
  const Coeffs chord_best = coeffs_of(out.chord_best);
  EXPECT_NE(chord_best[0], p.a[0]);
  EXPECT_GE(chord_best[0], k09 * p.a[0]);
  EXPECT_LE(chord_best[0], k11 * p.a[0]);
  EXPECT_GE(chord_best[1], k09 * p.a[1]);
  EXPECT_LE(chord_best[1], k11 * p.a[1]);
  for (int i = 2; i < 5; ++i) EXPECT_TRUE(same_bits(chord_best[i], p.a[i]));
  // The chord trial file: search 2's last trial, with a1's best before it.
  const Coeffs chord_trial = coeffs_of(out.chord_trial);
  EXPECT_TRUE(same_bits(chord_trial[0], chord_best[0]));
  for (int i = 2; i < 5; ++i) EXPECT_TRUE(same_bits(chord_trial[i], p.a[i]));
  // The twist files were never searched: both hold the received law, the result file because
  // the preparation wrote it.
  const std::string twist_record =
      textio::free_record(std::vector<textio::Out>{p.b[0], p.b[1], p.b[2], p.b[3], p.b[4]}) +
      "\r\n";
  EXPECT_EQ(out.twist_best, twist_record);
  EXPECT_EQ(out.twist_trial, twist_record);
  // 110 trials met, the stop coming before the third search.
  EXPECT_EQ(out.stats.trials, 110);
}

// A rating that rewards thin blades, -(sum of the chords): left to itself the search would
// take a1 down to 0.9 of its value and the chord 0.1 - 0.095 x below zero at the tip.
void thin_is_better(const calc_mod::Inputs& in, std::span<double>, double& CP) {
  CP = 0.0;
  for (std::int64_t i = 0; i < in.nbe; ++i) CP -= in.chord[static_cast<std::size_t>(i)];
}

// Trials whose chord law falls below the floor anywhere from hub to tip (here at the tip, which
// no element centre reaches) are refused and never count as improvements; both implementations
// refuse the same trials.
TEST_F(OptgeoRun, TrialsBelowTheChordFloorAreRefused) {
  const Problem p{3, 3, 1.5, 0.15, 5.0, {0.1, 0.095, 0.0, 0.0, 0.0}, kMixedSigns.b};
  const double x_hub = p.rhub / p.rtip;
  const Outcome thin = run_in_fresh_dir([&p](textio::Console& con, geometry::OptgeoStats&) {
    geometry::optgeo_reference(driver::optimiser_progress(con), p.Numb, p.nbe, p.rtip, p.rhub,
                               p.Umid, p.a, p.b, &thin_is_better);
  });
  const double least = blade::chord_law_min(coeffs_of(thin.chord_best), x_hub, 1.0);
  EXPECT_GE(least, blade::kChordFloor);
  EXPECT_LT(least, 0.002);  // the search went as thin as the floor lets it

  const Outcome out = run_in_fresh_dir(fast(p, 2));
  const Outcome ref = run_in_fresh_dir(reference(p));
  expect_same(out, ref, "fast against reference");
  EXPECT_GT(out.stats.refused, 0);
  EXPECT_LE(out.stats.rated, out.stats.trials - out.stats.refused);
  EXPECT_FALSE(out.stats.held);
  EXPECT_TRUE(blade::chord_law_buildable(coeffs_of(out.chord_best), x_hub));
  EXPECT_EQ(out.console.find("Infinity"), std::string::npos) << out.console;
}

// A received chord law that falls below the floor is raised to it before the search, so even a
// run that stops at once leaves a law with material from hub to tip.
TEST_F(OptgeoRun, StartingLawBelowTheFloorIsHeldBack) {
  const Problem p{3, 3, 1.5, 0.15, 5.0, {0.05, 0.1, 0.0, 0.0, 0.0}, kMixedSigns.b};
  const double x_hub = p.rhub / p.rtip;
  const Outcome out = run_in_fresh_dir(fast(p, 2));
  const Outcome ref = run_in_fresh_dir(reference(p));
  expect_same(out, ref, "fast against reference");
  EXPECT_TRUE(out.stats.held);
  EXPECT_TRUE(blade::chord_law_buildable(coeffs_of(out.chord_best), x_hub));
  EXPECT_TRUE(blade::chord_law_buildable(coeffs_of(out.chord_trial), x_hub));
}

TEST_F(OptgeoRun, NoElementsRateZeroAndANegativeCountEndsTheRun) {
  // No element: every blade rates J = 0, no search falls below the reference, so all three
  // sweeps run; the first trial of every search sets its best.
  Problem p = kMixedSigns;
  p.nbe = 0;
  const Outcome out = run_in_fresh_dir(fast(p, 2));
  const std::vector<std::string> lines = support::text_records(out.console);
  ASSERT_EQ(lines.size(), 31u);
  for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i], " 0.") << "line " << i;
  const Coeffs chord_best = coeffs_of(out.chord_best);
  EXPECT_TRUE(same_bits(chord_best[0], k09 * p.a[0]));

  p.nbe = -1;
  EXPECT_THROW(run_in_fresh_dir(fast(p, 2)), textio::RunError);
  EXPECT_THROW(run_in_fresh_dir(reference(p)), textio::RunError);
}

}  // namespace
