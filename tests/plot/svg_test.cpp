// The SVG writer and the charts: number spelling, axis ranges, and what a rendered chart holds.
#include "plot/svg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "plot/fixtures.h"

namespace {

TEST(EscapeXml, MarkupCharactersBecomeEntities) {
  EXPECT_EQ(plot::escape_xml("a<b & \"c\" 'd'>\u00b0"),
            "a&lt;b &amp; &quot;c&quot; &#39;d&#39;&gt;\u00b0");
}

TEST(NiceAxis, KnownRanges) {
  struct Case {
    double lo, hi;
    double a_lo, a_hi, step;
  };
  const Case cases[] = {
      {0.0, 4000.0, 0.0, 4000.0, 1000.0}, {3.0, 25.0, 0.0, 25.0, 5.0}, {0.2, 1.5, 0.0, 1.5, 0.5},
      {-0.04, 0.06, -0.04, 0.06, 0.02},   {25.0, 3.0, 0.0, 25.0, 5.0},  // reversed ends
      {5.0, 5.0, 4.4, 5.6, 0.2},  // zero width: widened by a tenth each way, then to ticks
      {0.0, 0.0, -1.0, 1.0, 0.5},
  };
  for (const Case& c : cases) {
    const plot::Axis a = plot::nice_axis(c.lo, c.hi);
    EXPECT_DOUBLE_EQ(a.lo, c.a_lo) << c.lo << ".." << c.hi;
    EXPECT_DOUBLE_EQ(a.hi, c.a_hi) << c.lo << ".." << c.hi;
    EXPECT_DOUBLE_EQ(a.step, c.step) << c.lo << ".." << c.hi;
  }
  const plot::Axis none = plot::nice_axis(std::nan(""), 1.0);
  EXPECT_EQ(none.lo, 0.0);
  EXPECT_EQ(none.hi, 1.0);
}

// Any finite range: covered, ends on ticks, a step of 1, 2, 2.5 or 5 times a power of ten, and a
// readable number of ticks.
TEST(NiceAxis, CoversEveryRandomRange) {
  std::mt19937_64 rng(20240613);
  std::uniform_real_distribution<double> exponent(-6.0, 8.0), unit(-1.0, 1.0);
  for (int i = 0; i < 20000; ++i) {
    const double scale = std::pow(10.0, exponent(rng));
    const double a = unit(rng) * scale, b = a + std::fabs(unit(rng)) * scale;
    const plot::Axis ax = plot::nice_axis(a, b);
    ASSERT_LE(ax.lo, a) << a << " " << b;
    ASSERT_GE(ax.hi, b) << a << " " << b;
    const double m = ax.step / std::pow(10.0, std::floor(std::log10(ax.step) + 1e-12));
    const bool nice = std::fabs(m - 1) < 1e-9 || std::fabs(m - 2) < 1e-9 ||
                      std::fabs(m - 2.5) < 1e-9 || std::fabs(m - 5) < 1e-9;
    ASSERT_TRUE(nice) << "step " << ax.step << " for " << a << ".." << b;
    const double intervals = (ax.hi - ax.lo) / ax.step;
    ASSERT_NEAR(intervals, std::round(intervals), 1e-6);
    ASSERT_GE(std::round(intervals), 2.0) << a << ".." << b;
    ASSERT_LE(std::round(intervals), 12.0) << a << ".." << b;
  }
}

plot::Chart two_series() {
  plot::Chart c;
  c.title = "Test <chart> & \"quotes\"";
  c.x_label = "U (m/s)";
  c.y_label = "P (W)";
  plot::Series a;
  a.label = "sweep 1";
  for (int i = 0; i < 23; ++i) a.points.push_back({3.0 + i, 10.0 * i * i});
  a.points[10].y = std::nan("");  // a value that showed asterisks
  plot::Series b;
  b.label = "sweep <2>";
  for (int i = 0; i < 23; ++i) b.points.push_back({4.0 + i * 0.5, -50.0 + 5.0 * i});
  c.series = {a, b};
  c.ref_lines.push_back({"MPL = 6000 W", 6000.0});
  c.caption = {"first & only caption line"};
  return c;
}

TEST(Render, CurvesHoldEveryPointInsideTheFrame) {
  const std::string svg = plot::render(two_series());
  const auto curves = fixture::curves(svg);
  // The missing value splits sweep 1 into two curves of 10 and 12 points.
  ASSERT_EQ(curves.size(), 3u);
  EXPECT_EQ(curves[0].series, "sweep 1");
  EXPECT_EQ(curves[0].points.size(), 10u);
  EXPECT_EQ(curves[1].series, "sweep 1");
  EXPECT_EQ(curves[1].points.size(), 12u);
  EXPECT_EQ(curves[2].series, "sweep &lt;2&gt;");
  EXPECT_EQ(curves[2].points.size(), 23u);
  const fixture::PlotArea a = fixture::plot_area(svg);
  ASSERT_GT(a.width, 0.0);
  EXPECT_LE(a.x_min, 3.0);
  EXPECT_GE(a.x_max, 25.0);
  EXPECT_LE(a.y_min, -50.0);
  EXPECT_GE(a.y_max, 6000.0);  // the reference line is inside the range too
  for (const auto& c : curves) {
    for (const auto& [x, y] : c.points) {
      EXPECT_GE(x, a.left);
      EXPECT_LE(x, a.left + a.width);
      EXPECT_GE(y, a.top);
      EXPECT_LE(y, a.top + a.height);
    }
  }
  // The last point of sweep 1 sits at x = 25 and y = 4840 on the axes' scale (2 decimals).
  const auto& [px, py] = curves[1].points.back();
  EXPECT_NEAR(px, a.left + (25.0 - a.x_min) / (a.x_max - a.x_min) * a.width, 0.005);
  EXPECT_NEAR(py, a.top + (a.y_max - 4840.0) / (a.y_max - a.y_min) * a.height, 0.005);
  EXPECT_EQ(fixture::attributes(svg, "class=\"ref\"", "data-label"),
            std::vector<std::string>{"MPL = 6000 W"});
  EXPECT_NE(svg.find("<title>Test &lt;chart&gt; &amp; &quot;quotes&quot;</title>"),
            std::string::npos);
  EXPECT_NE(svg.find(">first &amp; only caption line</text>"), std::string::npos);
}

TEST(Render, WellFormedXml) {
  if (!fixture::have_xmllint()) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
  fixture::WorkDir dir;
  plot::Chart empty;
  empty.title = "nothing";
  plot::Chart only_gaps = two_series();
  for (auto& s : only_gaps.series) {
    for (auto& p : s.points) p.x = std::nan("");
  }
  const std::pair<const char*, plot::Chart> charts[] = {
      {"two.svg", two_series()}, {"empty.svg", empty}, {"gaps.svg", only_gaps}};
  for (const auto& [name, chart] : charts) {
    fixture::spit(dir / name, plot::render(chart));
    EXPECT_EQ(fixture::xml_problems(dir / name), "") << name;
  }
}

TEST(Render, EqualAspectKeepsOneScale) {
  for (double height : {0.01, 0.3, 3.0, 30.0}) {
    plot::Chart c;
    c.equal_aspect = true;
    plot::Series s;
    s.label = "outline";
    s.closed = true;
    s.points = {{0.2, 0.0}, {1.5, 0.0}, {1.5, height}, {0.2, height}};
    c.series = {s};
    const std::string svg = plot::render(c);
    const fixture::PlotArea a = fixture::plot_area(svg);
    const double sx = a.width / (a.x_max - a.x_min), sy = a.height / (a.y_max - a.y_min);
    EXPECT_NEAR(sx / sy, 1.0, 1e-9) << height;
    EXPECT_LE(a.x_min, 0.2);
    EXPECT_GE(a.x_max, 1.5);
    EXPECT_LE(a.y_min, 0.0);
    EXPECT_GE(a.y_max, height);
    const auto curves = fixture::curves(svg);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].points.size(), 4u);  // a polygon closes itself: no repeated point
    EXPECT_NE(svg.find("<polygon "), std::string::npos);
  }
}

