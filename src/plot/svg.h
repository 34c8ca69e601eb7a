// A small SVG writer and the line charts drawn with it: axes with ticks and labels, a legend, a
// title and a caption. Coordinates are written with two decimals, locale-free, so the same
// data always give the same bytes.
//
// The charts carry what a reader (or a test) needs to check them without rendering: the plot
// area is <g class="plot" data-x-min=... data-x-max=... data-y-min=... data-y-max=...> holding
// a <rect class="frame">; every drawn curve is a <polyline class="curve" data-series="label">
// (several when missing values break a curve); reference lines are <line class="ref">.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/number_text.h"

namespace plot {

using number_text::fixed;

// Text with &, <, >, " and ' replaced by entities, for XML text and attribute values.
std::string escape_xml(std::string_view text);

// One character of a text and what stands for it in an escaped text.
struct Escape {
  char c;
  std::string_view with;
};
// `text` with every character that `escapes` names replaced.
std::string escaped(std::string_view text, std::span<const Escape> escapes);

// Builds one SVG document.
class Svg {
 public:
  Svg(double width, double height, std::string_view title);
  void line(double x1, double y1, double x2, double y2, std::string_view attrs);
  void rect(double x, double y, double w, double h, std::string_view attrs);
  // `attrs` are written as they are: callers escape any text they put in them.
  void polyline(const std::vector<double>& xy, std::string_view attrs);
  void polygon(const std::vector<double>& xy, std::string_view attrs);
  void circle(double x, double y, double r, std::string_view attrs);
  void text(double x, double y, std::string_view text, std::string_view attrs);
  void open_group(std::string_view attrs);
  void close_group();
  // The finished document; the writer is empty afterwards.
  std::string finish();

 private:
  std::string out_;
  int depth_ = 0;
};

// Axis range with its tick step: ticks at the multiples of `step` within [lo, hi].
struct Axis {
  double lo = 0.0;
  double hi = 1.0;
  double step = 0.2;
};

// A range that covers [lo, hi] and ends on ticks of a step of 1, 2, 2.5 or 5 times a power of
// ten, with about `ticks` intervals. A range of zero width (or NaN ends) is widened first.
Axis nice_axis(double lo, double hi, int ticks = 5);

struct XY {
  double x = 0.0;
  double y = 0.0;
};

struct Series {
  std::string label;
  std::vector<XY> points;  // a NaN coordinate leaves a gap in the curve
  std::string color;       // empty: the next colour of the chart's palette
  bool markers = true;     // a dot on every point
  bool line = true;        // join the points; false draws the dots alone (a scatter)
  bool closed = false;     // join the last point to the first (an outline)
  bool in_legend = true;
  // A short text beside each point's marker (empty: none), e.g. the number of a design.
  std::vector<std::string> point_labels;
};

// A horizontal reference line across the plot (e.g. a power limit).
struct RefLine {
  std::string label;
  double y = 0.0;
};

struct Chart {
  std::string title;
  std::string x_label;  // with its unit, e.g. "wind speed U (m/s)"
  std::string y_label;
  std::vector<Series> series;
  std::vector<RefLine> ref_lines;
  std::vector<std::string> caption;  // lines below the chart
  // Same scale on both axes (true shapes); the plot area takes the data's proportions.
  bool equal_aspect = false;
  // The y axis reaches down (or up) to zero, as powers and power coefficients are read from it.
  bool y_from_zero = false;
};

// A chart with its title and axis labels (each with its unit); the rest is filled in after.
Chart titled(std::string title, std::string x_label, std::string y_label, bool y_from_zero = false);

// The chart as an SVG document.
std::string render(const Chart& chart);

}  // namespace plot
