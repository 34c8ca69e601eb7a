// Slow many-bladed rotors, whose high-solidity elements drive the element iteration into its
// false states: complete sessions of the real binary, every power coefficient of the sweeps
// finite and within the Betz limit. (The sessions once showed CP 4.2277 for 16 blades at 4 m/s
// and an erratic curve with CP 0.5423 for 12 blades at 100 rpm.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "e2e/run_binary.h"

namespace {

using e2e::Outcome;
using e2e::WorkDir;

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

// Runs the session and checks its sweep's table and energy lines.
void expect_physical(const Session& s) {
  SCOPED_TRACE(s.what);
  WorkDir dir;
  const Outcome r = e2e::run(dir, s.answers);
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream table(dir.read(s.result));
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    // Rows: f5.2 after 5 blanks, then f5.2 after 14, then CP as f6.4 after 10 (columns 40-45).
    if (line.size() < 45 || line.find("Wind Speed") != std::string::npos) continue;
    if (const std::size_t eq = line.find('='); eq != std::string::npos) {  // the energy lines
      EXPECT_TRUE(std::isfinite(std::strtod(line.c_str() + eq + 1, nullptr))) << line;
      continue;
    }
    const std::string field = line.substr(39, 6);
    char* end = nullptr;
    const double cp = std::strtod(field.c_str(), &end);
    ASSERT_EQ(end, field.c_str() + field.size()) << "not a number: " << line;
    EXPECT_TRUE(std::isfinite(cp) && cp <= 16.0 / 27.0) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 23);
}

// One test per session, so that they can run side by side.
TEST(ManyBlades, SixteenBladesVariableSpeedWithinTheBetzLimit) {
  expect_physical(kSessions[0]);
}

TEST(ManyBlades, TwelveBladesOneSpeedWithinTheBetzLimit) {
  expect_physical(kSessions[1]);
}

}  // namespace
