// From converged XFOIL points to polar blocks: the trusted range, the stall on each side, the
// points filled in between, the extension past stall, and the choice of blocks for the file.
#include "foil/polar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "companion/fill_record.h"
#include "foil/import.h"
#include "support/bits.h"

namespace {

using foil::Direction;
using foil::Points;

// A made-up sweep: lift slope 0.11 per degree, a drop of 0.1 per degree past +12 and -8,
// drag 0.01 + 0.0005 alpha^2, at `step` from `from` to `to` (from 0 outwards), leaving out the
// angles in `missing`.
Points sweep(double from, double to, double step, std::vector<double> missing = {}) {
  Points p;
  const int n = static_cast<int>(std::lround(std::abs(to - from) / step));
  for (int i = 0; i <= n; ++i) {
    const double a = from + (to > from ? i : -i) * step;
    bool skip = false;
    for (double m : missing) skip = skip || m == a;
    if (skip) continue;
    const double cl = a > 12 ? 1.32 - 0.1 * (a - 12) : a < -8 ? -0.88 + 0.1 * (-8 - a) : 0.11 * a;
    p.push_back({a, cl, 0.01 + 0.0005 * a * a});
  }
  return p;
}

// A sweep of points walked in one direction, and the angle the walk ends at.
struct Walk {
  const char* what;
  Points points;
  Direction direction;
  double alpha;  // the range's last angle (0: no range), or the stall angle
};

TEST(Contiguous, OneMissingPointIsBridgedAWiderGapEndsTheRange) {
  const foil::Rules rules;
  const Walk cases[] = {
      {"complete up", sweep(0, 22, 0.5), Direction::Up, 22.0},
      {"one missing", sweep(0, 22, 0.5, {7.5}), Direction::Up, 22.0},
      {"two missing", sweep(0, 22, 0.5, {7.5, 8.0}), Direction::Up, 7.0},
      {"complete down", sweep(-0.5, -15, 0.5), Direction::Down, -15.0},
      {"down, gap", sweep(-0.5, -15, 0.5, {-3.0, -3.5, -4.0}), Direction::Down, -2.5},
      {"first point too far", sweep(1.5, 22, 0.5), Direction::Up, 0.0},
  };
  for (const Walk& c : cases) {
    const auto r = foil::contiguous(c.points, c.direction, rules);
    if (c.alpha == 0.0) {
      EXPECT_TRUE(r.empty()) << c.what;
    } else {
      ASSERT_FALSE(r.empty()) << c.what;
      EXPECT_EQ(r.back(), c.alpha) << c.what;
    }
  }
}

TEST(Stall, ConfirmedUnconfirmedAndCapped) {
  const foil::Rules rules;
  // Lift peaks at 12 and falls 0.05 by 12.5: confirmed.
  auto s = foil::stall(sweep(0, 22, 0.5), Direction::Up, rules);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->alpha, 12.0);
  EXPECT_TRUE(s->confirmed);
  // The sweep stops before the drop: the top of the range, unconfirmed.
  s = foil::stall(sweep(0, 10, 0.5), Direction::Up, rules);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->alpha, 10.0);
  EXPECT_FALSE(s->confirmed);
  EXPECT_FALSE(foil::side_ok(sweep(0, 10, 0.5), Direction::Up, rules));
  EXPECT_TRUE(foil::side_ok(sweep(0, 22, 0.5), Direction::Up, rules));
  // Lift that keeps rising: points above 20 degrees are never used.
  Points rising;
  for (int i = 0; i <= 50; ++i) rising.push_back({i * 0.5, 0.05 * i, 0.02});
  s = foil::stall(rising, Direction::Up, rules);
  EXPECT_EQ(s->alpha, 20.0);
  EXPECT_FALSE(s->confirmed);
  EXPECT_TRUE(foil::side_ok(rising, Direction::Up, rules));  // reached the wanted 20 degrees
  // Down: the running minimum at -8.
  Points down = sweep(0, -15, 0.5);
  s = foil::stall(down, Direction::Down, rules);
  EXPECT_EQ(s->alpha, -8.0);
  EXPECT_TRUE(s->confirmed);
  EXPECT_FALSE(foil::stall(Points{}, Direction::Down, rules));
}

