// The summary from rows of known values: labels made of the answers that differ, the best
// design per kilogram, the CSV columns and quoting, and the charts' marks.
#include "study/summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
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
  study::mark_fronts(rows);
  const std::string csv = study::summary_csv(s, rows);
  const std::string header =
      "id,blades,hub_radius_m,tip_radius_m,elements,setting_angle_deg,aerofoil,mean_wind_m_s,"
      "blade_type,wall_thickness_mm,material,stl,cut_in_m_s,cut_out_m_s,hub_height_m,altitude_m,"
      "type1_cp_max,type1_power_W,type1_energy_kWh,type1_energy_per_kg,type1_pareto,volume_m3,"
      "surface_m2,"
      "mass_kg,rotor_mass_kg,design_s,status,message\n";
  const std::string want =
      header + rows[0].id +
      ",2,0.15,1.5,5,0,sg6043,5,solid,,wood,no,3,20,10,0,0.4731,437.33,100,200.000,yes,,,0.25,"
      "0.500000,1.500,ok,\n" +
      rows[1].id +
      ",3,0.15,1.5,5,0,sg6043,5,solid,,wood,no,3,20,10,0,0,0,120,80.000,yes,,,0.5,1.500000,,"
      "ok,\n" +
      rows[2].id +
      ",2,0.15,1.5,5,0,naca4432,5,solid,,wood,no,3,20,10,0,,,,,,,,,,,failed,"
      "\"rotorforge: answer to \"\"x\"\", item 2: End of file\"\n";
  EXPECT_EQ(csv, want);
}

// A design on an aerofoil with filled polar angles is flagged in the summary and on the page;
// without any, the column is not there.
TEST(Summary, FilledAerofoilDataFlagged) {
  const study::Study s = three_designs();
  auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, 90});
  EXPECT_EQ(study::summary_csv(s, rows).find("filled"), std::string::npos);
  rows[2].filled = "42000 83000";
  const std::string csv = study::summary_csv(s, rows);
  EXPECT_NE(csv.find(",aerofoil,aerofoil_filled_re,mean_wind_m_s,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",naca4432,42000 83000,5,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",sg6043,,5,"), std::string::npos) << csv;
  const std::string page = study::index_html(s, rows, {});
  EXPECT_NE(page.find("aerofoil data filled at Re"), std::string::npos);
  EXPECT_NE(page.find("42000 83000"), std::string::npos);
}

TEST(Summary, ParetoFrontIsWhatNoOtherDesignBeatsOnEnergyAndMass) {
  const study::Study s = three_designs();
  struct Case {
    std::vector<double> mass, energy;      // mass of one blade; blades: 2, 3, 2
    std::vector<std::size_t> front;        // lightest first
    std::vector<double> utilisation = {};  // with loads asked for: NaN when not computed
  };
  const std::vector<Case> cases = {
      {{1, 1, 1}, {100, 150, 90}, {0, 1}},       // 2 kg 100, 3 kg 150, 2 kg 90 (beaten by 0)
      {{1, 1, 0.5}, {100, 150, 90}, {2, 0, 1}},  // the lightest with least energy still counts
      {{1, 0.5, 1}, {100, 150, 100}, {1}},       // 1.5 kg 150 beats both 2 kg designs
      {{1, 1, 1}, {100, NAN, 100}, {0, 2}},      // equal designs are both on the front
      {{0.5, 2, 1}, {100, 120, NAN}, {0, 1}},    // a type not read does not count
      {{1, 1, 1}, {NAN, NAN, NAN}, {}},
      // A design that does not hold (or whose loads are unknown) neither stands on the front
      // nor pushes a design that holds off it.
      {{1, 0.5, 1}, {100, 150, 100}, {0, 2}, {0.9, 1.2, 0.4}},
      {{1, 0.5, 1}, {100, 150, 100}, {0, 2}, {0.9, NAN, 1.0}},
      {{1, 0.5, 1}, {100, 150, 100}, {1}, {0.9, 0.2, 1.0}},
  };
  for (const Case& c : cases) {
    auto rows = rows_of(s, c.mass, c.energy);
    for (std::size_t i = 0; i < c.utilisation.size(); ++i) {
      rows[i].loads_asked = true;
      if (std::isnan(c.utilisation[i])) continue;
      rows[i].loads.emplace();
      rows[i].loads->utilisation = c.utilisation[i];
      // Here the strength decides the verdict alone.
      rows[i].loads->verdict = c.utilisation[i] <= 1.0;
    }
    EXPECT_EQ(study::pareto_front(rows, 0), c.front);
  }
}

