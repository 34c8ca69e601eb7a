// Charts built from the files' contents: units, labels, captions, limits and how many curves and
// points each picture holds.
#include "plot/pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot/fixtures.h"

namespace {

plot::EnergyTable table_of(int type, std::vector<std::vector<plot::TableRow>> sweeps) {
  plot::EnergyTable t;
  t.type = type;
  double pavg = 100.0;
  for (auto& rows : sweeps) {
    plot::Sweep s;
    s.rows = std::move(rows);
    s.average_power = pavg;
    s.annual_energy = pavg * 8.7;
    pavg += 100.0;
    t.sweeps.push_back(std::move(s));
  }
  return t;
}

std::vector<plot::Section> sections_of(int nbe) {
  fixture::Blade b;
  b.nbe = nbe;
  const std::string text = fixture::blade_points_text(b);
  plot::TextSource src(text);
  auto r = plot::read_blade_points(src);
  EXPECT_TRUE(r.ok()) << r.error;
  return r.value;
}

TEST(PowerChart, UnitFollowsTheLargestPower) {
  struct Case {
    double scale;  // of the fixture's power curve, which peaks near 2.1 kW
    const char* label;
    double factor;
  };
  const Case cases[] = {
      {1.0, "power P (W)", 1.0}, {10.0, "power P (kW)", 1e-3}, {1e4, "power P (MW)", 1e-6}};
  for (const Case& c : cases) {
    const auto rows = fixture::sweep_rows(3.0, 25.0, 0.0, c.scale);
    const plot::Chart chart = plot::power_chart(table_of(1, {rows}), {});
    EXPECT_EQ(chart.y_label, c.label);
    ASSERT_EQ(chart.series.size(), 1u);
    EXPECT_EQ(chart.series[0].label, "power");
    ASSERT_EQ(chart.series[0].points.size(), 23u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(chart.series[0].points[i].x, rows[i].wind);
      EXPECT_EQ(chart.series[0].points[i].y, rows[i].power * c.factor);
    }
    EXPECT_TRUE(chart.y_from_zero);
    EXPECT_TRUE(chart.ref_lines.empty());
  }
}

TEST(PowerChart, SweepsLimitsAndCaption) {
  auto a = fixture::sweep_rows(3.0, 25.0, 1500.0);
  auto b = fixture::sweep_rows(3.0, 25.0, 2500.0);
  b[5].power = std::nan("");
  b[6].power = std::nan("");
  const plot::EnergyTable t = table_of(4, {a, b, a});
  const plot::Chart c = plot::power_chart(
      t, {plot::PowerLimit{1499.4, false}, plot::PowerLimit{2500.0, true}, std::nullopt});
  ASSERT_EQ(c.series.size(), 3u);
  EXPECT_EQ(c.series[1].label, "sweep 2");
  ASSERT_EQ(c.ref_lines.size(), 2u);
  EXPECT_EQ(c.ref_lines[0].label, "sweep 1 MPL \u2248 1499 W");
  EXPECT_EQ(c.ref_lines[0].y, 1499.4);
  EXPECT_EQ(c.ref_lines[1].label, "sweep 2 MPL = 2500 W");
  const std::vector<std::string> caption = {
      "sweep 1: average power at the site 100.00 W, annual energy 870.00 kW\u00b7h (8700 h)",
      "sweep 2: average power at the site 200.00 W, annual energy 1740.00 kW\u00b7h (8700 h)",
      "sweep 3: average power at the site 300.00 W, annual energy 2610.00 kW\u00b7h (8700 h)",
      "MPL read from Temp/mpl.tmp, which the last sweep wrote",
      "MPL \u2248 power at cut-out, which the limit search holds within 2 %",
      "MPL unknown where not drawn: the power at cut-out does not bound the other rows",
      "2 powers were too wide for the table (asterisks) and are left out"};
  EXPECT_EQ(c.caption, caption);
  // Other types draw no limit even when given one.
  const plot::Chart c1 = plot::power_chart(table_of(1, {a}), {plot::PowerLimit{1.0, true}});
  EXPECT_TRUE(c1.ref_lines.empty());
}

TEST(CpChart, HighestCoefficientPerSweep) {
  auto rows = fixture::sweep_rows(3.0, 25.0, 0.0);
  rows[3].cp = 0.61;
  rows[9].cp = 0.61;  // the first of equal maxima is named
  const plot::Chart c = plot::cp_chart(table_of(3, {rows}));
  EXPECT_EQ(c.y_label, "power coefficient CP (\u2013)");
  ASSERT_EQ(c.series.size(), 1u);
  EXPECT_EQ(c.series[0].points.size(), 23u);
  EXPECT_EQ(c.caption, std::vector<std::string>{
                           "highest CP 0.6100 at U = " + plot::fixed(rows[3].wind, 2) + " m/s"});
}

TEST(BladeCharts, OnePointPerStation) {
  fixture::Blade b;
  const std::string text = fixture::geometry_text(b);
  plot::TextSource src(text);
  const auto g = plot::read_geometry(src);
  ASSERT_TRUE(g.ok()) << g.error;
  const plot::Chart chord = plot::chord_chart(g.value);
  const plot::Chart twist = plot::twist_chart(g.value);
  ASSERT_EQ(chord.series.size(), 1u);
  ASSERT_EQ(chord.series[0].points.size(), 12u);
  EXPECT_EQ(chord.series[0].points[0].x, 0.2);
  EXPECT_EQ(chord.series[0].points[11].y, 0.12);
  EXPECT_EQ(twist.series[0].points[11].y, 3.0);
  EXPECT_EQ(chord.caption[0], "hub at r = 0.2000 m, tip at r = 1.5000 m, blade length 1.3000 m");
  EXPECT_EQ(twist.caption[1],
            "twist 22.07\u00b0 at the hub, 3.00\u00b0 at the tip, setting "
            "angle included");
}

TEST(BladeViews, EverySectionOfASmallBlade) {
  const auto sections = sections_of(10);
  const plot::Chart plan = plot::plan_chart(sections);
  EXPECT_TRUE(plan.equal_aspect);
  ASSERT_EQ(plan.series.size(), 13u);  // 12 station marks and the outline
  EXPECT_EQ(plan.series.back().label, "outline");
  EXPECT_TRUE(plan.series.back().closed);
  EXPECT_EQ(plan.series.back().points.size(), 24u);
  EXPECT_EQ(plan.series.back().points.front().x, 0.2);
  EXPECT_EQ(plan.series.back().points[11].x, 1.5);
  const plot::Chart tip = plot::sections_chart(sections);
  ASSERT_EQ(tip.series.size(), 12u);
  EXPECT_EQ(tip.series.front().label, "hub, Z = 0.200 m");
  EXPECT_EQ(tip.series.back().label, "tip, Z = 1.500 m");
  for (const auto& s : tip.series) EXPECT_EQ(s.points.size(), 100u);
  // The outline runs along the lower side and back along the upper side, seen from the tip:
  // across is -Y, up is X.
  const plot::Section& hub = sections.front();
  EXPECT_EQ(tip.series[0].points[0].x, -hub.points[0].y);
  EXPECT_EQ(tip.series[0].points[0].y, hub.points[0].x);
  EXPECT_EQ(tip.series[0].points[99].x, -hub.points[50].y);
  EXPECT_EQ(tip.caption[0],
            "looking from the tip towards the hub; 12 sections, each centred on "
            "its own centroid");
}

TEST(BladeViews, ManySectionsAreThinnedEvenly) {
  const auto sections = sections_of(98);  // 100 stations
  const plot::Chart plan = plot::plan_chart(sections);
  ASSERT_EQ(plan.series.size(), plot::kMostStations + 1);
  EXPECT_EQ(plan.series.back().points.size(), 200u);  // the outline keeps every station
  EXPECT_EQ(plan.series.front().points[0].x, sections.front().z);
  EXPECT_EQ(plan.series[plot::kMostStations - 1].points[0].x, sections.back().z);
  const plot::Chart tip = plot::sections_chart(sections);
  ASSERT_EQ(tip.series.size(), plot::kMostSections);
  EXPECT_EQ(tip.series.front().label, "hub, Z = 0.200 m");
  EXPECT_EQ(tip.series.back().label, "tip, Z = 1.500 m");
  EXPECT_EQ(tip.caption[0],
            "looking from the tip towards the hub; 30 of 100 sections drawn, "
            "each centred on its own centroid");
  // Evenly spread: neighbouring marks of the plan view are 1 or 2 stations apart (99 / 59).
  std::vector<std::size_t> index;
  for (std::size_t k = 0; k < plot::kMostStations; ++k) {
    const double z = plan.series[k].points[0].x;
    std::size_t i = 0;
    while (i < sections.size() && sections[i].z != z) ++i;
    ASSERT_LT(i, sections.size()) << "no station at Z = " << z;
    index.push_back(i);
  }
  EXPECT_EQ(index.front(), 0u);
  EXPECT_EQ(index.back(), 99u);
  for (std::size_t k = 1; k < index.size(); ++k) {
    EXPECT_TRUE(index[k] - index[k - 1] == 1 || index[k] - index[k - 1] == 2)
        << index[k - 1] << " -> " << index[k];
  }
  EXPECT_EQ(plan.caption[0],
            "seen along the X axis; leading edge at the top; 60 of 100 sections "
            "drawn from Z = 0.2000 m to 1.5000 m");
}

TEST(IndexPage, FiguresThatAreAbsentOrTooWide) {
  plot::Geometry g;
  g.stations = {{0.1, 0.2, 20.0}, {0.5, std::nan(""), 10.0}, {1.0, 0.05, 1.0}};
  g.volume = std::nan("");
  g.surface = 0.5;
  plot::Page page;
  page.geometry = &g;
  page.notes = {"Result/3dgeo.dat: missing; skipped"};
  const std::string html = plot::index_html(page);
  for (const char* want :
       {"<th>volume</th><td>too wide for its field (asterisks)</td>",
        "<th>surface</th><td>0.500000 m\u00b2</td>",
        "<th>mass of one blade</th><td>no material chosen</td>",
        "<th>largest chord</th><td>0.2000 m at r = 0.1000 m</td>",
        "<th>blade elements</th><td>1</td>", "<li>Result/3dgeo.dat: missing; skipped</li>"}) {
    EXPECT_NE(html.find(want), std::string::npos) << want;
  }
}

}  // namespace