// Going up, one lift dip that XFOIL's points climb back above (a laminar bubble) is no stall;
// a lift that falls and climbs again and again, or a section that does not lift well below the
// dip (laminar separation), keeps its first drop as stall, as does the down side. The last
// three cases are the shapes of NACA 4432 at 42000 and 160000 and of NACA 4412's down sweep
// at 42000 in XFOIL, whose shipped blocks stall at the first drop.
TEST(Stall, LaminarBubbleDipIsWalkedPastOnlyWhereItIsOneDip) {
  const foil::Rules rules;
  // The made-up sweep, with lift lowered by `by` at the angles listed.
  const auto with = [](Points p, std::vector<double> at, double by, double cd_factor = 1.0) {
    for (foil::PolarPoint& q : p) {
      q.cd *= cd_factor;
      for (double a : at) q.cl -= q.alpha == a ? by : 0.0;
    }
    return p;
  };
  const Walk cases[] = {
      {"one dip at 5", with(sweep(0, 22, 0.5), {5, 5.5, 6}, 0.2), Direction::Up, 12.0},
      {"one dip of one point", with(sweep(0, 22, 0.5), {5}, 0.2), Direction::Up, 12.0},
      {"a drop of less than 0.05 is no drop", with(sweep(0, 22, 0.5), {5}, 0.09), Direction::Up,
       12.0},
      {"dip that never recovers",
       with(sweep(0, 10, 0.5), {5, 5.5, 6, 6.5, 7, 7.5, 8, 8.5, 9, 9.5, 10}, 0.8), Direction::Up,
       4.5},
      {"saw-tooth: dips at 5 and 8", with(sweep(0, 22, 0.5), {5, 8}, 0.2), Direction::Up, 4.5},
      // Drag 20 times the made-up section's: L/D below 5 up to the dip.
      {"no lifting section below the dip", with(sweep(0, 22, 0.5), {5}, 0.2, 20.0), Direction::Up,
       4.5},
      {"down: the first drop stands", with(sweep(0, -15, 0.5), {-13, -13.5, -14, -14.5, -15}, 1.0),
       Direction::Down, -8.0},
  };
  for (const Walk& c : cases) {
    const auto s = foil::stall(c.points, c.direction, rules);
    ASSERT_TRUE(s) << c.what;
    EXPECT_EQ(s->alpha, c.alpha) << c.what;
    EXPECT_TRUE(s->confirmed) << c.what;
  }
}

TEST(Viterna, JoinsTheMatchPointAndReachesTheFlatPlate) {
  struct Match {
    double alpha, cl, cd;
  };
  const Match matches[] = {{15.0, 1.626, 0.0417}, {12.0, 1.2, 0.02}, {18.5, 1.45, 0.09}};
  for (const Match& m : matches) {
    const auto at = foil::viterna(m.alpha, m.cl, m.cd, m.alpha);
    // Continuous where it joins XFOIL's data (to rounding: the formulas divide and multiply
    // back by the same sines and cosines).
    EXPECT_NEAR(at.cl, m.cl, 1e-12) << m.alpha;
    EXPECT_NEAR(at.cd, m.cd, 1e-12) << m.alpha;
    for (double a = m.alpha + 0.25; a <= 90.0; a += 0.25) {
      const auto c = foil::viterna(m.alpha, m.cl, m.cd, a);
      EXPECT_GT(c.cd, 0.0) << a;
      EXPECT_TRUE(std::isfinite(c.cl)) << a;
    }
    // At 90 degrees a flat plate: drag 1.11 + 0.018 * 10, no lift.
    const auto plate = foil::viterna(m.alpha, m.cl, m.cd, 90.0);
    EXPECT_NEAR(plate.cd, 1.29, 1e-12);
    EXPECT_NEAR(plate.cl, 0.0, 1e-12);
    // Symmetric limits: the mirrored match point gives the mirrored extension, exactly.
    for (double a : {m.alpha + 1.0, 30.0, 35.0, 60.0}) {
      const auto pos = foil::viterna(m.alpha, m.cl, m.cd, a);
      const auto neg = foil::viterna(-m.alpha, -m.cl, m.cd, -a);
      EXPECT_TRUE(support::same_bits(neg.cl, -pos.cl)) << a;
      EXPECT_TRUE(support::same_bits(neg.cd, pos.cd)) << a;
    }
  }
  // A worked example: match at 15 degrees, lift 1.626, drag 0.0417.
  auto c = foil::viterna(15.0, 1.626, 0.0417, 20.0);
  EXPECT_NEAR(c.cl, 1.348, 0.0005);
  EXPECT_NEAR(c.cd, 0.107, 0.0005);
  c = foil::viterna(15.0, 1.626, 0.0417, 35.0);
  EXPECT_NEAR(c.cl, 1.029, 0.0005);
  EXPECT_NEAR(c.cd, 0.386, 0.0005);
  // A larger aspect ratio, a larger flat-plate drag, up to 2.01 above 50.
  EXPECT_NEAR(foil::viterna(15.0, 1.6, 0.04, 90.0, 20.0).cd, 1.47, 1e-12);
  EXPECT_NEAR(foil::viterna(15.0, 1.6, 0.04, 90.0, 80.0).cd, 2.01, 1e-12);
}

