// A file one sends to be made never stands under its name beside another design: a second
// session in the same folder that does not export keeps the first design's STL, section curves
// and plan form under names that say they are earlier, says so on standard error, and shows the
// same dialogue as in a new folder. And the making files agree with the geometry table.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_binary.h"

namespace {

namespace fs = std::filesystem;

// The example session (3 blades, 1.5 m, SG6043, solid wood, option 1, STL) and a second design
// (2 blades, 1.2 m, NACA 4412) without the STL.
const std::string kFirst = "3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n6\n0\n";
const std::string kSecond = "2\n0.15\n1.2\n10\n0\n1\n5\n1\n1\n1\n3\n20\n5\n10\n0\n0\n";
const std::string kSecondWithStl = "2\n0.15\n1.2\n10\n0\n1\n5\n1\n1\n6\n0\n";

std::vector<std::vector<double>> csv_rows(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<double> row;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::stod(cell));
    rows.push_back(row);
  }
  return rows;
}

TEST(EarlierDesign, MadeFilesOfTheFirstDesignAreKeptUnderEarlierNames) {
  e2e::WorkDir dir;
  const auto first = e2e::run(dir, kFirst);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");
  const std::string stl = dir.read("Result/blade.stl");
  const std::string sections = dir.read("Result/sections.csv");
  const std::string planform = dir.read("Result/planform.csv");
  ASSERT_FALSE(stl.empty());
  ASSERT_FALSE(sections.empty());
  ASSERT_FALSE(planform.empty());

  const auto second = e2e::run(dir, kSecond);
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_FALSE(dir.exists("Result/blade.stl"));
  EXPECT_FALSE(dir.exists("Result/sections.csv"));
  EXPECT_FALSE(dir.exists("Result/planform.csv"));
  EXPECT_EQ(dir.read("Result/blade.earlier-1.stl"), stl);
  EXPECT_EQ(dir.read("Result/sections.earlier-1.csv"), sections);
  EXPECT_EQ(dir.read("Result/planform.earlier-1.csv"), planform);
  EXPECT_EQ(second.err,
            "rotorforge: Result/blade.stl was made from an earlier design: kept as "
            "Result/blade.earlier-1.stl\n"
            "rotorforge: Result/sections.csv was made from an earlier design: kept as "
            "Result/sections.earlier-1.csv\n"
            "rotorforge: Result/planform.csv was made from an earlier design: kept as "
            "Result/planform.earlier-1.csv\n");

  // The dialogue's bytes are those of the same session in a new folder.
  e2e::WorkDir fresh;
  const auto alone = e2e::run(fresh, kSecond);
  EXPECT_EQ(alone.err, "");
  EXPECT_TRUE(alone.out == second.out) << e2e::first_difference(alone.out, second.out);

  // A third design exports its own; a fourth takes the next number and loses nothing.
  const auto third = e2e::run(dir, kSecondWithStl);
  ASSERT_EQ(third.status, 0) << third.err;
  EXPECT_EQ(third.err, "");
  const std::string stl3 = dir.read("Result/blade.stl");
  EXPECT_NE(stl3, stl);
  const auto fourth = e2e::run(dir, kSecond);
  ASSERT_EQ(fourth.status, 0) << fourth.err;
  EXPECT_EQ(dir.read("Result/blade.earlier-1.stl"), stl);
  EXPECT_EQ(dir.read("Result/blade.earlier-2.stl"), stl3);
  EXPECT_FALSE(dir.exists("Result/blade.stl"));
}

// The plan form's radius, chord and twist are the geometry table's, station by station, at the
// table's four decimals (metres there, millimetres here); every section curve lies at its
// station's radius, starts and ends at the leading edge of the plan form, and reaches its
// trailing edge; its chord is the distance between the two edges.
TEST(EarlierDesign, MakingFilesAgreeWithTheGeometryTable) {
  e2e::WorkDir dir;
  const auto r = e2e::run(dir, kFirst);
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream table(dir.read("Result/Geometry.out"));
  std::vector<std::vector<double>> stations;
  for (std::string line; std::getline(table, line);) {
    std::istringstream in(line);
    double radius = 0, chord = 0, twist = 0;
    if (in >> radius >> chord >> twist) stations.push_back({radius, chord, twist});
  }
  const auto plan = csv_rows(dir.read("Result/planform.csv"));
  const auto curves = csv_rows(dir.read("Result/sections.csv"));
  ASSERT_EQ(stations.size(), 12u);
  ASSERT_EQ(plan.size(), 12u);
  // SG6043's two sides share both edges: 50 + 48 points and the first again.
  ASSERT_EQ(curves.size(), 12u * 99u);
  const auto four = [](double v) { return std::round(v * 1e4) / 1e4; };
  for (std::size_t k = 0; k < 12; ++k) {
    const auto& p = plan[k];
    EXPECT_EQ(p[0], static_cast<double>(k + 1));
    EXPECT_NEAR(four(p[1] / 1000), stations[k][0], 1e-9) << "station " << k + 1;
    EXPECT_NEAR(four(p[2] / 1000), stations[k][1], 1e-9) << "station " << k + 1;
    EXPECT_NEAR(four(p[3]), stations[k][2], 1e-9) << "station " << k + 1;
    // SG6043's leading edge lies 0.00091 chords below its chord line: the distance between the
    // edges is the chord within sqrt(1 + 0.00091^2) - 1 = 4.1e-7 of it, and 0.0001 mm rounding.
    const double edges = std::hypot(p[6] - p[4], p[7] - p[5]);
    EXPECT_NEAR(edges, p[2], p[2] * 5e-7 + 2e-4) << "station " << k + 1;
    const auto* first = &curves[k * 99];
    const auto* last = &curves[k * 99 + 98];
    EXPECT_EQ((*first)[0], static_cast<double>(k + 1));
    EXPECT_EQ((*first)[1], p[4]);
    EXPECT_EQ((*first)[2], p[5]);
    EXPECT_EQ((*last)[1], p[4]);
    EXPECT_EQ((*last)[2], p[5]);
    EXPECT_EQ(curves[k * 99 + 49][1], p[6]);
    EXPECT_EQ(curves[k * 99 + 49][2], p[7]);
    for (std::size_t j = 0; j < 99; ++j) EXPECT_EQ(curves[k * 99 + j][3], p[1]);
  }
}

}  // namespace
