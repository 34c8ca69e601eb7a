// Readers of a run's result files: the performance tables with their energy lines
// (Result/Energy1.out ... Energy4.out), the geometry table with volume, surface and mass
// (Result/Geometry.out), the blade's point file (Result/3dgeo.dat) and the small working files
// that the variable-speed and pitch-controlled sweeps leave in Temp/.
//
// Readers never throw on bad content: they return the first problem as a message that names
// the line, so that the caller can report it and go on with the other files.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textio/textio.h"
#include "util/files.h"
#include "util/shared.h"

namespace plot {

// A value read from the file, or the outcome of reading it. NaN stands for a field that
// showed asterisks (the value did not fit its field when written).
template <class T>
struct Read {
  T value{};
  std::string error;  // empty when the read succeeded
  bool ok() const { return error.empty(); }
};

// ---------------------------------------------------------------------------------------------
// Performance tables.

using files::kSweepRows;

// One table row; the setting angle is NaN for the types other than the pitch-controlled one.
using TableRow = files::SweepRow;

struct Sweep {
  std::vector<TableRow> rows;  // kSweepRows of them
  double average_power = 0.0;  // W
  double annual_energy = 0.0;  // kW.h
  long header_line = 0;        // 1-based line of the sweep's header in its file
};

struct EnergyTable {
  int type = 0;  // 1 ... 4, the turbine type whose option wrote the file
  std::vector<Sweep> sweeps;
  // Set when the file ends inside a sweep (a run still writing it, or a cut file): what was
  // left out. The complete sweeps before it are kept.
  std::string incomplete;
  // The incomplete sweep as far as it was read, and the file's last line.
  Sweep cut;
  long last_line = 0;
};

// Reads every sweep of a performance table written by turbine type `type` (1 ... 4).
Read<EnergyTable> read_energy(textio::RecordSource& source, int type);

// ---------------------------------------------------------------------------------------------
// Geometry table.

struct Station {
  double radius = 0.0;  // m
  double chord = 0.0;   // m
  double twist = 0.0;   // deg, setting angle included
};

struct Geometry {
  std::vector<Station> stations;  // hub, element centres, tip
  std::optional<double> volume;   // m^3; NaN when the field showed asterisks
  std::optional<double> surface;  // m^2
  std::optional<double> mass;     // kg; absent when no material was chosen
};

Read<Geometry> read_geometry(textio::RecordSource& source);

// ---------------------------------------------------------------------------------------------
// Blade point file.

using shared::kSetPoints;  // points per side of a section outline

struct Point3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// One section of the blade at radius z: the lower side's points, then the upper side's, both
// running in the same chordwise direction, in metres.
struct Section {
  double z = 0.0;
  std::array<Point3, 2 * kSetPoints> points{};
};

// Reads blocks of 100 records "X Y Z" (metres), one block per station from hub to tip.
Read<std::vector<Section>> read_blade_points(textio::RecordSource& source);

// ---------------------------------------------------------------------------------------------
// Working files of the sweeps.

// Reads `count` reals, one free-form read each (count = 1 for Temp/mpl.tmp, 23 for
// Temp/graph.tmp and Temp/graph1.tmp).
Read<std::vector<double>> read_reals(textio::RecordSource& source, std::size_t count);

// True when `winds` and `powers` (the working files' values, written at full precision) are
// the wind speeds and powers of `sweep`'s rows (rounded to the table's two and three decimals):
// then the three working files were written by that sweep.
bool same_sweep(const Sweep& sweep, const std::vector<double>& winds,
                const std::vector<double>& powers);

// ---------------------------------------------------------------------------------------------
// Working polar of the aerofoil (Temp/Lift_Drag.dat).

// The Reynolds numbers of its seven blocks, lowest first, and the rows of a block.
inline constexpr const std::array<int, 7>& kPolarReynolds = files::kPolarReynolds;
inline constexpr std::size_t kPolarRows = files::kPolarRows;

struct PolarRow {
  double alpha = 0.0;  // deg
  double cl = 0.0;
  double cd = 0.0;
};

struct Polar {
  std::array<std::vector<PolarRow>, 7> blocks;  // kPolarRows rows each
};

// Reads the 7 x 46 records "angle Cl Cd", block by block.
Read<Polar> read_polar(textio::RecordSource& source);

// ---------------------------------------------------------------------------------------------
// A record source over text held in memory; the text must outlive the source.
class TextSource : public textio::RecordSource {
 public:
  explicit TextSource(std::string_view text) : text_(text) {}
  bool next_record(std::string& record) override;

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace plot