TEST(Summary, EnergyMassChartLabelsEveryMarkAndJoinsTheFront) {
  const study::Study s = three_designs();
  const auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, 110});  // 0.5, 1.5, 2 kg
  const plot::Chart c = study::energy_mass_chart(rows, study::labels(rows), 0);
  ASSERT_EQ(c.series.size(), 3u);  // the designs, the front, the best
  EXPECT_FALSE(c.series[0].line);
  ASSERT_EQ(c.series[0].points.size(), 3u);
  EXPECT_EQ(c.series[0].point_labels, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(c.series[1].label, "Pareto front");
  ASSERT_EQ(c.series[1].points.size(), 2u);  // design 3 is beaten by design 2
  EXPECT_EQ(c.series[1].points[0].x, 0.5);
  EXPECT_EQ(c.series[1].points[1].x, 1.5);
  const std::string svg = plot::render(c);
  // Every mark has its number beside it.
  for (const char* n : {">1</text>", ">2</text>", ">3</text>"}) {
    EXPECT_NE(svg.find(std::string("class=\"point-label\"")), std::string::npos);
    EXPECT_NE(svg.find(n), std::string::npos) << n;
  }
  EXPECT_NE(svg.find("Pareto front (no other design has both more energy and less mass): 1, 2."),
            std::string::npos);
}

// The bars' texts lie inside the picture: before, a value of four digits ("4186.0 kW·h/kg") ran
// past its right edge.
TEST(Summary, EnergyPerKgBarsAreLabelledAndTheirValuesFit) {
  const study::Study s = three_designs();
  const auto rows = rows_of(s, {0.25, 0.5, 1}, {4186, 120, NAN});
  const auto names = study::labels(rows);
  const std::string bars = study::energy_per_kg_svg(rows, names, 0);
  const auto first =
      bars.find("class=\"bar best\" data-design=\"" + rows[0].id + "\" data-value=\"8372\"");
  const auto second =
      bars.find("class=\"bar\" data-design=\"" + rows[1].id + "\" data-value=\"80\"");
  ASSERT_NE(first, std::string::npos) << bars;
  ASSERT_NE(second, std::string::npos) << bars;
  EXPECT_LT(first, second);
  EXPECT_EQ(bars.find(rows[2].id), std::string::npos);
  EXPECT_NE(bars.find(">1: 2 blades, sg6043</text>"), std::string::npos) << bars;
  const std::regex width_re("<svg[^>]* width=\"([0-9.]+)\"");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(bars, m, width_re)) << bars;
  const double width = std::stod(m[1].str());
  // DejaVu Sans at 12 px averages about 7 px a character over digits and letters.
  const std::regex value_re("<text x=\"([0-9.]+)\"[^>]*class=\"value\"[^>]*>([^<]*)</text>");
  int values = 0;
  for (auto it = std::sregex_iterator(bars.begin(), bars.end(), value_re);
       it != std::sregex_iterator(); ++it, ++values) {
    const std::string text = (*it)[2].str();
    const double chars = static_cast<double>(text.size() - 1);  // "·" is two bytes
    EXPECT_LE(std::stod((*it)[1].str()) + 7.0 * chars, width) << text;
  }
  EXPECT_EQ(values, 2);
}

