// The summary from rows of known values: labels made of the answers that differ, the best
// design per kilogram, the CSV columns and quoting, and the charts' marks.
#include "study/summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

study::Study three_designs() {
  return study::parse_study(
      "[rotor]\nblades = 2\nhub_radius = 0.15\ntip_radius = 1.5\nelements = 5\n"
      "aerofoil = 2\n[site]\nmean_wind = 5\ncut_in = 3\ncut_out = 20\nhub_height = 10\n"
      "[variable_speed]\n[[design]]\n[[design]]\nrotor.blades = 3\n"
      "[[design]]\nrotor.aerofoil = \"naca4432\"\n",
      "s.toml", {});
}

// Rows with a blade mass and a type-1 energy per design; a NaN energy leaves the type unread.
std::vector<study::Row> rows_of(const study::Study& s, std::vector<double> mass,
                                std::vector<double> energy) {
  std::vector<study::Row> rows;
  EXPECT_EQ(s.designs.size(), mass.size());
  for (std::size_t i = 0; i < s.designs.size(); ++i) {
    study::Row r;
    r.design = &s.designs[i];
    r.id = study::design_id(s.designs[i]);
    r.status = "ok";
    r.mass = mass[i];
    r.types[0].have = !std::isnan(energy[i]);
    r.types[0].energy = energy[i];
    rows.push_back(r);
  }
  return rows;
}

TEST(Summary, LabelsNameWhatDiffers) {
  const study::Study s = three_designs();
  ASSERT_EQ(s.designs.size(), 3u);
  const auto rows = rows_of(s, {1, 1, 1}, {1, 1, 1});
  EXPECT_EQ(study::labels(rows), (std::vector<std::string>{"2 blades, sg6043", "3 blades, sg6043",
                                                           "2 blades, naca4432"}));
  // One design: nothing differs, its id names it.
  const std::vector<study::Row> one(rows.begin(), rows.begin() + 1);
  EXPECT_EQ(study::labels(one), std::vector<std::string>{rows[0].id});
}

TEST(Summary, BestIsTheMostEnergyPerKilogramOfAllBlades) {
  const study::Study s = three_designs();
  struct Case {
    std::vector<double> mass, energy;
    std::optional<std::size_t> best;
  };
  // Blades: 2, 3, 2. Energy per kg = energy / (blades * mass).
  const std::vector<Case> cases = {
      {{1, 1, 1}, {100, 120, 90}, 0},             // 50, 40, 45
      {{1, 0.5, 1}, {100, 120, 90}, 1},           // 50, 80, 45
      {{1, 1, 1}, {100, NAN, 100}, 0},            // a tie: the first
      {{1, 1, 0.4}, {100, 120, NAN}, 0},          // a type not read does not count
      {{0, 0, 0}, {100, 120, 90}, std::nullopt},  // no mass (no material)
  };
  for (const Case& c : cases) {
    EXPECT_EQ(study::best_design(rows_of(s, c.mass, c.energy), 0), c.best);
  }
  const auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, 90});
  EXPECT_EQ(rows[1].rotor_mass(), 1.5);
  EXPECT_EQ(rows[1].energy_per_kg(0), 80.0);
  EXPECT_EQ(rows[1].energy_per_kg(1), std::nullopt);
}

TEST(Summary, CsvHasTheStudysColumnsAndQuotesMessages) {
  const study::Study s = three_designs();
  auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, NAN});
  rows[2].status = "failed";
  rows[2].mass.reset();
  rows[2].message = "rotorforge: answer to \"x\", item 2: End of file";
  rows[0].seconds = 1.5;
  rows[0].types[0].cp_max = 0.4731;
  rows[0].types[0].power = 437.33;
  const std::string csv = study::summary_csv(s, rows);
  const std::string header =
      "id,blades,hub_radius_m,tip_radius_m,elements,setting_angle_deg,aerofoil,mean_wind_m_s,"
      "blade_type,wall_thickness_mm,material,stl,cut_in_m_s,cut_out_m_s,hub_height_m,altitude_m,"
      "type1_cp_max,type1_power_W,type1_energy_kWh,type1_energy_per_kg,volume_m3,surface_m2,"
      "mass_kg,rotor_mass_kg,design_s,status,message\n";
  const std::string want =
      header + rows[0].id +
      ",2,0.15,1.5,5,0,sg6043,5,solid,,wood,no,3,20,10,0,0.4731,437.33,100,200.000,,,0.25,"
      "0.500000,1.500,ok,\n" +
      rows[1].id +
      ",3,0.15,1.5,5,0,sg6043,5,solid,,wood,no,3,20,10,0,0,0,120,80.000,,,0.5,1.500000,,"
      "ok,\n" +
      rows[2].id +
      ",2,0.15,1.5,5,0,naca4432,5,solid,,wood,no,3,20,10,0,,,,,,,,,,failed,"
      "\"rotorforge: answer to \"\"x\"\", item 2: End of file\"\n";
  EXPECT_EQ(csv, want);
}

TEST(Summary, ChartsMarkEveryDesignAndTheBest) {
  const study::Study s = three_designs();
  const auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, NAN});
  const auto names = study::labels(rows);
  const plot::Chart c = study::energy_mass_chart(rows, names, 0);
  ASSERT_EQ(c.series.size(), 2u);
  EXPECT_FALSE(c.series[0].line);
  ASSERT_EQ(c.series[0].points.size(), 2u);  // the design without an energy has no mark
  EXPECT_EQ(c.series[0].points[1].x, 1.5);
  EXPECT_EQ(c.series[0].points[1].y, 120.0);
  EXPECT_EQ(c.series[1].label, "best: 2 blades, sg6043");
  ASSERT_EQ(c.series[1].points.size(), 1u);
  EXPECT_EQ(c.series[1].points[0].x, 0.5);
  const std::string svg = plot::render(c);
  EXPECT_EQ(svg.find("class=\"curve\""), std::string::npos) << "marks only, no line";
  EXPECT_NE(svg.find("class=\"marker\""), std::string::npos);

  // Bars longest first, the best in its own colour.
  const std::string bars = study::energy_per_kg_svg(rows, names, 0);
  const auto first =
      bars.find("class=\"bar\" data-design=\"" + rows[0].id + "\" data-value=\"200\"");
  const auto second =
      bars.find("class=\"bar\" data-design=\"" + rows[1].id + "\" data-value=\"80\"");
  ASSERT_NE(first, std::string::npos) << bars;
  ASSERT_NE(second, std::string::npos) << bars;
  EXPECT_LT(first, second);
  EXPECT_EQ(bars.find(rows[2].id), std::string::npos);
}

}  // namespace
