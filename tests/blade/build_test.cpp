// The second phase of the blade build: volume, surface and mass of a solid or hollow blade, the
// blade-type and material dialogue, and the point file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "blade/blade.h"
#include "blade/laws.h"
#include "blade/rotor_blade.h"
#include "blade/section.h"
#include "driver/blade_dialogue.h"
#include "geometry_support.h"
#include "textio/textio.h"

namespace {

using namespace geometry_test;
using blade::kSetPoints;
using blade::Outline;

using support::occurrences;

// A blade given by its laws over the relative radius, laid out in stations as the first phase
// does: element centres accumulated from the hub.
struct Blade {
  std::int64_t nbe;
  double rtip, rhub;
  std::function<double(double)> chord, twist;

  double dr() const { return (1.0 - rhub / rtip) / static_cast<double>(nbe); }
  std::vector<double> r() const {
    std::vector<double> v(static_cast<std::size_t>(nbe));
    double x = rhub / rtip + dr() / 2;
    for (double& e : v) {
      e = x;
      x += dr();
    }
    return v;
  }
  std::vector<double> at(const std::function<double(double)>& f) const {
    std::vector<double> v;
    for (double x : r()) v.push_back(f(x));
    v.push_back(f(1.0));
    return v;
  }
  blade::HubStation hub() const { return {chord(rhub / rtip), twist(rhub / rtip)}; }
};

// A test's working directory whose working outlines are the shipped section `name`.
struct SectionDir {
  WorkDir dir;
  Outline outline;
  explicit SectionDir(const char* name) : outline(shipped_outline(name)) {
    write_working_outlines(outline);
  }
};

struct Built {
  blade::BladeFigures figures;
  std::string console;
  std::vector<std::string> geometry;  // records of Result/Geometry.out
};

Built run_build(const Blade& b, const std::string& answers,
                const std::optional<std::string>& written_outline = {}) {
  std::istringstream in(answers);
  std::ostringstream out;
  Built result;
  {
    textio::Console con(in, out);
    textio::OutFile geometry_out("Result/Geometry.out");
    blade::Blade blade;
    blade.nbe = b.nbe;
    blade.rtip = b.rtip;
    blade.rhub = b.rhub;
    blade.dr = b.dr();
    blade.r = b.r();
    blade.twist = b.at(b.twist);
    blade.chord = b.at(b.chord);
    blade.hub = b.hub();
    result.figures = blade::build(driver::blade_choices(con), geometry_out, blade, written_outline);
    geometry_out.close();
  }
  result.console = out.str();
  result.geometry = records("Result/Geometry.out");
  return result;
}

TEST(Build, TheOutlineARunWroteIsBuiltFromMemory) {
  WorkDir dir;
  const Blade b{6, 1.8, 0.25, [](double x) { return 0.1 - 0.04 * x; },
                [](double x) { return 12 - 9 * x; }};
  // Solid and hollow: the text of the outline files as given, in place of files that say other.
  for (const char* answers : {"1\n2\n", "2\n1.5\n1\n"}) {
    SCOPED_TRACE(answers);
    write_working_outlines(shipped_outline("sg6043.dat"));
    std::string text;
    for (const std::string& r : records("Temp/ProfilI.dat")) text += r + "\n";
    const Built from_files = run_build(b, answers);
    const std::vector<std::string> left = records("Temp/Profil.dat");

    write_working_outlines(rectangle());
    const Built from_text = run_build(b, answers, text);
    EXPECT_EQ(from_text.figures.volume, from_files.figures.volume);
    EXPECT_EQ(from_text.figures.surface, from_files.figures.surface);
    EXPECT_EQ(from_text.geometry, from_files.geometry);
    ASSERT_EQ(from_text.figures.points.size(), from_files.figures.points.size());
    for (std::size_t i = 0; i < from_text.figures.points.size(); ++i) {
      EXPECT_EQ(from_text.figures.points[i].x, from_files.figures.points[i].x) << i;
      EXPECT_EQ(from_text.figures.points[i].y, from_files.figures.points[i].y) << i;
    }
    // The tip's inner outline is left in the file as before.
    EXPECT_EQ(records("Temp/Profil.dat"), left);
  }
}

TEST(Build, SolidPrismVolumeSurfaceAndLines) {
  WorkDir dir;
  write_working_outlines(rectangle());
  const double A = blade::outline_area(rectangle()), P = blade::outline_perimeter(rectangle());
  const double c = 0.08, R = 2.0, rhub = 0.2;
  const Blade b{5, R, rhub, [=](double) { return c; }, [](double) { return 7.0; }};
  const Built built = run_build(b, "1\n1\n");
  const double prism = A * (R * c) * (R * c) * (R - rhub);
  const double faces = 2 * A * (R * c) * (R * c);
  EXPECT_NEAR(built.figures.volume / prism, 1.0, 1e-14);
  EXPECT_NEAR(built.figures.surface / (P * R * c * (R - rhub) + faces), 1.0, 1e-14);
  const std::vector<std::string> expected = {
      "", result_line("Volume of blade", built.figures.volume, "cubic meters"),
      "", result_line("Surface of blade", built.figures.surface, "square meters"),
      "", result_line("Mass of blade", built.figures.volume * 560, "kg"),
  };
  EXPECT_EQ(built.geometry, expected);
  EXPECT_EQ(built.console, std::string(kTypeMenu) + kMaterialMenu);
}

TEST(Build, VolumeAndMassLinesOfEveryMaterial) {
  // Unit chord of 1.1111 m... on a 1 m blade with no hub: the volume is A * c^2 * 1.
  struct Case {
    double c2;  // square of the chord in metres
    const char* volume_line;
    const char* mass_line[5];
  };
  const Case cases[] = {
      {1.0,
       "   Volume of blade    0.100000   cubic meters",
       {"     Mass of blade   56.000000             kg",
        "     Mass of blade  270.000000             kg",
        "     Mass of blade  174.000000             kg",
        "     Mass of blade  135.000000             kg",
        "     Mass of blade   80.000000             kg"}},
      {1.23456,
       "   Volume of blade    0.123456   cubic meters",
       {"     Mass of blade   69.135360             kg",
        "     Mass of blade  333.331200             kg",
        "     Mass of blade  214.813440             kg",
        "     Mass of blade  166.665600             kg",
        "     Mass of blade   98.764800             kg"}},
  };
  for (const Case& k : cases) {
    const double c = std::sqrt(k.c2);
    const Blade b{3, 1.0, 0.0, [=](double) { return c; }, [](double) { return 0.0; }};
    std::vector<double> masses;
    for (int material = 1; material <= 5; ++material) {
      WorkDir dir;
      write_working_outlines(rectangle());
      const Built built = run_build(b, "1\n" + std::to_string(material) + "\n");
      ASSERT_EQ(built.geometry.size(), 6u);
      EXPECT_EQ(built.geometry[1], k.volume_line);
      EXPECT_EQ(built.geometry[1].size(), 45u);
      EXPECT_EQ(built.geometry[5], k.mass_line[material - 1]);
      masses.push_back(std::strtod(built.geometry[5].substr(18, 12).c_str(), nullptr));
    }
    EXPECT_NEAR(masses[1] / masses[0], 2700.0 / 560.0, 1e-7);
  }
}

TEST(Build, MaterialOutsideTheMenuWritesNoMassLine) {
  for (const char* answer : {"0", "6", "-1"}) {
    WorkDir dir;
    write_working_outlines(rectangle());
    const Blade b{2, 1.0, 0.1, [](double) { return 0.1; }, [](double) { return 1.0; }};
    const Built built = run_build(b, std::string("1\n") + answer + "\n");
    ASSERT_EQ(built.geometry.size(), 4u) << answer;
    EXPECT_EQ(built.geometry[3].substr(0, 18), "  Surface of blade");
  }
}

TEST(Build, BladeTypeOutsideTheMenuAsksAgain) {
  WorkDir dir;
  write_working_outlines(rectangle());
  const Blade b{2, 1.0, 0.1, [](double) { return 0.1; }, [](double) { return 1.0; }};
  const Built built = run_build(b, "3\n0\n1\n1\n");
  EXPECT_EQ(occurrences(built.console, kTypeMenu), 3u);
  EXPECT_EQ(occurrences(built.console, "delta="), 0u);
  EXPECT_EQ(built.geometry.size(), 6u);
}

TEST(Build, AnswerThatIsNotANumberEndsTheRun) {
  WorkDir dir;
  write_working_outlines(rectangle());
  const Blade b{2, 1.0, 0.1, [](double) { return 0.1; }, [](double) { return 1.0; }};
  EXPECT_THROW(run_build(b, "solid\n"), textio::RunError);
  EXPECT_THROW(run_build(b, "2\nthick\n"), textio::RunError);
  EXPECT_THROW(run_build(b, "1\n"), textio::RunError);  // no material answer
}

TEST(Build, HollowWithZeroWallHasNoVolumeAndNoMass) {
  const SectionDir dir("naca4412.dat");
  const Blade b{6, 1.5, 0.15, [](double x) { return 0.12 - 0.05 * x; },
                [](double x) { return 20.0 - 15.0 * x; }};
  const Built built = run_build(b, "2\n0\n1\n");
  EXPECT_EQ(built.figures.volume, 0.0);
  ASSERT_EQ(built.geometry.size(), 6u);
  EXPECT_EQ(built.geometry[1], "   Volume of blade    0.000000   cubic meters");
  EXPECT_EQ(built.geometry[5], "     Mass of blade    0.000000             kg");
  EXPECT_NE(built.console.find(" Enter the thickness of wall of blade (mm), delta="),
            std::string::npos);
}

TEST(Build, HollowVolumeSubtractsTheInnerSectionsStationByStation) {
  const SectionDir dir("naca4412.dat");
  const Outline& outer = dir.outline;
  const Blade b{4, 1.2, 0.12, [](double x) { return 0.11 - 0.04 * x; },
                [](double x) { return 15.0 - 10.0 * x; }};
  const double delta = 1.5;  // mm
  const Built solid = run_build(b, "1\n5\n");
  const Built hollow = run_build(b, "2\n1.5\n2\n");

  // The inner volume from the kernels, station by station.
  std::vector<double> c{b.hub().chord}, theta{b.hub().twist};
  for (double v : b.at(b.chord)) c.push_back(v);
  for (double v : b.at(b.twist)) theta.push_back(v);
  std::vector<double> s;
  for (double ck : c) {
    const double a_in = blade::outline_area(blade::inner_outline(outer, delta / (1.2 * ck * 1000)));
    s.push_back(a_in * (1.2 * ck) * (1.2 * ck));
  }
  const double v_in = blade::stacked_volume(b.dr() * 1.2, s, theta);
  EXPECT_TRUE(same_bits(hollow.figures.volume, solid.figures.volume - v_in));
  EXPECT_GT(hollow.figures.volume, 0.0);
  EXPECT_LT(hollow.figures.volume, solid.figures.volume);
  EXPECT_TRUE(same_bits(hollow.figures.surface, solid.figures.surface));

  // The working outline is left as the tip's inner outline.
  const Outline tip = blade::inner_outline(outer, delta / (1.2 * c.back() * 1000));
  const std::vector<std::string> recs = records("Temp/Profil.dat");
  ASSERT_EQ(recs.size(), 101u);
  for (std::size_t j = 0; j < kSetPoints; ++j) {
    const std::vector<double> p = numbers(recs[j]);
    EXPECT_TRUE(same_bits(p.at(0), tip.x[0][j]));
    EXPECT_TRUE(same_bits(p.at(1), tip.y[0][j]));
  }
  // The prompt leaves the answer on its line.
  EXPECT_NE(hollow.console.find(std::string(kTypeMenu) +
                                " Enter the thickness of wall of blade (mm), delta="),
            std::string::npos);
  EXPECT_EQ(occurrences(hollow.console, kMaterialMenu), 1u);
  EXPECT_EQ(hollow.geometry[5], result_line("Mass of blade", hollow.figures.volume * 2700, "kg"));
}

TEST(PointFile, OneElementGivesThreeBlocksOfTurnedScaledSections) {
  const SectionDir dir("naca4412.dat");
  const Outline& outer = dir.outline;
  const Blade b{1, 2.0, 0.3, [](double x) { return 0.1 - 0.03 * x; },
                [](double x) { return 12.0 - 9.0 * x; }};
  run_build(b, "1\n1\n");
  EXPECT_FALSE(fs::exists("Temp/3dgeo.dat"));
  const std::vector<std::string> recs = records("Result/3dgeo.dat");
  ASSERT_EQ(recs.size(), 300u);
  const std::vector<double> r = b.r(), chord = b.at(b.chord), twist = b.at(b.twist);
  const double z[3] = {0.3, r[0] * 2.0, 2.0};
  const double c[3] = {b.hub().chord, chord[0], chord[1]};
  const double theta[3] = {b.hub().twist, twist[0], twist[1]};
  for (std::size_t block = 0; block < 3; ++block) {
    const Outline t = blade::turned_outline(outer, theta[block]);
    for (std::size_t k = 0; k < 100; ++k) {
      const std::vector<double> p = numbers(recs[block * 100 + k]);
      ASSERT_EQ(p.size(), 3u);
      const std::size_t s = k / kSetPoints, j = k % kSetPoints;
      EXPECT_TRUE(same_bits(p[0], t.x[s][j] * (2.0 * c[block])));
      EXPECT_TRUE(same_bits(p[1], t.y[s][j] * (2.0 * c[block])));
      EXPECT_TRUE(same_bits(p[2], z[block]));
    }
  }
  // The 101st record is the first point of the element centre's block.
  EXPECT_EQ(numbers(recs[100])[2], r[0] * 2.0);
}

TEST(PointFile, TenElementsGiveTwelveHundredRecordsRisingInZ) {
  const SectionDir dir("sg6043.dat");
  spit("Result/3dgeo.dat", std::string(200000, 'x'));  // an older, longer file is replaced
  const Blade b{10, 1.0, 0.1, [](double) { return 0.1; }, [](double x) { return 5.0 * x; }};
  run_build(b, "1\n1\n");
  const std::vector<std::string> recs = records("Result/3dgeo.dat");
  ASSERT_EQ(recs.size(), 1200u);
  double previous = -1.0;
  for (std::size_t block = 0; block < 12; ++block) {
    const double z = numbers(recs[block * 100])[2];
    EXPECT_GT(z, previous);
    for (std::size_t k = 0; k < 100; ++k) EXPECT_EQ(numbers(recs[block * 100 + k])[2], z);
    previous = z;
  }
  EXPECT_EQ(numbers(recs.front())[2], 0.1);
  EXPECT_EQ(numbers(recs.back())[2], 1.0);
}

}  // namespace
