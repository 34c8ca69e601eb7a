#include "plot/results.h"

#include <cmath>
#include <limits>
#include <span>

#include "plot/fields.h"

namespace plot {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool blank(std::string_view s) {
  return trim(s).empty();
}

bool contains(std::string_view s, std::string_view part) {
  return s.find(part) != std::string_view::npos;
}

std::string at_line(long line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

// Shortened copy of a record for a message.
std::string quoted(std::string_view record) {
  constexpr std::size_t kShown = 60;
  std::string q = "\"";
  q += printable(record.substr(0, kShown));
  if (record.size() > kShown) q += "...";
  return q + "\"";
}

// A record source holding one record: a free-form read from it cannot run on into the next
// line, so a record with too few values reads as "End of file".
class OneRecord : public textio::RecordSource {
 public:
  explicit OneRecord(std::string_view record) : record_(record) {}
  bool next_record(std::string& record) override {
    if (used_) return false;
    used_ = true;
    record.assign(record_);
    return true;
  }

 private:
  std::string_view record_;
  bool used_ = false;
};

// Source lines with their 1-based numbers, one line read ahead so that a reader knows whether
// the line in hand is the file's last.
class Lines {
 public:
  explicit Lines(textio::RecordSource& source) : source_(source) {
    has_next_ = source_.next_record(next_);
  }
  bool next() {
    if (!has_next_) return false;
    text_.swap(next_);
    ++number_;
    has_next_ = source_.next_record(next_);
    return true;
  }
  const std::string& text() const { return text_; }
  long number() const { return number_; }
  bool last() const { return !has_next_; }

 private:
  textio::RecordSource& source_;
  std::string text_;
  std::string next_;
  bool has_next_ = false;
  long number_ = 0;
};

// One of the two energy lines (files::kEnergyLineFormat, "(A36, f12.2, A5)"): the label
// right-aligned in 36 columns, the value in the next 12, the unit in the last 5.
constexpr Field kEnergyValue{36, 12};

bool energy_line(std::string_view record, std::string_view label, std::string_view unit,
                 double& value, std::string& error) {
  if (record.size() < kEnergyValue.column + kEnergyValue.width ||
      trim(record.substr(0, kEnergyValue.column)) != label) {
    error = "expected the line \"" + std::string(label) + " ...\", found " + quoted(record);
    return false;
  }
  const char* start = record.data() + kEnergyValue.column;
  const FieldResult r = read_fixed(start, start + kEnergyValue.width, value);
  if (r.error == FieldError::Stars) {
    value = kNaN;
  } else if (r.error != FieldError::None) {
    error = "the value of \"" + std::string(label) + "\" is not a number: \"" +
            printable(record.substr(kEnergyValue.column, kEnergyValue.width)) + "\"";
    return false;
  }
  if (trim(record.substr(kEnergyValue.column + kEnergyValue.width)) != unit) {
    error = "expected the unit \"" + std::string(unit) + "\" after the value, found " +
            quoted(record.substr(kEnergyValue.column + kEnergyValue.width));
    return false;
  }
  return true;
}

// The labelled lines below the geometry table (files::kFigureLineFormat, "(A18, f12.6, A15)").
constexpr Field kFigureValue{18, 12};

}  // namespace

bool TextSource::next_record(std::string& record) {
  if (pos_ >= text_.size()) return false;
  std::size_t end = text_.find('\n', pos_);
  std::size_t next = end == std::string_view::npos ? text_.size() : end + 1;
  if (end == std::string_view::npos) end = text_.size();
  std::string_view line = text_.substr(pos_, end - pos_);
  if (!line.empty() && line.back() == '\r' && end < text_.size()) line.remove_suffix(1);
  record.assign(line);
  pos_ = next;
  return true;
}

Read<EnergyTable> read_energy(textio::RecordSource& source, int type) {
  Read<EnergyTable> result;
  EnergyTable& table = result.value;
  table.type = type;
  const std::vector<Field> fields = layout(files::kSweepRowFormat);
  const std::size_t n_values = type == 4 ? 6 : 5;

  enum class Stage { Between, Rows, PowerLine, EnergyLine };
  Stage stage = Stage::Between;
  Sweep sweep;
  Lines lines(source);
  // A faulty last line inside a sweep is a record cut while the run was writing it: the sweep
  // is incomplete rather than the file broken. Reading stops there since no line follows.
  auto cut = [&] { return stage != Stage::Between && lines.last(); };
  while (lines.next()) {
    const std::string& rec = lines.text();
    switch (stage) {
      case Stage::Between:
        if (blank(rec)) continue;
        if (!contains(rec, "Wind Speed(m/s)")) {
          result.error = at_line(lines.number(), "expected a table header, found " + quoted(rec));
          return result;
        }
        if (contains(rec, "Setting Angle(deg)") != (type == 4)) {
          result.error =
              at_line(lines.number(), type == 4 ? "the header lacks the setting angle column"
                                                : "the header has a setting angle column, "
                                                  "which only the pitch-controlled type has");
          return result;
        }
        sweep = Sweep{};
        sweep.header_line = lines.number();
        stage = Stage::Rows;
        break;
      case Stage::Rows: {
        if (blank(rec)) {
          if (sweep.rows.empty()) continue;  // the empty record below the header
          result.error =
              at_line(lines.number(), "sweep " + std::to_string(table.sweeps.size() + 1) + " has " +
                                          std::to_string(sweep.rows.size()) + " rows, " +
                                          std::to_string(kSweepRows) + " expected");
          return result;
        }
        double v[6] = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
        const RowResult r = read_row(rec, fields, std::span<double>(v, n_values));
        if (r.error != RowError::None) {
          if (cut()) break;
          result.error = at_line(lines.number(), row_error_text(rec, fields, r));
          return result;
        }
        sweep.rows.push_back({v[0], v[1], v[2], v[3], v[4], v[5]});
        if (sweep.rows.size() == kSweepRows) stage = Stage::PowerLine;
        break;
      }
      case Stage::PowerLine:
      case Stage::EnergyLine: {
        if (blank(rec)) continue;
        const bool power = stage == Stage::PowerLine;
        if (!energy_line(rec, trim(power ? files::kPowerLabel : files::kEnergyLabel),
                         power ? files::kPowerUnit : files::kEnergyUnit,
                         power ? sweep.average_power : sweep.annual_energy, result.error)) {
          if (cut()) {
            result.error.clear();
            break;
          }
          result.error = at_line(lines.number(), result.error);
          return result;
        }
        if (power) {
          stage = Stage::EnergyLine;
        } else {
          table.sweeps.push_back(std::move(sweep));
          stage = Stage::Between;
        }
        break;
      }
    }
  }
  if (stage != Stage::Between) {
    const std::string which = "sweep " + std::to_string(table.sweeps.size() + 1) +
                              " (header at line " + std::to_string(sweep.header_line) + ")";
    if (stage == Stage::Rows) {
      table.incomplete = which + " ends after " + std::to_string(sweep.rows.size()) + " of " +
                         std::to_string(kSweepRows) + " rows";
    } else {
      table.incomplete = which + " ends before its energy lines";
    }
    table.cut = std::move(sweep);
    table.last_line = lines.number();
  }
  return result;
}

Read<Geometry> read_geometry(textio::RecordSource& source) {
  Read<Geometry> result;
  Geometry& g = result.value;
  Lines lines(source);
  const std::string_view title = trim(files::kGeometryTitle);
  if (!lines.next() || !contains(lines.text(), title)) {
    result.error = lines.number() == 0
                       ? "the file is empty"
                       : at_line(1, "expected the title \"" + std::string(title) + "\"");
    return result;
  }
  // The first heading is enough to know the line; the spacing of the others is not checked.
  std::string_view first = trim(files::kGeometryHeadings);
  first = first.substr(0, first.find("  "));
  if (!lines.next() || !contains(lines.text(), first)) {
    result.error = at_line(2, "expected the column headings \"" + std::string(first) + " ...\"");
    return result;
  }
  const std::vector<Field> fields = layout(files::kGeometryRowFormat);
  bool table_done = false;
  while (lines.next()) {
    const std::string& rec = lines.text();
    if (!table_done) {
      if (!blank(rec)) {
        double v[3] = {kNaN, kNaN, kNaN};
        const RowResult r = read_row(rec, fields, v);
        if (r.error != RowError::None) {
          result.error = at_line(lines.number(), row_error_text(rec, fields, r));
          return result;
        }
        g.stations.push_back({v[0], v[1], v[2]});
        continue;
      }
      table_done = true;
      continue;
    }
    if (blank(rec)) continue;
    std::optional<double>* target = nullptr;
    std::string_view unit;
    const std::string_view label = trim(std::string_view(rec).substr(0, kFigureValue.column));
    if (label == files::kVolumeLabel) {
      target = &g.volume;
      unit = files::kVolumeUnit;
    } else if (label == files::kSurfaceLabel) {
      target = &g.surface;
      unit = files::kSurfaceUnit;
    } else if (label == files::kMassLabel) {
      target = &g.mass;
      unit = files::kMassUnit;
    }
    if (target == nullptr || rec.size() < kFigureValue.column + kFigureValue.width) {
      result.error =
          at_line(lines.number(), "expected a volume, surface or mass line, found " + quoted(rec));
      return result;
    }
    if (target->has_value()) {
      result.error = at_line(lines.number(), "a second \"" + std::string(label) + "\" line");
      return result;
    }
    double v = 0.0;
    const char* start = rec.data() + kFigureValue.column;
    const FieldResult r = read_fixed(start, start + kFigureValue.width, v);
    if (r.error == FieldError::Stars) {
      v = kNaN;
    } else if (r.error != FieldError::None) {
      result.error =
          at_line(lines.number(),
                  "the value of \"" + std::string(label) + "\" is not a number: \"" +
                      printable(rec.substr(kFigureValue.column, kFigureValue.width)) + "\"");
      return result;
    }
    if (trim(std::string_view(rec).substr(kFigureValue.column + kFigureValue.width)) != unit) {
      result.error = at_line(lines.number(), "expected the unit \"" + std::string(unit) + "\"");
      return result;
    }
    *target = v;
  }
  if (g.stations.size() < 2) {
    result.error = "the geometry table holds " + std::to_string(g.stations.size()) +
                   " rows; at least the hub and the tip are needed";
  }
  return result;
}

Read<std::vector<Section>> read_blade_points(textio::RecordSource& source) {
  Read<std::vector<Section>> result;
  std::vector<Section>& sections = result.value;
  constexpr std::size_t kBlock = 2 * kSetPoints;
  Lines lines(source);
  std::size_t count = 0;
  long first_blank = 0;  // an empty record is allowed only at the very end of the file
  while (lines.next()) {
    const std::string& rec = lines.text();
    if (blank(rec)) {
      if (first_blank == 0) first_blank = lines.number();
      continue;
    }
    if (first_blank != 0) {
      result.error = at_line(first_blank, "empty record; every record holds X Y Z");
      return result;
    }
    double x = kNaN, y = kNaN, z = kNaN;
    const textio::In items[] = {x, y, z};
    OneRecord one(rec);
    int item = 0;
    const textio::ReadError e = textio::read_list(one, items, item);
    if (e == textio::ReadError::EndOfFile) {
      result.error = at_line(lines.number(), "fewer than three numbers X Y Z");
      return result;
    }
    if (e != textio::ReadError::None) {
      result.error = at_line(lines.number(), textio::read_error_text(e, item));
      return result;
    }
    if (std::isnan(x) || std::isnan(y) || std::isnan(z)) {
      result.error = at_line(lines.number(), "a value of X Y Z is left empty");
      return result;
    }
    const std::size_t k = count % kBlock;
    if (k == 0) {
      sections.emplace_back();
      sections.back().z = z;
    } else if (z != sections.back().z) {
      result.error = at_line(lines.number(),
                             "Z differs from the Z of the section's first point "
                             "(line " +
                                 std::to_string(lines.number() - long(k)) + ")");
      return result;
    }
    sections.back().points[k] = {x, y, z};
    ++count;
  }
  if (count % kBlock != 0) {
    result.error = "the file ends inside a section: " + std::to_string(count) +
                   " records, a multiple of " + std::to_string(kBlock) + " expected";
  } else if (sections.size() < 2) {
    result.error = "the file holds " + std::to_string(sections.size()) +
                   " sections; at least the hub and the tip are needed";
  }
  return result;
}

Read<std::vector<double>> read_reals(textio::RecordSource& source, std::size_t count) {
  Read<std::vector<double>> result;
  for (std::size_t i = 0; i < count; ++i) {
    double v = kNaN;
    const textio::In items[] = {v};
    int item = 0;
    const textio::ReadError e = textio::read_list(source, items, item);
    if (e != textio::ReadError::None) {
      result.error = "value " + std::to_string(i + 1) + " of " + std::to_string(count) + ": " +
                     textio::read_error_text(e, item);
      return result;
    }
    if (std::isnan(v)) {
      result.error =
          "value " + std::to_string(i + 1) + " of " + std::to_string(count) + " is left empty";
      return result;
    }
    result.value.push_back(v);
  }
  return result;
}

Read<Polar> read_polar(textio::RecordSource& source) {
  Read<Polar> result;
  for (std::size_t b = 0; b < result.value.blocks.size(); ++b) {
    for (std::size_t r = 0; r < kPolarRows; ++r) {
      PolarRow row{kNaN, kNaN, kNaN};
      const textio::In items[] = {row.alpha, row.cl, row.cd};
      int item = 0;
      const textio::ReadError e = textio::read_list(source, items, item);
      const std::size_t record = b * kPolarRows + r + 1;
      if (e != textio::ReadError::None) {
        result.error = "record " + std::to_string(record) + " of " +
                       std::to_string(kPolarRows * result.value.blocks.size()) + ": " +
                       textio::read_error_text(e, item);
        return result;
      }
      if (std::isnan(row.alpha) || std::isnan(row.cl) || std::isnan(row.cd)) {
        result.error = "record " + std::to_string(record) + " is not three numbers";
        return result;
      }
      result.value.blocks[b].push_back(row);
    }
  }
  return result;
}

bool same_sweep(const Sweep& sweep, const std::vector<double>& winds,
                const std::vector<double>& powers) {
  if (winds.size() != sweep.rows.size() || powers.size() != sweep.rows.size()) return false;
  // Half a unit of the table's last decimal, widened by a relative margin for the binary
  // representation of the full-precision value.
  auto rounds_to = [](double full, double shown, double half_unit) {
    return std::fabs(full - shown) <= half_unit + 1e-12 * std::fabs(full);
  };
  // The powers f12.3 can show lie between these; beyond them the field shows asterisks.
  constexpr double kHighestPower = 99999999.9995;
  constexpr double kLowestPower = -9999999.9995;
  for (std::size_t i = 0; i < sweep.rows.size(); ++i) {
    const TableRow& row = sweep.rows[i];
    if (std::isnan(row.wind) || !rounds_to(winds[i], row.wind, 0.005)) return false;
    if (std::isnan(row.power)) {
      if (powers[i] < kHighestPower && powers[i] > kLowestPower) return false;
    } else if (!rounds_to(powers[i], row.power, 0.0005)) {
      return false;
    }
  }
  return true;
}

}  // namespace plot
