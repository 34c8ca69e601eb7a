// Readers of the result files: every layout read back exactly, and every way a file can be
// broken reported with its line instead of a crash.
#include "plot/results.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot/fixtures.h"
#include "plot/pictures.h"

namespace {

using fixture::Blade;
using plot::TextSource;

// The lines of a text without their CR LF.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  TextSource s(text);
  std::string r;
  while (s.next_record(r)) out.push_back(r);
  return out;
}

plot::Read<plot::EnergyTable> energy(const std::string& text, int type) {
  TextSource s(text);
  return plot::read_energy(s, type);
}

TEST(TextSource, RecordsEndAtLineFeedWithoutCarriageReturn) {
  const std::vector<std::string> want = {"a", "", "b\rc", " d", "last"};
  EXPECT_EQ(lines_of("a\r\n\nb\rc\r\n d\nlast"), want);
  EXPECT_TRUE(lines_of("").empty());
}

// Rows written by the run's own format and read back give the same line, byte for byte.
TEST(ReadEnergy, RowsReadBackToTheSameText) {
  for (int type : {1, 2, 3, 4}) {
    const auto rows = fixture::sweep_rows(3.0, 25.0, type == 4 ? 4000.0 : 0.0);
    const std::string text = fixture::sweep_text(type, rows, 1234.5, 10740.15);
    const auto r = energy(text, type);
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.value.sweeps.size(), 1u);
    const plot::Sweep& s = r.value.sweeps[0];
    ASSERT_EQ(s.rows.size(), plot::kSweepRows);
    EXPECT_EQ(s.header_line, 1);
    EXPECT_EQ(s.average_power, 1234.5);
    EXPECT_EQ(s.annual_energy, 10740.15);
    EXPECT_TRUE(r.value.incomplete.empty());
    const std::vector<std::string> lines = lines_of(text);
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
      const plot::TableRow& p = s.rows[i];
      const std::string again =
          type == 4
              ? fixture::fmt_line(files::kSweepRowFormat,
                                  {p.wind, p.tsr, p.cp, p.power, p.rpm, p.angle})
              : fixture::fmt_line(files::kSweepRowFormat, {p.wind, p.tsr, p.cp, p.power, p.rpm});
      EXPECT_EQ(again, lines[2 + i] + "\r\n") << "type " << type << " row " << i;
    }
  }
}

TEST(ReadEnergy, SeveralSweepsOfOneOption) {
  std::string text;
  for (int k = 0; k < 3; ++k) {
    text += fixture::sweep_text(2, fixture::sweep_rows(3.0 + k, 20.0 + k, 0.0), 100.0 * (k + 1),
                                870.0 * (k + 1));
  }
  const auto r = energy(text, 2);
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.value.sweeps.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const plot::Sweep& s = r.value.sweeps[k];
    EXPECT_EQ(s.header_line, 1 + 29 * k);  // header, empty, 23 rows, four energy records
    EXPECT_EQ(s.rows.front().wind, 3.0 + k);
    EXPECT_EQ(s.rows.back().wind, 20.0 + k);
    EXPECT_EQ(s.average_power, 100.0 * (k + 1));
  }
}

TEST(ReadEnergy, AsterisksAreMissingValues) {
  auto rows = fixture::sweep_rows(3.0, 25.0, 0.0);
  rows[20].power = 1.5e8;                                              // wider than f12.3
  const std::string text = fixture::sweep_text(1, rows, 2.5e12, 1e3);  // Pavg wider than f12.2
  ASSERT_NE(text.find("************"), std::string::npos);
  const auto r = energy(text, 1);
  ASSERT_TRUE(r.ok()) << r.error;
  const plot::Sweep& s = r.value.sweeps[0];
  EXPECT_TRUE(std::isnan(s.rows[20].power));
  EXPECT_FALSE(std::isnan(s.rows[19].power));
  EXPECT_TRUE(std::isnan(s.average_power));
  EXPECT_EQ(s.annual_energy, 1000.0);
}

TEST(ReadEnergy, EmptyFileHoldsNoSweep) {
  for (const char* text : {"", "\r\n\r\n"}) {
    const auto r = energy(text, 3);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(r.value.sweeps.empty());
    EXPECT_TRUE(r.value.incomplete.empty());
  }
}