// Point labels of marks that lie close together do not overlap one another or another mark.
// Before, every label sat at the same place beside its mark, so eight designs of about the same
// mass and energy printed their numbers on top of each other.
TEST(Render, PointLabelsOfCloseMarksDoNotOverlap) {
  struct Case {
    const char* what;
    std::vector<plot::XY> points;
  };
  std::vector<plot::XY> cluster, row, random;
  for (int i = 0; i < 8; ++i) cluster.push_back({10.0 + 0.02 * i, 100.0 + 0.3 * (i % 3)});
  for (int i = 0; i < 12; ++i) row.push_back({1.0 + 0.01 * i, 50.0});
  // Far marks make the axes wide, so that the cluster and the row lie within a few pixels.
  for (auto* p : {&cluster, &row}) {
    p->push_back({0.0, 0.0});
    p->push_back({p->front().x * 2.0, p->front().y * 2.0});
  }
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < 24; ++i) random.push_back({u(gen), u(gen)});
  random.push_back({0.0, 0.0});  // corners: the labels stay inside the plot
  random.push_back({1.0, 1.0});
  const Case cases[] = {{"cluster", cluster}, {"row", row}, {"random", random}};
  for (const Case& c : cases) {
    plot::Chart chart;
    chart.title = c.what;
    plot::Series s;
    s.line = false;
    s.points = c.points;
    for (std::size_t i = 0; i < c.points.size(); ++i)
      s.point_labels.push_back(std::to_string(i + 1));
    chart.series.push_back(s);
    const std::string svg = plot::render(chart);
    struct Box {
      double x0, y0, x1, y1;
    };
    std::vector<Box> labels, marks;
    const std::regex label_re(
        "<text x=\"([-0-9.]+)\" y=\"([-0-9.]+)\"[^>]*class=\"point-label\"[^>]*>([^<]*)</text>");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), label_re);
         it != std::sregex_iterator(); ++it) {
      const double x = std::stod((*it)[1].str()), y = std::stod((*it)[2].str());
      // 11 px DejaVu Sans digits: 7 px wide, 9 px above the baseline and 2 below.
      labels.push_back({x, y - 9.0, x + 7.0 * static_cast<double>((*it)[3].str().size()), y + 2.0});
    }
    const std::regex mark_re("<circle cx=\"([-0-9.]+)\" cy=\"([-0-9.]+)\" r=\"([0-9.]+)\"");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), mark_re);
         it != std::sregex_iterator(); ++it) {
      const double x = std::stod((*it)[1].str()), y = std::stod((*it)[2].str()),
                   r = std::stod((*it)[3].str());
      marks.push_back({x - r, y - r, x + r, y + r});
    }
    ASSERT_EQ(labels.size(), c.points.size()) << c.what << svg;
    ASSERT_EQ(marks.size(), c.points.size()) << c.what;
    const auto overlap = [](const Box& a, const Box& b) {
      // Coordinates are written with two decimals: a hundredth of slack.
      return std::min(a.x1, b.x1) - std::max(a.x0, b.x0) > 0.01 &&
             std::min(a.y1, b.y1) - std::max(a.y0, b.y0) > 0.01;
    };
    for (std::size_t i = 0; i < labels.size(); ++i) {
      for (std::size_t j = i + 1; j < labels.size(); ++j) {
        EXPECT_FALSE(overlap(labels[i], labels[j]))
            << c.what << ": labels " << i + 1 << " and " << j + 1;
      }
      for (std::size_t j = 0; j < marks.size(); ++j) {
        EXPECT_FALSE(overlap(labels[i], marks[j]))
            << c.what << ": label " << i + 1 << ", mark " << j + 1;
      }
    }
  }
}

}  // namespace