TEST(BuildBlock, XfoilBetweenTheStallsFilledGapsViternaOutside) {
  const foil::Rules rules;
  const Points up = sweep(0, 22, 0.5, {3.0});  // 3 degrees missing: filled from 2.5 and 3.5
  const Points down = sweep(-0.5, -15, 0.5);
  foil::BlockInfo info;
  const foil::Block b = foil::build_block(up, down, rules, info);
  EXPECT_EQ(info.positive.alpha, 12.0);
  EXPECT_EQ(info.negative.alpha, -8.0);
  EXPECT_EQ(info.first, -8.0);
  EXPECT_EQ(info.last, 12.0);
  for (const foil::Row& r : b) {
    EXPECT_TRUE(std::isfinite(r.cl) && std::isfinite(r.cd)) << r.alpha;
    EXPECT_GT(r.cd, 0.0) << r.alpha;
    if (r.alpha > 12) {
      const auto v = foil::viterna(12.0, 0.11 * 12.0, 0.01 + 0.0005 * 12.0 * 12.0, r.alpha);
      EXPECT_TRUE(support::same_bits(r.cl, v.cl)) << r.alpha;
      EXPECT_TRUE(support::same_bits(r.cd, v.cd)) << r.alpha;
    } else if (r.alpha < -8) {
      const auto v = foil::viterna(-8.0, 0.11 * -8.0, 0.01 + 0.0005 * -8.0 * -8.0, r.alpha);
      EXPECT_TRUE(support::same_bits(r.cl, v.cl)) << r.alpha;
    } else if (r.alpha == 3) {
      const double mid = 0.5 * (0.11 * 2.5) + 0.5 * (0.11 * 3.5);
      EXPECT_TRUE(support::same_bits(r.cl, mid));
    } else {
      EXPECT_TRUE(support::same_bits(r.cl, 0.11 * r.alpha)) << r.alpha;
    }
  }
  EXPECT_EQ(b.front().alpha, -10);
  EXPECT_EQ(b.back().alpha, 35);
  EXPECT_EQ(foil::unusable(b, info), "");
}

TEST(BuildBlock, NoPointNearZeroIsAnError) {
  const foil::Rules rules;
  foil::BlockInfo info;
  EXPECT_THROW(foil::build_block(sweep(1.5, 22, 0.5), sweep(-0.5, -15, 0.5), rules, info),
               foil::Error);
  EXPECT_THROW(foil::build_block(Points{}, Points{}, rules, info), foil::Error);
  // The down sweep's walk starts at the up sweep's point at 0 degrees, which suffices.
  EXPECT_NO_THROW(foil::build_block(sweep(0, 22, 0.5), Points{}, rules, info));
  EXPECT_EQ(info.negative.alpha, 0.0);
}

// A block whose lift falls from 0 to 5 degrees: no good for a design.
foil::Block falling_block(foil::BlockInfo& info) {
  Points up;
  for (int i = 0; i <= 40; ++i) up.push_back({i * 0.5, 0.3 - 0.02 * i, 0.05});
  foil::Block b = foil::build_block(up, sweep(-0.5, -15, 0.5), foil::Rules{}, info);
  return b;
}

