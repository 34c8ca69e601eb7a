// The whole blade build of a blade of given laws: stations, table, volume, mass, point file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "blade/blade.h"
#include "blade/section.h"
#include "driver/blade_dialogue.h"
#include "geometry_support.h"
#include "textio/textio.h"

namespace {

using namespace geometry_test;

TEST(Chortwist, ConstantLawsGiveThePrismAndTheCompleteGeometryFile) {
  WorkDir dir;
  write_working_outlines(rectangle());
  const std::int64_t nbe = 4;
  const double rtip = 1.5, rhub = 0.15;
  const blade::Blade b =
      blade::from_laws(3, nbe, rtip, rhub, 2.0, {0.1, 0, 0, 0, 0}, {4, 0, 0, 0, 0});
  std::istringstream in("1\n1\n");
  std::ostringstream out;
  blade::BladeFigures figures;
  {
    textio::Console con(in, out);
    textio::OutFile geometry_out("Result/Geometry.out");
    figures = blade::chortwist(con, driver::blade_choices(con), geometry_out, b);
    geometry_out.close();
  }
  const std::vector<std::string> g = records("Result/Geometry.out");
  ASSERT_EQ(g.size(), 2u + 6u + 6u);
  EXPECT_EQ(g[2], "        0.1500         0.1500         6.0000");
  EXPECT_EQ(g[7], "        1.5000         0.1500         6.0000");
  const double A = blade::outline_area(rectangle());
  const double volume = A * (rtip * 0.1) * (rtip * 0.1) * (rtip - rhub);
  EXPECT_EQ(g[8], "");
  EXPECT_EQ(g[9], result_line("Volume of blade", volume, "cubic meters"));
  EXPECT_EQ(g[13], result_line("Mass of blade", volume * 560, "kg"));
  // The first phase's blank line comes before the blade-type menu.
  EXPECT_EQ(out.str(), "\r\n" + std::string(kTypeMenu) + kMaterialMenu);
  EXPECT_EQ(records("Result/3dgeo.dat").size(), 600u);
  EXPECT_EQ(figures.points.size(), 600u);
  EXPECT_EQ(figures.volume, volume);
}

}  // namespace
