// Blade files: every mistake one line with file and line, the cutting into elements, and the
// text that reads back to the same doubles.
#include "analyse/blade_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/bits.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(ROTORFORGE_SOURCE_DIR) / "Data";

std::string station(const std::string& r, const std::string& chord, const std::string& twist,
                    const std::string& section) {
  return "[[station]]\nr = " + r + "\nchord = " + chord + "\ntwist = " + twist + "\nsection = \"" +
         section + "\"\n";
}

const std::string kHead = "blades = 3\nhub_radius = 0.15\n";

std::vector<std::string> problems_of(const std::string& text) {
  try {
    blade_file::parse(text, "b.toml", kData);
  } catch (const blade_file::Error& e) {
    return e.problems();
  }
  return {};
}

TEST(BladeFile, EveryMistakeIsOneLineWithFileAndLine) {
  struct Case {
    std::string text;
    std::vector<std::string> want;
  };
  const std::string good1 = station("0.15", "0.1", "20", "sg6043");  // lines 3-7
  const std::string good2 = station("1.5", "0.03", "-1", "sg6043");  // lines 8-12
  const std::vector<Case> cases = {
      {kHead + "colour = 1\n" + good1 + good2,
       {"b.toml:3: unknown key \"colour\" (blades, hub_radius, setting_angle, elements, "
        "cylinder_drag, [[station]])"}},
      {kHead + station("0.15", "0.1", "20", "balsa") + good2,
       {"b.toml:7: unknown section \"balsa\": " + (kData / "Liftbalsa.dat").string() +
        " not found (import it with rotorforge-foil, or \"cylinder\")"}},
      {kHead + station("0.15", "0.1", "20", "../etc") + good2,
       {"b.toml:7: unknown section \"../etc\": not a file name of Data/"}},
      {kHead + station("0.15", "0", "20", "sg6043") + good2,
       {"b.toml:5: chord must be > 0, not 0"}},
      {kHead + station("0.15", "-0.1", "20", "sg6043") + good2,
       {"b.toml:5: chord must be > 0, not -0.1"}},
      {kHead + station("0.15", "0.1", "inf", "sg6043") + good2,
       {"b.toml:6: twist must be finite, not inf"}},
      {kHead + station("nan", "0.1", "20", "sg6043") + good2,
       {"b.toml:4: r must be finite, not nan"}},
      {kHead + station("0.1", "0.1", "20", "sg6043") + good2,
       {"b.toml:3: station at r = 0.1 m lies inside the hub (hub_radius 0.15 m)"}},
      {kHead + good2 + good1, {"b.toml:8: radii must increase strictly: r = 0.15 m after 1.5 m"}},
      {kHead + good1 + station("0.15", "0.1", "20", "sg6043"),
       {"b.toml:8: radii must increase strictly: r = 0.15 m after 0.15 m"}},
      {kHead + good1, {"b.toml:3: a blade needs at least two stations, not 1"}},
      {kHead, {"b.toml:1: a blade needs at least two stations, not 0"}},
      {"hub_radius = 0.15\n" + good1 + good2, {"b.toml:1: blades is missing"}},
      {"blades = 0\nhub_radius = 0.15\n" + good1 + good2,
       {"b.toml:1: blades must be at least 1, not 0"}},
      {"blades = 2.5\nhub_radius = 0.15\n" + good1 + good2,
       {"b.toml:1: blades must be a whole number"}},
      {kHead + "[[station]]\nr = 0.2\nchord = 0.1\ntwist = 3\n" + good2,
       {"b.toml:3: station without section"}},
      {kHead + "[[station]]\nr = 0.2\nchord = 0.1\ntwist = 3\nsection = \"sg6043\"\nflap = 1\n" +
           good2,
       {"b.toml:8: unknown key \"flap\" in a station (r, chord, twist, section)"}},
      {kHead + "elements = 10001\n" + good1 + good2,
       {"b.toml:3: elements must be at most 10000, not 10001"}},
      {kHead + "setting_angle = \"2\"\n" + good1 + good2,
       {"b.toml:3: setting_angle must be a number"}},
      {"blades = 3\nhub_radius = \n", {"b.toml:2: expected value, saw '\\n'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<std::string> got = problems_of(c.text);
    if (c.want.front().find("expected value") != std::string::npos) {
      // The TOML parser's own wording: only the file and line are ours.
      ASSERT_EQ(got.size(), 1u);
      EXPECT_EQ(got.front().rfind("b.toml:2: ", 0), 0u) << got.front();
      continue;
    }
    EXPECT_EQ(got, c.want);
  }
}

TEST(BladeFile, ElementsSitAtEqualWidthsWithInterpolatedChordAndTwist) {
  // A straight taper from 0.2 m at r = 0.5 m to 0.1 m at 1.5 m, twist 10 to 0 deg, setting 2.
  const blade_file::File f = blade_file::parse(
      "blades = 2\nhub_radius = 0.3\nsetting_angle = 2\n" + station("0.5", "0.2", "10", "sg6043") +
          station("1.0", "0.15", "5", "cylinder") + station("1.5", "0.1", "0", "naca4412"),
      "b.toml", kData);
  const blade::Blade b = blade_file::cut(f, 4, kData);
  EXPECT_EQ(b.Numb, 2);
  EXPECT_EQ(b.rhub, 0.3);
  EXPECT_EQ(b.rtip, 1.5);
  // Root at 1/3 of the tip: four elements of width 1/6 with middles 5/12, 7/12, 9/12, 11/12.
  ASSERT_EQ(b.r.size(), 4u);
  const double mid[] = {5.0 / 12, 7.0 / 12, 9.0 / 12, 11.0 / 12};
  const char* section[] = {"sg6043", "cylinder", "cylinder", "naca4412"};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(b.r[i], mid[i], 1e-15);
    const double r = mid[i] * 1.5;
    EXPECT_NEAR(b.chord[i] * 1.5, 0.2 - 0.1 * (r - 0.5), 1e-14) << i;
    EXPECT_NEAR(b.twist[i], 10.0 - 10.0 * (r - 0.5) + 2.0, 1e-12) << i;
    EXPECT_EQ(blade::element_section(b, i)->name, section[i]) << i;
  }
  EXPECT_NEAR(b.dr, 1.0 / 6, 1e-16);
  EXPECT_EQ(b.twist.back(), 2.0);
  EXPECT_TRUE(b.sections[1].cylinder);
  EXPECT_EQ(b.sections[1].cylinder_cd, blade_file::kCylinderDrag);
  EXPECT_EQ(b.sections[1].cd_source, blade_file::kCylinderDragSource);
}

TEST(BladeFile, TextReadsBackToTheSameDoubles) {
  blade_file::File f;
  f.blades = 3;
  f.hub_radius = 0.1 + 0.04;
  f.setting_angle = -1.0 / 3.0;
  f.elements = 12;
  f.cylinder_drag = 1.0;
  for (int i = 0; i < 5; ++i) {
    f.stations.push_back({0.15 + i * 0.3370000000000001, 0.1 / (i + 1.0) + 1e-17, 25.0 / (i + 3.0),
                          i == 0 ? "cylinder" : "sg6043", 0});
  }
  const blade_file::File g = blade_file::parse(blade_file::text(f, "test"), "t.toml", kData);
  EXPECT_EQ(g.blades, f.blades);
  EXPECT_TRUE(support::same_bits(g.hub_radius, f.hub_radius));
  EXPECT_TRUE(support::same_bits(g.setting_angle, f.setting_angle));
  EXPECT_EQ(g.elements, f.elements);
  EXPECT_EQ(g.cylinder_drag, f.cylinder_drag);
  ASSERT_EQ(g.stations.size(), f.stations.size());
  for (std::size_t i = 0; i < f.stations.size(); ++i) {
    EXPECT_TRUE(support::same_bits(g.stations[i].r, f.stations[i].r));
    EXPECT_TRUE(support::same_bits(g.stations[i].chord, f.stations[i].chord));
    EXPECT_TRUE(support::same_bits(g.stations[i].twist, f.stations[i].twist));
    EXPECT_EQ(g.stations[i].section, f.stations[i].section);
  }
}

}  // namespace