// A block that serves a design poorly stays as XFOIL's points give it: replacing it by a higher
// Reynolds number's block (as an earlier rule did) flattered the section where small rotors
// run. Reynolds numbers not computed take the nearest block and are recorded as filled.
TEST(Assemble, PoorBlocksKeptAndBlocksNotComputedRecordedAsFilled) {
  const foil::Rules rules;
  foil::BlockInfo good_info, bad_info;
  const foil::Block good =
      foil::build_block(sweep(0, 22, 0.5), sweep(-0.5, -15, 0.5), rules, good_info);
  const foil::Block bad = falling_block(bad_info);
  EXPECT_NE(foil::unusable(bad, bad_info).find("CL(5) <= CL(0)"), std::string::npos);

  // All seven computed, the lowest two poor: kept, and said so.
  std::vector<int> re(foil::kReynolds.begin(), foil::kReynolds.end());
  std::vector<foil::Block> blocks(7, good);
  std::vector<foil::BlockInfo> infos(7, good_info);
  blocks[0] = blocks[1] = bad;
  infos[0] = infos[1] = bad_info;
  std::vector<std::vector<foil::FilledRows>> filled(7);
  filled[1] = {{5, 20, 4.5}};
  std::vector<std::string> notes;
  std::vector<fill_record::Fill> fills;
  foil::Polar polar = foil::assemble(re, blocks, infos, filled, fills, notes);
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(polar[k][0].cl, (k < 2 ? bad : good)[0].cl) << k;
  }
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_TRUE(notes[0].starts_with("Re 42000: CL(5) <= CL(0)")) << notes[0];
  EXPECT_NE(notes[0].find("kept as they are"), std::string::npos) << notes[0];
  EXPECT_EQ(fills, (std::vector<fill_record::Fill>{
                       {83000, 5, 20,
                        "not converged: Viterna-Corrigan from 4.5 deg, as if the section stalled "
                        "there"}}));

  // Two computed: each of the seven takes the nearer one in log10 Re, the five others filled.
  std::vector<foil::Block> two = {good, good};
  two[0][0].cl = 1.0;
  two[1][0].cl = 2.0;
  notes.clear();
  fills.clear();
  polar = foil::assemble({160000, 640000}, two, {good_info, good_info}, {{}, {}}, fills, notes);
  const double want[7] = {1.0, 1.0, 1.0, 2.0, 2.0, 2.0, 2.0};
  for (int k = 0; k < 7; ++k) EXPECT_EQ(polar[k][0].cl, want[k]) << foil::kReynolds[k];
  EXPECT_TRUE(notes.empty());
  ASSERT_EQ(fills.size(), 5u);
  EXPECT_EQ(fills[0], (fill_record::Fill{42000, -10, 35, "not computed: the block of Re 160000"}));
  EXPECT_EQ(fills[4].reynolds, 2400000);
}

// A side whose sweeps stop short without a confirmed stall has its rows out to the wanted angle
// filled from the last angle used, as if stalled there, and never better in lift-to-drag ratio
// than the block's XFOIL points; a stall confirmed, or a sweep reaching the wanted angle, fills
// nothing.
TEST(FillShortSides, OnlyUnconvergedAnglesAndNeverBetterThanTheConvergedOnes) {
  const foil::Rules rules;
  struct Case {
    const char* what;
    Points up, down;
    std::vector<std::pair<int, int>> runs;
  };
  const Case cases[] = {
      {"whole", sweep(0, 22, 0.5), sweep(-0.5, -15, 0.5), {}},
      {"up stops at 4.5", sweep(0, 4.5, 0.5), sweep(-0.5, -15, 0.5), {{5, 20}}},
      {"up stops at 4.5, a gap, more",
       sweep(0, 22, 0.5, {5, 5.5, 6}),
       sweep(-0.5, -15, 0.5),
       {{5, 20}}},
      {"down stops at -3", sweep(0, 22, 0.5), sweep(-0.5, -3, 0.5), {{-10, -4}}},
      {"up reaches 20 unconfirmed", sweep(0, 11.5, 0.5), sweep(-0.5, -15, 0.5), {{12, 20}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    foil::BlockInfo info;
    foil::Block b = foil::build_block(c.up, c.down, rules, info);
    const foil::Block before = b;
    const auto runs = foil::fill_short_sides(b, info, rules);
    std::vector<std::pair<int, int>> got;
    for (const auto& r : runs) got.emplace_back(r.first, r.last);
    EXPECT_EQ(got, c.runs);
    double converged = 0.0, filled = 0.0;
    for (const foil::Row& r : b) {
      const double ld = std::abs(r.cl / r.cd);
      bool in_run = false;
      for (const auto& run : runs) in_run = in_run || (r.alpha >= run.first && r.alpha <= run.last);
      if (in_run) {
        filled = std::max(filled, ld);
        EXPECT_EQ(r.cl, before[static_cast<std::size_t>(r.alpha + 10)].cl);  // lift kept
      } else if (r.alpha >= info.first && r.alpha <= info.last) {
        converged = std::max(converged, ld);
      }
    }
    EXPECT_LE(filled, converged);
  }
}

// The first converged angle past the gap that ends a sweep's contiguous range.
TEST(BeyondGap, FirstAngleAfterTheGapWithinTheWantedAngle) {
  const foil::Rules rules;
  EXPECT_EQ(foil::beyond_gap(sweep(0, 22, 0.5, {5.5, 6, 6.5}), Direction::Up, rules), 7.0);
  EXPECT_EQ(foil::beyond_gap(sweep(-0.5, -15, 0.5, {-3.5, -4, -4.5}), Direction::Down, rules),
            -5.0);
  EXPECT_FALSE(foil::beyond_gap(sweep(0, 22, 0.5), Direction::Up, rules));
  EXPECT_FALSE(foil::beyond_gap(sweep(0, 4, 0.5), Direction::Up, rules));
}

}  // namespace
