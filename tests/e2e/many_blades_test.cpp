// Complete sessions of the real binary on rotors whose blades and elements are hard to design or
// to balance: many-bladed rotors, whose high-solidity elements drive the element iteration into
// its false states (a = 1, a' = -1), and designs whose chord laws the optimiser pushes towards
// zero somewhere between hub and tip. In every one the blade has material from hub to tip (every
// chord of the geometry table above zero), every power coefficient of the sweeps is a number
// within the Betz limit, and no result file holds a value that is not a number.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_binary.h"
#include "support/records.h"

namespace {

using e2e::Outcome;
using e2e::WorkDir;

constexpr double kBetz = 16.0 / 27.0;

// The number in columns [from, from + width) of a line; NaN when the field holds anything else
// (asterisks where a value overflowed its field).
double field(const std::string& line, std::size_t from, std::size_t width) {
  if (line.size() < from + width) return std::nan("");
  const std::string text = line.substr(from, width);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && end != text.c_str() ? v : std::nan("");
}

// The geometry table of Result/Geometry.out (rows of f14.4, f15.4, f15.4 after two title lines,
// hub to tip): every chord above zero. Returns the number of rows.
int expect_positive_chords(const WorkDir& dir) {
  const std::vector<std::string> lines = support::text_records(dir.read("Result/Geometry.out"));
  int rows = 0;
  for (std::size_t i = 2; i < lines.size() && lines[i].size() == 44; ++i, ++rows) {
    const double chord = field(lines[i], 14, 15);
    EXPECT_TRUE(chord > 0.0) << "Geometry.out: " << lines[i];
  }
  return rows;
}

// A sweep table (rows laid out "(5X, f5.2, 14X,f5.2, 10X,f6.4, 5X,f12.3, ...)"): every CP within
// the Betz limit, every power and energy line a finite number. A CP below -9.9999, of a rotor
// driven far above its speed, does not fit its field; its power must then be negative. Returns
// the number of rows.
int expect_physical_table(const std::string& text, const std::string& name) {
  int rows = 0;
  for (const std::string& line : support::text_records(text)) {
    if (const std::size_t eq = line.find('='); eq != std::string::npos) {  // the energy lines
      EXPECT_TRUE(std::isfinite(field(line, 36, 12))) << name << ": " << line;
      continue;
    }
    if (line.size() < 62 || line.find("Wind Speed") != std::string::npos) continue;
    ++rows;
    const double cp = field(line, 39, 6);
    const double power = field(line, 50, 12);
    EXPECT_TRUE(std::isfinite(power)) << name << ": " << line;
    if (std::isnan(cp)) {
      EXPECT_LT(power, 0.0) << name << ": " << line;
    } else {
      EXPECT_LE(cp, kBetz) << name << ": " << line;
    }
  }
  return rows;
}

// No result file spells a value that is not a number.
void expect_no_bad_numbers(const WorkDir& dir) {
  for (const char* name :
       {"Result/Geometry.out", "Result/Energy1.out", "Result/Energy2.out", "Result/Energy3.out",
        "Result/Energy4.out", "Result/3dgeo.dat", "Result/blade.stl"}) {
    const std::string text = dir.read(name);
    EXPECT_EQ(text.find("NaN"), std::string::npos) << name;
    EXPECT_EQ(text.find("Infinity"), std::string::npos) << name;
  }
}

struct Session {
  const char* what;
  const char* answers;
  const char* result;  // the sweep's result file
};

// Rotor: blades, hub, tip, 10 elements, setting 0, NACA 4412, Umid 5, a solid wooden blade;
// then one sweep from 3 to 25 m/s (mean wind 5 m/s, hub at 10 m, sea level) and stop.
const Session kSessions[] = {
    {"16 blades, variable speed", "16\n0.2\n1.5\n10\n0\n1\n5\n1\n1\n1\n3\n25\n5\n10\n0\n0\n",
     "Result/Energy1.out"},
    {"12 blades, one speed of 100 rpm",
     "12\n0.1\n1.5\n10\n0\n1\n5\n1\n1\n3\n3\n25\n5\n10\n0\n100\n0\n", "Result/Energy3.out"},
};

// Runs the session and checks its blade and its sweep's table and energy lines.
void expect_physical(const Session& s) {
  SCOPED_TRACE(s.what);
  WorkDir dir;
  const Outcome r = e2e::run(dir, s.answers);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(expect_positive_chords(dir), 12);
  EXPECT_EQ(expect_physical_table(dir.read(s.result), s.result), 23);
}

// One test per session, so that they can run side by side.
TEST(ManyBlades, SixteenBladesVariableSpeedWithinTheBetzLimit) {
  expect_physical(kSessions[0]);
}

TEST(ManyBlades, TwelveBladesOneSpeedWithinTheBetzLimit) {
  expect_physical(kSessions[1]);
}

// ---------------------------------------------------------------------------------------------
// Designs whose optimised chord law is pushed to zero and below unless the chord floor holds it.

struct Design {
  int blades;
  double rhub, rtip;
  int nbe;
  double setting;
  int foil;  // 1 NACA 4412, 2 SG6043, 3 NACA 4432
  double Umid;
};

std::string number(double v) {
  std::ostringstream s;
  s.precision(17);
  s << v;
  return s.str();
}

// The design dialogue of a solid wooden blade.
std::string design_answers(const Design& d) {
  std::string a;
  for (const std::string& v : {std::to_string(d.blades), number(d.rhub), number(d.rtip),
                               std::to_string(d.nbe), number(d.setting), std::to_string(d.foil),
                               number(d.Umid), std::string("1"), std::string("1")}) {
    a += v + "\n";
  }
  return a;
}

// The site of every sweep: 3 to 25 m/s, the design's mean wind, hub at 10 m, sea level.
std::string site(const Design& d) {
  return "3\n25\n" + number(d.Umid) + "\n10\n0\n";
}

// Runs `answers` and checks the blade, every result file and the tables of the sweeps run.
void expect_buildable_and_physical(const Design& d, const std::string& answers,
                                   std::initializer_list<int> sweeps) {
  WorkDir dir;
  const Outcome r = e2e::run(dir, answers);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(expect_positive_chords(dir), d.nbe + 2);
  for (const int t : sweeps) {
    const std::string name = "Result/Energy" + std::to_string(t) + ".out";
    EXPECT_EQ(expect_physical_table(dir.read(name), name), 23);
  }
  expect_no_bad_numbers(dir);
}

class ChordLaws : public ::testing::TestWithParam<Design> {};

// Every sweep type (the fixed speeds give a tip speed ratio of 5 at the mean wind, the power
// limit is 300 W) and the STL export.
TEST_P(ChordLaws, PositiveChordsAndPhysicalCurvesInEverySweep) {
  const Design& d = GetParam();
  const std::string rpm = number(std::round(60.0 * 5.0 * d.Umid / (2.0 * 3.14159265 * d.rtip)));
  const std::string answers = design_answers(d) + "1\n" + site(d) + "2\n" + site(d) + rpm + "\n" +
                              "3\n" + site(d) + rpm + "\n" + "4\n" + site(d) + rpm + "\n300\n" +
                              "6\n0\n";
  expect_buildable_and_physical(d, answers, {1, 2, 3, 4});
}

// Blades of 8, 6 and 24 whose unchecked chord laws reach -0.003 to -0.054 m, the 24-bladed one
// with power coefficients far beyond the Betz limit in its variable-speed sweep.
INSTANTIATE_TEST_SUITE_P(OnceNegative, ChordLaws,
                         ::testing::Values(Design{8, 0.15, 1.5, 10, 0.0, 2, 4.5},
                                           Design{8, 0.2, 1.5, 10, 0.0, 2, 5.0},
                                           Design{6, 0.1, 0.55, 10, 0.0, 1, 5.0},
                                           Design{24, 0.15, 1.0, 8, 0.0, 2, 5.0}));

// Whole sessions (design, variable-speed sweep, STL) over the range of designs: blades 1 to 24,
// hub 0 to 0.4 of the tip, tip 0.5 to 3 m, 8 to 20 elements, setting -5 to 10 degrees, each
// aerofoil, mean wind 4 to 7 m/s. Drawn from a fixed seed, one of 1 to 4 blades, one of 5 to 12
// and one of 13 to 24, the aerofoils in turn.
std::vector<Design> random_designs() {
  std::mt19937_64 rng(20);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  std::vector<Design> designs;
  const int bands[][2] = {{1, 4}, {5, 12}, {13, 24}};
  for (int k = 0; k < 3; ++k) {
    Design d{};
    d.blades = bands[k][0] + static_cast<int>(rng() % (bands[k][1] - bands[k][0] + 1));
    d.rtip = 0.5 + 2.5 * u01(rng);
    d.rhub = 0.4 * u01(rng) * d.rtip;
    d.nbe = 8 + static_cast<int>(rng() % 13);
    d.setting = -5.0 + 15.0 * u01(rng);
    d.foil = 1 + k;
    d.Umid = 4.0 + 3.0 * u01(rng);
    designs.push_back(d);
  }
  return designs;
}

class WholeSessions : public ::testing::TestWithParam<Design> {};

TEST_P(WholeSessions, PositiveChordsAndPhysicalCurves) {
  const Design& d = GetParam();
  expect_buildable_and_physical(d, design_answers(d) + "1\n" + site(d) + "6\n0\n", {1});
}

INSTANTIATE_TEST_SUITE_P(Random, WholeSessions, ::testing::ValuesIn(random_designs()));

// Designs whose unchecked laws give a chord of -0.116 m (with CP above 1), a tip chord just
// below zero, and a starting blade with a chord below zero at the hub.
INSTANTIATE_TEST_SUITE_P(OnceNegative, WholeSessions,
                         ::testing::Values(Design{7, 0.418, 2.75, 17, -2.0, 2, 6.0},
                                           Design{4, 0.183, 0.61, 19, -4.8, 2, 6.2},
                                           Design{18, 0.024, 1.45, 8, 9.6, 3, 5.6}));

}  // namespace