// Rows with loads asked for: utilisation per design, NaN for loads that could not be computed.
void with_loads(std::vector<study::Row>& rows, const std::vector<double>& utilisation) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].loads_asked = true;
    if (std::isnan(utilisation[i])) continue;
    rows[i].loads.emplace();
    rows[i].loads->utilisation = utilisation[i];
    // Strength is the only limit these rows fail or pass.
    rows[i].loads->verdict = utilisation[i] <= 1.0;
    if (!rows[i].loads->verdict) rows[i].loads->reason = "strength";
  }
}

// The design each chart singles out: the text's best is the charts' best, and designs that do
// not hold are marked as such on both charts. Before, the bar chart coloured the top bar (a
// wood blade at utilisation 44.5) while the text named a carbon blade.
TEST(Summary, ChartsSingleOutTheBestThatHoldsAndMarkWhatFails) {
  const study::Study s = three_designs();
  struct Case {
    std::vector<double> mass, energy, utilisation;  // blades 2, 3, 2
    std::size_t best;
    std::vector<std::string> failing;  // numbers of the grey marks
  };
  const std::vector<Case> cases = {
      // Per kg 200, 80, 45: design 1 is the top bar but fails; 2 is the best that holds.
      {{0.25, 0.5, 1}, {100, 120, 90}, {44.5, 0.6, 0.9}, 1, {"1"}},
      // Loads not computed for design 2: it is no candidate either.
      {{0.25, 0.5, 1}, {100, 120, 90}, {44.5, NAN, 0.9}, 2, {"1", "2"}},
      // All hold: the top bar is the best.
      {{0.25, 0.5, 1}, {100, 120, 90}, {0.5, 0.6, 0.9}, 0, {}},
  };
  for (const Case& c : cases) {
    auto rows = rows_of(s, c.mass, c.energy);
    with_loads(rows, c.utilisation);
    const auto names = study::labels(rows);
    ASSERT_EQ(study::best_design(rows, 0), c.best);
    const std::string best_id = rows[c.best].id;

    const std::string bars = study::energy_per_kg_svg(rows, names, 0);
    const std::regex best_re("class=\"bar best[^\"]*\" data-design=\"([0-9a-f]+)\"");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(bars, m, best_re)) << bars;
    EXPECT_EQ(m[1].str(), best_id);
    EXPECT_EQ(std::distance(std::sregex_iterator(bars.begin(), bars.end(), best_re),
                            std::sregex_iterator()),
              1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const bool fails = rows[i].fails_loads();
      const auto at = bars.find("data-design=\"" + rows[i].id + "\"");
      ASSERT_NE(at, std::string::npos);
      const std::string tag = bars.substr(bars.rfind("<rect", at), at - bars.rfind("<rect", at));
      EXPECT_EQ(tag.find(" fails") != std::string::npos, fails) << tag;
    }
    EXPECT_EQ(bars.find("kW\u00b7h/kg, does not hold") != std::string::npos, !c.failing.empty());

    const plot::Chart chart = study::energy_mass_chart(rows, names, 0);
    std::vector<std::string> grey, best;
    for (const plot::Series& series : chart.series) {
      if (series.label == "designs that do not hold") grey = series.point_labels;
      if (series.label == "most energy per kg") {
        ASSERT_EQ(series.points.size(), 1u);
        EXPECT_EQ(series.points[0].x, *rows[c.best].rotor_mass());
        EXPECT_EQ(series.points[0].y, rows[c.best].types[0].energy);
        best.push_back("found");
      }
    }
    EXPECT_EQ(grey, c.failing);
    EXPECT_EQ(best.size(), 1u);
    const std::string caption = chart.caption.back();
    EXPECT_NE(caption.find("among the designs that hold: " + std::to_string(c.best + 1) + ": " +
                           names[c.best]),
              std::string::npos)
        << caption;
    // The page's text names the same design.
    const std::string page = study::index_html(s, rows, {});
    EXPECT_NE(page.find("<b>" + names[c.best] + "</b> (design " + best_id + ")"),
              std::string::npos);
  }
}

