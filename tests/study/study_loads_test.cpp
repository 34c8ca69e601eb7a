// A 2 x 2 study with a [loads] table: two wood and two carbon blades. Wood gives more energy per
// kilogram but does not hold; the page names the best of the designs that hold.
#include <gtest/gtest.h>

#include "study/study_file.h"
#include "study_support.h"

namespace study_test {
namespace {

const std::string kWoodOrCarbon =
    "title = \"wood or carbon\"\n"
    "[rotor]\n"
    "blades = [2, 3]\n"
    "hub_radius = 0.15\n"
    "tip_radius = 1.2\n"
    "elements = 6\n"
    "aerofoil = \"sg6043\"\n"
    "[blade]\n"
    "type = \"hollow\"\n"
    "wall_thickness = 6\n"
    "material = [\"wood\", \"carbon\"]\n" +
    std::string(kSiteAndSweep) +
    "[loads]\n"
    "class = \"II\"\n"
    "load_factor = 3\n"
    "material_factor = 1.1\n"
    "clearance = 2000\n"
    "allow_resonance = true\n";

TEST(StudyLoads, BestDesignIsTheBestThatHolds) {
  SourceDir dir;
  dir.write("loads.toml", kWoodOrCarbon);
  const ToolRun r = run_study_tool(dir.path(), "loads.toml");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = read_csv(dir.read("loads/summary.csv"));
  ASSERT_EQ(rows.size(), 4u);
  double best_wood = 0.0, best_carbon = 0.0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.at("material"));
    const double u = std::stod(row.at("utilisation"));
    // Holding takes every limit: strength, skin buckling, clearance (and resonance).
    if (row.at("holds") == "yes") {
      EXPECT_LE(u, 1.0);
    }
    EXPECT_GT(std::stod(row.at("tip_deflection_mm")), 0.0);
    const double e = std::stod(row.at("type1_energy_per_kg"));
    if (row.at("material") == "wood") {
      EXPECT_EQ(row.at("holds"), "no");
      best_wood = std::max(best_wood, e);
    } else {
      EXPECT_EQ(row.at("holds"), "yes");
      // The thinnest carbon wall that holds is below the 6 mm given: the skin's buckling
      // asks for more than the 3 mm that its strength alone would.
      EXPECT_LT(std::stod(row.at("thinnest_wall_mm")), 6.0);
      EXPECT_GT(std::stod(row.at("thinnest_wall_mm")), 3.0);
      best_carbon = std::max(best_carbon, e);
    }
    EXPECT_TRUE(dir.exists("loads/designs/" + row.at("id") + "/Result/loads/index.html"));
  }
  ASSERT_GT(best_wood, best_carbon);  // the lighter blades would win on energy per kg alone
  const std::string page = dir.read("loads/index.html");
  const auto at = page.find("among the designs that hold: <b>");
  ASSERT_NE(at, std::string::npos) << page;
  const std::string named = page.substr(at, page.find("</b>", at) - at);
  EXPECT_NE(named.find("carbon"), std::string::npos) << named;
}

TEST(StudyLoads, BadLoadsTableStopsTheStudy) {
  const char* bad[] = {"[loads]\nclass = \"V\"\n", "[loads]\nload_factor = 0\n",
                       "[loads]\ncolour = 1\n",    "[loads]\nclass = \"I\"\nparked_wind = 50\n",
                       "[loads]\nclearance = 0\n", "[loads]\nallow_resonance = 1\n"};
  for (const char* b : bad) {
    SCOPED_TRACE(b);
    EXPECT_THROW(study::parse_study("[rotor]\nblades = 3\nhub_radius = 0.1\ntip_radius = 1\n"
                                    "elements = 5\naerofoil = 1\n[site]\nmean_wind = 5\n" +
                                        std::string(b),
                                    "s.toml", {}),
                 study::StudyError);
  }
}

}  // namespace
}  // namespace study_test