// A file cut inside a sweep (a run still writing it) keeps the sweeps before the cut.
TEST(ReadEnergy, CutFileKeepsTheCompleteSweeps) {
  const std::string one = fixture::sweep_text(1, fixture::sweep_rows(3.0, 25.0, 0.0), 1.0, 2.0);
  const std::vector<std::string> lines = lines_of(one);
  auto first_lines = [&](std::size_t n) {
    std::string t;
    for (std::size_t i = 0; i < n; ++i) t += lines[i] + "\r\n";
    return t;
  };
  struct Case {
    std::size_t kept_lines;
    const char* incomplete;
  };
  const Case cases[] = {
      {1, "sweep 2 (header at line 30) ends after 0 of 23 rows"},
      {12, "sweep 2 (header at line 30) ends after 10 of 23 rows"},
      {25, "sweep 2 (header at line 30) ends before its energy lines"},
      {28, "sweep 2 (header at line 30) ends before its energy lines"},
  };
  for (const Case& c : cases) {
    const auto r = energy(one + first_lines(c.kept_lines), 1);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.value.sweeps.size(), 1u) << c.kept_lines;
    EXPECT_EQ(r.value.incomplete, c.incomplete);
  }
  // The last record cut in the middle, as a run still writing it leaves it.
  const Case cut_records[] = {
      {12, "sweep 2 (header at line 30) ends after 10 of 23 rows"},
      {26, "sweep 2 (header at line 30) ends before its energy lines"},
      {28, "sweep 2 (header at line 30) ends before its energy lines"},
  };
  for (const Case& c : cut_records) {
    const auto r = energy(one + first_lines(c.kept_lines) + lines[c.kept_lines].substr(0, 30), 1);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.value.sweeps.size(), 1u) << c.kept_lines;
    EXPECT_EQ(r.value.incomplete, c.incomplete);
  }
}

TEST(ReadEnergy, BrokenFilesNameTheLine) {
  const std::string good = fixture::sweep_text(1, fixture::sweep_rows(3.0, 25.0, 0.0), 1.0, 2.0);
  const std::vector<std::string> lines = lines_of(good);
  auto with_line = [&](std::size_t i, const std::string& replacement) {
    std::string t;
    for (std::size_t k = 0; k < lines.size(); ++k) t += (k == i ? replacement : lines[k]) + "\r\n";
    return t;
  };
  auto without_line = [&](std::size_t i) {
    std::string t;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (k != i) t += lines[k] + "\r\n";
    }
    return t;
  };
  std::string bad_cp = lines[6];
  bad_cp[41] = 'x';
  struct Case {
    std::string text;
    int type;
    std::string error;
  };
  const Case cases[] = {
      {"hello\r\n", 1, "line 1: expected a table header, found \"hello\""},
      {good, 4, "line 1: the header lacks the setting angle column"},
      {fixture::sweep_text(4, fixture::sweep_rows(3.0, 25.0, 4000.0), 1.0, 2.0), 1,
       "line 1: the header has a setting angle column, which only the pitch-controlled type "
       "has"},
      {with_line(6, bad_cp), 1,
       "line 7: field 3 is not a number: \"" + bad_cp.substr(39, 6) + "\""},
      {with_line(10, ""), 1, "line 11: sweep 1 has 8 rows, 23 expected"},
      {without_line(20), 1, "line 25: sweep 1 has 22 rows, 23 expected"},
      {with_line(26, "Average power output at the site P =      1234.50    W"), 1,
       "line 27: expected the line \"Average power output for a site P = ...\", found "
       "\"Average power output at the site P =      1234.50    W\""},
      {with_line(26, "Average power output for a site P =      12x4.50    W"), 1,
       "line 27: the value of \"Average power output for a site P =\" is not a number: "
       "\"     12x4.50\""},
      {with_line(28, "      Average energy production E =         2.00 kWh") + good, 1,
       "line 29: expected the unit \"kW.h\" after the value, found \" kWh\""},
      {good + "trailing words\r\n", 1,
       "line 30: expected a table header, found \"trailing words\""},
  };
  for (const Case& c : cases) {
    const auto r = energy(c.text, c.type);
    EXPECT_EQ(r.error, c.error);
  }
}