// A design on filled or copied polar data is marked where decisions are made: the headline, the
// front's list, the best, and the charts' marks and bars. Before, only a table column said so.
TEST(Summary, DesignsOnFilledDataMarkedInHeadlineRankingAndCharts) {
  const study::Study s = three_designs();
  auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, 110});  // per kg 200, 80, 55
  rows[0].filled = "42000 83000 160000";
  rows[0].copied = "83000 160000";
  EXPECT_EQ(study::data_note(rows[0]),
            "polar data filled at Re 42000; polar blocks of Re 83000, 160000 copied from another "
            "Reynolds number");
  rows[2].filled = "2400000";
  EXPECT_EQ(study::data_note(rows[2]), "polar data filled at Re 2400000");
  EXPECT_EQ(study::data_note(rows[1]), "");
  rows[1].filled = rows[1].copied = "42000";
  EXPECT_EQ(study::data_note(rows[1]),
            "polar block of Re 42000 copied from another Reynolds number");
  rows[1].filled = rows[1].copied = "";
  study::mark_fronts(rows);
  const auto names = study::labels(rows);

  const std::string page = study::index_html(s, rows, {});
  const auto headline = page.find("Designs marked * rest on polar data");
  ASSERT_NE(headline, std::string::npos);
  EXPECT_LT(headline, page.find("<h2>"));  // above the results
  EXPECT_NE(page.find("<li>1*: 2 blades, sg6043: polar data filled at Re 42000;"),
            std::string::npos);
  // The best (design 1) and its line in the front say it.
  const auto best = page.find("<p class=\"best\">");
  ASSERT_NE(best, std::string::npos);
  EXPECT_NE(page.substr(best, page.find("</p>", best) - best).find("on polar data filled"),
            std::string::npos);
  const auto front = page.find("<li value=\"1\">");
  ASSERT_NE(front, std::string::npos);
  EXPECT_NE(page.substr(front, page.find("</li>", front) - front).find("filled"),
            std::string::npos);
  const auto second = page.find("<li value=\"2\">");
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(page.substr(second, page.find("</li>", second) - second).find("filled"),
            std::string::npos);

  const plot::Chart chart = study::energy_mass_chart(rows, names, 0);
  EXPECT_EQ(chart.series[0].point_labels, (std::vector<std::string>{"1*", "2", "3*"}));
  EXPECT_NE(chart.caption.back().find("*: on polar data filled or copied"), std::string::npos);
  const std::string bars = study::energy_per_kg_svg(rows, names, 0);
  EXPECT_NE(bars.find(">1*: 2 blades, sg6043</text>"), std::string::npos) << bars;
  EXPECT_NE(bars.find(">2: 3 blades, sg6043</text>"), std::string::npos) << bars;
  EXPECT_NE(bars.find("*: on polar data filled or copied"), std::string::npos);
}

