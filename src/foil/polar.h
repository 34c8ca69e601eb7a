// From XFOIL's converged points to the 46-angle polar blocks of the data files: the range of
// angles that can be trusted, the stall on each side, the points filled in between and the
// extension past stall.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "aerofoil/post_stall.h"
#include "util/files.h"

namespace foil {

// The angles of attack of every polar block and the Reynolds numbers of the seven blocks, as
// the design program knows them.
inline constexpr int kFirstAngle = files::kPolarFirstAngle;
inline constexpr int kRows = files::kPolarRows;
inline constexpr const std::array<int, 7>& kReynolds = files::kPolarReynolds;

// One converged XFOIL point.
struct PolarPoint {
  double alpha = 0.0;  // degrees
  double cl = 0.0;
  double cd = 0.0;
};

// The converged points of one sweep, each angle once (the first written), in no set order.
using Points = std::vector<PolarPoint>;

enum class Direction { Up, Down };

// Below this best lift-to-drag ratio a block serves a rotor design poorly (see unusable).
inline constexpr double kPoorLiftToDrag = 5.0;

// How the points of a sweep are judged.
struct Rules {
  double max_gap = 1.0;      // largest gap (deg) still counted as contiguous
  double stall_drop = 0.05;  // lift drop that confirms stall
  double alpha_cap = 20.0;   // XFOIL points above this angle are never used
  double up_wanted = 20.0;   // an up sweep reaching this needs no second try
  double down_wanted = -10.0;
  // Least lift-to-drag ratio below a lift dip for the dip to count as a laminar bubble rather
  // than stall: a section short of it is no working lifting section there (the floor of a
  // usable block, see unusable).
  double dip_lift_to_drag = kPoorLiftToDrag;
};

// The angles of a sweep from 0 outwards up to the first gap wider than max_gap, in the order of
// the walk (ascending up, descending down).
std::vector<double> contiguous(const Points& points, Direction direction, const Rules& rules);

// The stall of one side, walking the contiguous range outwards (up to alpha_cap when going up):
// the angle of the running lift maximum (up) or minimum (down) once the lift has come back
// stall_drop from it (confirmed), or else the lift's extreme over the range (unconfirmed).
// Going up, a single drop that the converged points further out climb back above (a laminar
// bubble's dip) is walked past when the section reaches a lift-to-drag ratio of
// dip_lift_to_drag below it.
// Nothing when the sweep has no point within max_gap of 0.
struct Stall {
  double alpha = 0.0;
  bool confirmed = false;
};
std::optional<Stall> stall(const Points& points, Direction direction, const Rules& rules);

// A sweep that neither confirms stall nor reaches the wanted angle deserves another try.
bool side_ok(const Points& points, Direction direction, const Rules& rules);
// How far a sweep's contiguous range reaches from 0 (degrees), -1 when it has none.
double side_width(const Points& points, Direction direction, const Rules& rules);
// The first converged angle beyond the gap that ends the contiguous range, no further out than
// the wanted angle; nothing when there is none.
std::optional<double> beyond_gap(const Points& points, Direction direction, const Rules& rules);

// Viterna-Corrigan extension (aerofoil::viterna) from the match point (alpha_s, cl_s, cd_s) to
// alpha (degrees), for a blade of the given aspect ratio: the flat-plate drag
// aerofoil::flat_plate_cd_max reached at 90 degrees, the lift and drag that the match point fixes.
inline constexpr double kAspectRatio = 10.0;
using Coefficients = aerofoil::LiftDrag;
Coefficients viterna(double alpha_s, double cl_s, double cd_s, double alpha,
                     double aspect_ratio = kAspectRatio);

struct Row {
  int alpha = 0;
  double cl = 0.0;
  double cd = 0.0;
};
using Block = std::array<Row, kRows>;

struct BlockInfo {
  Stall positive;
  Stall negative;
  double first = 0.0;  // the range of XFOIL points used
  double last = 0.0;
  double reach_up = 0.0;  // where the contiguous ranges of the two sweeps end
  double reach_down = 0.0;
};

// The 46 rows of one Reynolds number from its up and down sweeps: XFOIL's values between the
// two stall angles (linear between neighbouring points where an angle has none of its own),
// Viterna-Corrigan outside them. Throws Error when a sweep has no point near 0 degrees.
Block build_block(const Points& up, const Points& down, const Rules& rules, BlockInfo& info);

// Why a block will serve a rotor design poorly ("" when it serves): lift that does not grow
// from 0 to 5 degrees, a best lift-to-drag ratio below 5, or stall below 6 degrees.
std::string unusable(const Block& block, const BlockInfo& info);

// The rows of a block that no converged XFOIL point gave: on a side whose sweeps stopped short
// of the wanted angle without a confirmed stall, the rows from the last angle used out to the
// wanted angle. They hold Viterna-Corrigan values from that angle, as if the section stalled
// there; and where even that would show a better lift-to-drag ratio than the block's XFOIL
// points, the drag is raised to the ratio of the XFOIL points (`block` is changed then).
// Returns the runs of filled rows, for the record.
struct FilledRows {
  int first = 0;
  int last = 0;
  double from = 0.0;  // the angle the values are extended from
};
std::vector<FilledRows> fill_short_sides(Block& block, const BlockInfo& info, const Rules& rules);

// Where the value of a block's row at `alpha` comes from: XFOIL's converged points (between the
// two stall angles), Viterna-Corrigan past stall, or a fill (`filled`, from fill_short_sides).
enum class RowSource { Xfoil, Extension, Filled };
RowSource row_source(const BlockInfo& info, const std::vector<FilledRows>& filled, int alpha);
// "XFOIL", "V-C" or "filled".
const char* row_source_name(RowSource source);

// Bounds of the physically possible for a row of a polar: no single-element section lifts
// beyond |Cl| 3 (the best reach about 2.5), none has a drag above 2.5 (a flat plate across the
// flow: about 2) or none at all, and none a lift-to-drag ratio beyond 300 (the best sections in
// XFOIL at high Reynolds numbers: about 250).
inline constexpr double kMaxAbsLift = 3.0;
inline constexpr double kMaxDrag = 2.5;
inline constexpr double kMaxLiftToDrag = 300.0;

// What makes a row impossible, as "Cl 198 (|Cl| above 3)"; "" when it is possible.
std::string impossible(double cl, double cd);

// The largest value of a figure over a block, and the angle (deg) of its first row with it.
struct Peak {
  double value = 0.0;
  int alpha = 0;
};

// Largest lift and largest lift-to-drag ratio of a block.
struct BlockFigures {
  Peak cl_max;
  Peak ld_max;
};
BlockFigures block_figures(const Block& block);

}  // namespace foil