TEST(ReadGeometry, TableAndFigures) {
  Blade b;
  const std::string text = fixture::geometry_text(b);
  TextSource s(text);
  const auto r = plot::read_geometry(s);
  ASSERT_TRUE(r.ok()) << r.error;
  const plot::Geometry& g = r.value;
  ASSERT_EQ(g.stations.size(), static_cast<std::size_t>(b.nbe + 2));
  EXPECT_EQ(g.stations.front().radius, 0.2);
  EXPECT_EQ(g.stations.back().radius, 1.5);
  EXPECT_EQ(g.stations.back().chord, 0.12);  // (0.2 - 0.12) * 1.5
  EXPECT_EQ(g.stations.back().twist, 3.0);
  EXPECT_EQ(g.volume, 0.012346);
  EXPECT_EQ(g.surface, 0.765432);
  EXPECT_EQ(g.mass, 6.913536);

  const std::string no_mass = fixture::geometry_text(b, false);
  TextSource s2(no_mass);
  const auto r2 = plot::read_geometry(s2);
  ASSERT_TRUE(r2.ok()) << r2.error;
  EXPECT_FALSE(r2.value.mass.has_value());
  EXPECT_TRUE(r2.value.surface.has_value());
}

TEST(ReadGeometry, BrokenFiles) {
  Blade b;
  b.nbe = 2;
  const std::vector<std::string> lines = lines_of(fixture::geometry_text(b));
  ASSERT_EQ(lines.size(), 12u);  // 2 titles, 4 rows, 6 figure records
  auto with_line = [&](std::size_t i, const std::string& replacement) {
    std::string t;
    for (std::size_t k = 0; k < lines.size(); ++k) t += (k == i ? replacement : lines[k]) + "\r\n";
    return t;
  };
  const std::string two_rows = lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"", "the file is empty"},
      {with_line(0, " Geometry"), "line 1: expected the title \"Geometry of blades\""},
      {with_line(1, ""), "line 2: expected the column headings \"Radius (m) ...\""},
      {with_line(3, "        0.5000         abc           -3.0000"),
       "line 4: field 2 is not a number: \"         abc   \""},
      {with_line(9, "   Volume of blade    0.123456   cubic meters"),
       "line 10: a second \"Volume of blade\" line"},
      {with_line(11, "     Mass of blade   69.135360            lbs"),
       "line 12: expected the unit \"kg\""},
      {with_line(7, "   Volume of blade    0.12x456   cubic meters"),
       "line 8: the value of \"Volume of blade\" is not a number: \"    0.12x456\""},
      {with_line(9, "   Weight"),
       "line 10: expected a volume, surface or mass line, found "
       "\"   Weight\""},
      {two_rows, "the geometry table holds 1 rows; at least the hub and the tip are needed"},
  };
  for (const Case& c : cases) {
    TextSource s(c.text);
    EXPECT_EQ(plot::read_geometry(s).error, c.error);
  }
  // A volume too wide for its field is kept as a missing value, not an error.
  const std::string stars = with_line(7, "   Volume of blade************   cubic meters");
  TextSource s(stars);
  const auto r = plot::read_geometry(s);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(std::isnan(*r.value.volume));
}

TEST(ReadBladePoints, BlocksOfOneHundredRecords) {
  Blade b;
  b.nbe = 1;
  const std::string text = fixture::blade_points_text(b);
  TextSource s(text);
  const auto r = plot::read_blade_points(s);
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.value.size(), 3u);
  EXPECT_EQ(r.value[0].z, 0.2);
  EXPECT_EQ(r.value[2].z, 1.5);
  // The 101st record is the first point of the first element centre's block.
  const std::vector<std::string> lines = lines_of(text);
  const plot::Point3& p = r.value[1].points[0];
  EXPECT_EQ(fixture::free_line({p.x, p.y, p.z}), lines[100] + "\r\n");
  // Trailing empty records do not count.
  const std::string trailing = text + "\r\n\r\n";
  TextSource s2(trailing);
  EXPECT_TRUE(plot::read_blade_points(s2).ok());
}