// The table fits the screen: the answers every design shares are said once above it, results
// come first, the table scrolls in a box of its own, and each design links every page of its
// session. Before, the 2 450 px wide table repeated the shared answers on every row and put the
// results off-screen.
TEST(Summary, TableShowsResultsFirstSharedAnswersOnceAndEveryPageOfADesign) {
  const study::Study s = three_designs();
  auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, 110});
  rows[0].pictures = "designs/" + rows[0].id + "/Result/plots/index.html";
  rows[0].pages = {{rows[0].pictures, "pictures"},
                   {"designs/" + rows[0].id + "/Result/loads/index.html", "loads"},
                   {"designs/" + rows[0].id + "/Result/analysis/a1/index.html", "analysis a1"}};
  study::mark_fronts(rows);
  const std::string page = study::index_html(s, rows, {});
  const auto table = page.find("<div class=\"table-box\">\n<table id=\"designs\">");
  ASSERT_NE(table, std::string::npos) << page;
  const auto common = page.find("<table class=\"common\">");
  ASSERT_NE(common, std::string::npos);
  EXPECT_LT(common, table);
  const std::string shared = page.substr(common, table - common);
  // Said once above: what no design changes (hub, tip, elements, wind, site, material ...).
  for (const char* answer :
       {"<tr><th>hub radius (m)</th><td>0.15</td></tr>", "<tr><th>tip radius (m)</th><td>1.5</td>",
        "<tr><th>elements</th><td>5</td>", "<tr><th>cut-out (m/s)</th><td>20</td>",
        "<tr><th>material</th><td>wood</td>"}) {
    EXPECT_NE(shared.find(answer), std::string::npos) << answer;
  }
  // Blank for every design (a solid blade's wall): not said at all.
  EXPECT_EQ(page.find("wall (mm)"), std::string::npos);
  const std::string head = page.substr(table, page.find("</thead>", table) - table);
  EXPECT_EQ(head.find("hub radius"), std::string::npos) << head;
  EXPECT_EQ(head.find("material"), std::string::npos) << head;
  // Results first, then what differs between the designs.
  const auto energy = head.find("type 1: yearly energy");
  const auto blades = head.find(">blades</th>");
  const auto aerofoil = head.find(">aerofoil</th>");
  ASSERT_NE(energy, std::string::npos);
  ASSERT_NE(blades, std::string::npos);
  ASSERT_NE(aerofoil, std::string::npos);
  EXPECT_LT(energy, blades);
  EXPECT_LT(head.find("mass of all blades"), blades);
  EXPECT_LT(head.find(">pages</th>"), energy);
  // Every page of the first design is linked on its row.
  const std::string prefix = "designs/" + rows[0].id + "/Result/";
  EXPECT_NE(
      page.find("<td><a href=\"" + prefix + "plots/index.html\">pictures</a> \u00b7 <a href=\"" +
                prefix + "loads/index.html\">loads</a> \u00b7 <a href=\"" + prefix +
                "analysis/a1/index.html\">analysis a1</a></td>"),
      std::string::npos)
      << page;
}

// The designs a user compares - the front and the best - are laid over one another: power
// curves per type and the chord along the blade.
TEST(Summary, PowerCurvesAndPlanFormsOfTheListedDesignsOnOneChartEach) {
  const study::Study s = three_designs();
  auto rows = rows_of(s, {0.25, 0.5, 1}, {100, 120, 110});  // front: 1, 2; 3 is beaten
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const double k = static_cast<double>(i + 1);
    rows[i].power_curve[0] = {{3, 0}, {10, 100 * k}, {20, 150 * k}};
    rows[i].chord = {{0.15, 0.2 * k}, {1.5, 0.05 * k}};
  }
  rows[1].filled = "42000";
  const auto names = study::labels(rows);
  EXPECT_EQ(study::listed_designs(rows, 0), (std::vector<std::size_t>{0, 1}));
  const plot::Chart curves = study::power_curves_chart(rows, names, 0);
  ASSERT_EQ(curves.series.size(), 2u);
  EXPECT_EQ(curves.series[0].label, "1: 2 blades, sg6043");
  EXPECT_EQ(curves.series[1].label, "2*: 3 blades, sg6043");
  EXPECT_EQ(curves.series[1].points[2].y, 300.0);
  const plot::Chart plan = study::plan_forms_chart(s, rows, names);
  ASSERT_EQ(plan.series.size(), 2u);
  EXPECT_EQ(plan.series[0].points[0].y, 0.2);
  EXPECT_EQ(plan.series[1].points[1].y, 0.1);
  EXPECT_NE(plan.caption.back().find("*: on polar data filled"), std::string::npos);
}

}  // namespace
