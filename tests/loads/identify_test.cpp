// The session's blade told from its geometry table: the wall and the material of sessions built
// with them, and the reasons the table gives nothing where it cannot tell.
#include "loads/identify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>

#include "loads_support.h"

namespace loads_test {
namespace {

// The session's geometry table with the line starting with `label` (after its blanks) replaced
// by `line`, or removed when `line` is empty.
void edit_line(const Session& s, const std::string& label, const std::string& line) {
  std::istringstream in(s.read("Result/Geometry.out"));
  std::string text;
  for (std::string l; std::getline(in, l);) {
    const auto first = l.find_first_not_of(' ');
    if (first != std::string::npos && l.compare(first, label.size(), label) == 0) {
      if (!line.empty()) text += line + "\r\n";
      continue;
    }
    text += l + "\n";
  }
  spit(s.path() / "Result/Geometry.out", text);
}

std::string f6(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

TEST(Identify, TheWallAndMaterialTheSessionWasBuiltWith) {
  struct Case {
    const char* what;
    std::string blade;  // answers: type, wall, material
    double wall;
    int material;
  };
  const Case cases[] = {
      {"solid polywood", "1\n5\n", 0.0, 4},
      {"hollow aluminium, half a millimetre", "2\n0.5\n2\n", 0.5, 1},
      {"hollow s-glass, 3.7 mm", "2\n3.7\n3\n", 3.7, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session s("3\n0.15\n1.5\n10\n0\n2\n5\n" + c.blade + "0\n");
    const loads::Design d = loads::read_design(s.path());
    ASSERT_TRUE(d.volume && d.mass);
    // The volume is measured as the session measured it: the table shows it.
    EXPECT_EQ(f6(loads::blade_volume(d, c.wall)), f6(*d.volume));
    const loads::SessionBlade b = loads::identify(d);
    ASSERT_TRUE(b.wall) << b.no_wall;
    ASSERT_TRUE(b.material) << b.no_material;
    EXPECT_EQ(*b.wall, c.wall);  // the wall as typed, not a near value
    EXPECT_TRUE(b.wall_rounded);
    EXPECT_EQ(*b.material, c.material);
  }
}

TEST(Identify, WhatTheTableCannotTell) {
  Session s("3\n0.15\n1.5\n10\n0\n2\n5\n2\n2\n4\n0\n");
  const loads::Design good = loads::read_design(s.path());
  const double solid = loads::blade_volume(good, 0.0);
  const std::string original = s.read("Result/Geometry.out");
  struct Case {
    const char* what;
    std::function<void()> edit;
    std::string no_wall, no_material;  // "" where the table still tells it
  };
  const Case cases[] = {
      {"no mass line", [&] { edit_line(s, "Mass of blade", ""); }, "",
       "the session chose no material (no mass line in the geometry table)"},
      {"a density of no menu material",
       [&] { edit_line(s, "Mass of blade", "     Mass of blade    0.300000             kg"); }, "",
       "mass / volume = 1031 kg/m\u00b3 is no menu material's density"},
      {"a volume above the solid blade's",
       [&] {
         edit_line(s, "Mass of blade", "");
         edit_line(s, "Volume of blade",
                   "   Volume of blade    " + f6(2.0 * solid) + "   cubic meters");
       },
       "is not that of this blade, solid (" + f6(solid) + " m\u00b3) or hollow",
       "the session chose no material"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    spit(s.path() / "Result/Geometry.out", original);
    c.edit();
    const loads::SessionBlade b = loads::identify(loads::read_design(s.path()));
    if (c.no_wall.empty()) {
      EXPECT_TRUE(b.wall && *b.wall == 2.0) << b.no_wall;
    } else {
      EXPECT_FALSE(b.wall);
      EXPECT_NE(b.no_wall.find(c.no_wall), std::string::npos) << b.no_wall;
    }
    EXPECT_FALSE(b.material);
    EXPECT_NE(b.no_material.find(c.no_material), std::string::npos) << b.no_material;
  }
}

}  // namespace
}  // namespace loads_test