TEST(ReadBladePoints, BrokenFiles) {
  Blade b;
  b.nbe = 1;
  const std::vector<std::string> lines = lines_of(fixture::blade_points_text(b));
  auto with_line = [&](std::size_t i, const std::string& replacement) {
    std::string t;
    for (std::size_t k = 0; k < lines.size(); ++k) t += (k == i ? replacement : lines[k]) + "\r\n";
    return t;
  };
  std::string first_199;
  for (std::size_t k = 0; k < 199; ++k) first_199 += lines[k] + "\r\n";
  std::string first_100;
  for (std::size_t k = 0; k < 100; ++k) first_100 += lines[k] + "\r\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"", "the file holds 0 sections; at least the hub and the tip are needed"},
      {first_100, "the file holds 1 sections; at least the hub and the tip are needed"},
      {first_199, "the file ends inside a section: 199 records, a multiple of 100 expected"},
      {with_line(150, " 0.1 0.2 0.7"),
       "line 151: Z differs from the Z of the section's first "
       "point (line 101)"},
      {with_line(5, " 0.1 abc 0.2"), "line 6: Bad real number in item 2 of list input"},
      {with_line(5, " 0.1 0.2"), "line 6: fewer than three numbers X Y Z"},
      {with_line(5, " 0.1,,0.2"), "line 6: a value of X Y Z is left empty"},
      {with_line(5, ""), "line 6: empty record; every record holds X Y Z"},
  };
  for (const Case& c : cases) {
    TextSource s(c.text);
    EXPECT_EQ(plot::read_blade_points(s).error, c.error);
  }
}

TEST(ReadReals, OneFreeFormReadPerValue) {
  TextSource ok(" 3.5\r\n 1.E+7\r\n 12 trailing\r\n");
  const auto r = plot::read_reals(ok, 3);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.value, (std::vector<double>{3.5, 1e7, 12.0}));
  struct Case {
    const char* text;
    std::size_t count;
    const char* error;
  };
  const Case cases[] = {
      {" 1.\r\n 2.\r\n", 3, "value 3 of 3: End of file"},
      {"", 1, "value 1 of 1: End of file"},
      {" abc\r\n", 1, "value 1 of 1: Bad real number in item 1 of list input"},
      {" /\r\n", 1, "value 1 of 1 is left empty"},
  };
  for (const Case& c : cases) {
    TextSource s(c.text);
    EXPECT_EQ(plot::read_reals(s, c.count).error, c.error) << c.text;
  }
}

TEST(SameSweep, WorkingFilesMatchTheirOwnSweepOnly) {
  const auto rows = fixture::sweep_rows(3.0, 25.0, 4000.0);
  const auto r = energy(fixture::sweep_text(4, rows, 1.0, 2.0), 4);
  ASSERT_TRUE(r.ok()) << r.error;
  const plot::Sweep& s = r.value.sweeps[0];
  std::vector<double> winds, powers;
  for (const auto& p : rows) {
    winds.push_back(p.wind);
    powers.push_back(p.power);
  }
  EXPECT_TRUE(plot::same_sweep(s, winds, powers));
  std::vector<double> off = powers;
  off[7] += 0.001;  // one table unit away
  EXPECT_FALSE(plot::same_sweep(s, winds, off));
  std::vector<double> other_winds = winds;
  other_winds[0] += 0.01;
  EXPECT_FALSE(plot::same_sweep(s, other_winds, powers));
  EXPECT_FALSE(plot::same_sweep(s, std::vector<double>(winds.begin(), winds.end() - 1),
                                std::vector<double>(powers.begin(), powers.end() - 1)));
}

TEST(EstimateLimit, PowerAtCutOutUnlessTheRowsContradictIt) {
  auto rows = fixture::sweep_rows(3.0, 25.0, 4000.0);
  plot::Sweep s;
  s.rows = rows;
  const auto l = plot::estimate_limit(s);
  ASSERT_TRUE(l.has_value());
  EXPECT_EQ(l->value, rows.back().power);
  EXPECT_FALSE(l->exact);
  // An inner row well above the band around the cut-out power: the search missed the limit.
  s.rows[11].power = rows.back().power * 1.1;
  EXPECT_FALSE(plot::estimate_limit(s).has_value());
  // Just inside the band's far edge is still consistent.
  s.rows[11].power = rows.back().power * 1.04;
  EXPECT_TRUE(plot::estimate_limit(s).has_value());
  s.rows = rows;
  s.rows.back().power = std::nan("");
  EXPECT_FALSE(plot::estimate_limit(s).has_value());
}

}  // namespace
