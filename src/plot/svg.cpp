#include "plot/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "util/number_text.h"

namespace plot {

namespace {

// Digits after the point that the tick labels of `step` need (0.25 -> 2, 5 -> 0).
int decimals_for(double step) {
  for (int d = 0; d < 10; ++d) {
    const double scaled = step * std::pow(10.0, d);
    if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * scaled) return d;
  }
  return 10;
}

// Colour-blind-safe palette (Okabe and Ito), darkest first.
constexpr const char* kPalette[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                    "#E69F00", "#56B4E9", "#000000", "#F0E442"};
constexpr int kPaletteSize = sizeof kPalette / sizeof kPalette[0];

// Page layout in pixels.
constexpr double kLeft = 80.0;        // room for the y tick labels and the axis label
constexpr double kTop = 48.0;         // room for the title
constexpr double kPlotWidth = 600.0;  // plot area of an ordinary chart
constexpr double kPlotHeight = 360.0;
constexpr double kMinPlotHeight = 160.0;  // true-shape charts: flattest plot area
constexpr double kMaxPlotHeight = 480.0;  // and tallest
constexpr double kLegendWidth = 170.0;    // narrowest legend column
constexpr double kBelowPlot = 56.0;       // x tick labels and the axis label
constexpr double kCaptionLine = 18.0;

const std::string kFont = "font-family=\"DejaVu Sans, Arial, sans-serif\"";

}  // namespace

Chart titled(std::string title, std::string x_label, std::string y_label, bool y_from_zero) {
  Chart c;
  c.title = std::move(title);
  c.x_label = std::move(x_label);
  c.y_label = std::move(y_label);
  c.y_from_zero = y_from_zero;
  return c;
}

std::string escaped(std::string_view text, std::span<const Escape> escapes) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto e =
        std::find_if(escapes.begin(), escapes.end(), [c](const Escape& x) { return x.c == c; });
    if (e == escapes.end()) {
      out += c;
    } else {
      out += e->with;
    }
  }
  return out;
}

std::string escape_xml(std::string_view text) {
  static constexpr Escape kXml[] = {
      {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}};
  return escaped(text, kXml);
}

Svg::Svg(double width, double height, std::string_view title) {
  out_ =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"" +
      fixed(width, 0) + "\" height=\"" + fixed(height, 0) + "\" viewBox=\"0 0 " + fixed(width, 0) +
      " " + fixed(height, 0) + "\">\n<title>" + escape_xml(title) + "</title>\n";
  rect(0, 0, width, height, "fill=\"white\"");
}

void Svg::line(double x1, double y1, double x2, double y2, std::string_view attrs) {
  out_ += "<line x1=\"" + fixed(x1, 2) + "\" y1=\"" + fixed(y1, 2) + "\" x2=\"" + fixed(x2, 2) +
          "\" y2=\"" + fixed(y2, 2) + "\" ";
  out_ += attrs;
  out_ += "/>\n";
}

void Svg::rect(double x, double y, double w, double h, std::string_view attrs) {
  out_ += "<rect x=\"" + fixed(x, 2) + "\" y=\"" + fixed(y, 2) + "\" width=\"" + fixed(w, 2) +
          "\" height=\"" + fixed(h, 2) + "\" ";
  out_ += attrs;
  out_ += "/>\n";
}

namespace {
void append_points(std::string& out, const std::vector<double>& xy) {
  out += "points=\"";
  for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
    if (i > 0) out += ' ';
    out += fixed(xy[i], 2);
    out += ',';
    out += fixed(xy[i + 1], 2);
  }
  out += "\" ";
}
}  // namespace

void Svg::polyline(const std::vector<double>& xy, std::string_view attrs) {
  out_ += "<polyline ";
  append_points(out_, xy);
  out_ += attrs;
  out_ += "/>\n";
}

void Svg::polygon(const std::vector<double>& xy, std::string_view attrs) {
  out_ += "<polygon ";
  append_points(out_, xy);
  out_ += attrs;
  out_ += "/>\n";
}

void Svg::circle(double x, double y, double r, std::string_view attrs) {
  out_ +=
      "<circle cx=\"" + fixed(x, 2) + "\" cy=\"" + fixed(y, 2) + "\" r=\"" + fixed(r, 2) + "\" ";
  out_ += attrs;
  out_ += "/>\n";
}

void Svg::text(double x, double y, std::string_view text, std::string_view attrs) {
  out_ += "<text x=\"" + fixed(x, 2) + "\" y=\"" + fixed(y, 2) + "\" ";
  out_ += attrs;
  out_ += '>';
  out_ += escape_xml(text);
  out_ += "</text>\n";
}

void Svg::open_group(std::string_view attrs) {
  out_ += "<g ";
  out_ += attrs;
  out_ += ">\n";
  ++depth_;
}

void Svg::close_group() {
  if (depth_ == 0) return;
  out_ += "</g>\n";
  --depth_;
}

std::string Svg::finish() {
  while (depth_ > 0) close_group();
  out_ += "</svg>\n";
  return std::move(out_);
}

Axis nice_axis(double lo, double hi, int ticks) {
  if (std::isnan(lo) || std::isnan(hi)) return {0.0, 1.0, 0.2};
  if (hi < lo) std::swap(lo, hi);
  if (hi == lo) {
    const double half = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
    lo -= half;
    hi += half;
  }
  const double raw = (hi - lo) / std::max(ticks, 1);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / magnitude;
  double step = 10.0 * magnitude;
  for (double m : {1.0, 2.0, 2.5, 5.0}) {
    if (norm <= m * (1.0 + 1e-9)) {
      step = m * magnitude;
      break;
    }
  }
  Axis a{std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
  // Guard against a quotient rounded across an integer: the range must cover the data.
  while (a.lo > lo) a.lo -= step;
  while (a.hi < hi) a.hi += step;
  return a;
}

namespace {

// The plot area of a chart: its two axes, its size in pixels, and where a value lands in it.
struct Frame {
  Axis ax;
  Axis ay;
  double plot_w = kPlotWidth;
  double plot_h = kPlotHeight;
  bool empty = false;  // no finite point and no reference line: the axes span [0, 1]

  double px(double x) const { return kLeft + (x - ax.lo) / (ax.hi - ax.lo) * plot_w; }
  double py(double y) const { return kTop + (ay.hi - y) / (ay.hi - ay.lo) * plot_h; }
  double mid_y() const { return kTop + plot_h / 2; }
};

bool finite(const XY& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// The axes over every finite point and reference line, and the plot area's size.
Frame frame_of(const Chart& chart) {
  double x_lo = std::numeric_limits<double>::infinity(), x_hi = -x_lo;
  double y_lo = x_lo, y_hi = -x_lo;
  for (const Series& s : chart.series) {
    for (const XY& p : s.points) {
      if (!finite(p)) continue;
      x_lo = std::min(x_lo, p.x);
      x_hi = std::max(x_hi, p.x);
      y_lo = std::min(y_lo, p.y);
      y_hi = std::max(y_hi, p.y);
    }
  }
  for (const RefLine& r : chart.ref_lines) {
    if (!std::isfinite(r.y)) continue;
    y_lo = std::min(y_lo, r.y);
    y_hi = std::max(y_hi, r.y);
  }
  Frame f;
  f.empty = !(x_lo <= x_hi);
  if (f.empty) {
    x_lo = 0.0;
    x_hi = 1.0;
    y_lo = 0.0;
    y_hi = 1.0;
  }
  if (chart.y_from_zero) {
    y_lo = std::min(y_lo, 0.0);
    y_hi = std::max(y_hi, 0.0);
  }
  f.ax = nice_axis(x_lo, x_hi);
  f.ay = nice_axis(y_lo, y_hi);
  if (chart.equal_aspect) {
    // One scale for both axes; pad the shorter range (centred) rather than distort the shape.
    Axis& ax = f.ax;
    Axis& ay = f.ay;
    const double scale = std::min(kPlotWidth / (ax.hi - ax.lo), kMaxPlotHeight / (ay.hi - ay.lo));
    f.plot_h = std::max((ay.hi - ay.lo) * scale, kMinPlotHeight);
    const double y_span = f.plot_h / scale;
    const double y_pad = (y_span - (ay.hi - ay.lo)) / 2.0;
    ay.lo -= y_pad;
    ay.hi += y_pad;
    const double x_pad = (f.plot_w / scale - (ax.hi - ax.lo)) / 2.0;
    ax.lo -= x_pad;
    ax.hi += x_pad;
  }
  return f;
}

// The legend column fits its longest label (at most about 9 px a character at 13 px).
double legend_width(const Chart& chart) {
  std::size_t longest = 0;
  for (const Series& s : chart.series) {
    if (s.in_legend) longest = std::max(longest, s.label.size());
  }
  for (const RefLine& r : chart.ref_lines) longest = std::max(longest, r.label.size());
  return std::max(kLegendWidth, 60.0 + 9.0 * static_cast<double>(longest));
}

// Ticks at the multiples of the step inside the range, counted as integers so that no error
// accumulates along the axis.
std::vector<double> ticks(const Axis& a) {
  std::vector<double> t;
  const double first = std::ceil(a.lo / a.step - 1e-9);
  for (double k = first;; k += 1.0) {
    const double v = k * a.step;
    if (v > a.hi + 1e-9 * a.step || t.size() > 50) break;
    t.push_back(v);
  }
  return t;
}

// Grid lines, ticks, tick labels and the label of each axis.
void draw_axes(Svg& svg, const Chart& chart, const Frame& f) {
  const int x_dec = decimals_for(f.ax.step);
  const int y_dec = decimals_for(f.ay.step);
  const double bottom = kTop + f.plot_h;
  svg.open_group("class=\"axis x\" " + kFont + " font-size=\"12\" text-anchor=\"middle\"");
  for (double v : ticks(f.ax)) {
    const double x = f.px(v);
    svg.line(x, kTop, x, bottom, "stroke=\"#ddd\"");
    svg.line(x, bottom, x, bottom + 5, "stroke=\"#333\"");
    svg.text(x, bottom + 19, fixed(v, x_dec), "");
  }
  svg.text(kLeft + f.plot_w / 2, bottom + 42, chart.x_label, "font-size=\"14\"");
  svg.close_group();
  svg.open_group("class=\"axis y\" " + kFont + " font-size=\"12\" text-anchor=\"end\"");
  for (double v : ticks(f.ay)) {
    const double y = f.py(v);
    svg.line(kLeft, y, kLeft + f.plot_w, y, "stroke=\"#ddd\"");
    svg.line(kLeft - 5, y, kLeft, y, "stroke=\"#333\"");
    svg.text(kLeft - 8, y + 4, fixed(v, y_dec), "");
  }
  const double mid = f.mid_y();
  svg.text(
      22, mid, chart.y_label,
      "font-size=\"14\" text-anchor=\"middle\" transform=\"rotate(-90 22 " + fixed(mid, 2) + ")\"");
  svg.close_group();
}

// Point labels: DejaVu Sans at 11 px is at most 7 px a character for digits and most letters,
// and a line of it reaches about 9 px above its baseline and 2 px below.
constexpr double kLabelChar = 7.0;
constexpr double kLabelAscent = 9.0;
constexpr double kLabelDescent = 2.0;
constexpr double kMarkerRadius = 2.8;

struct Box {
  double x0, y0, x1, y1;
  double overlap(const Box& o) const {
    const double w = std::min(x1, o.x1) - std::max(x0, o.x0);
    const double h = std::min(y1, o.y1) - std::max(y0, o.y0);
    return w > 0.0 && h > 0.0 ? w * h : 0.0;
  }
};

// Where a point's label goes: its baseline start, and whether a leader line joins it to its
// marker (a label set further off than next to it).
struct PlacedLabel {
  double x = 0.0;
  double y = 0.0;
  bool leader = false;
};

// Places every point label of the chart, series by series, at the first of the positions
// around its marker (right above first, then right, below, above, left ..., then the same
// twice and three times as far) whose box stays inside the plot area and overlaps no label
// placed before and no marker; where none is free, at the position that overlaps least.
std::vector<std::vector<PlacedLabel>> place_labels(const Chart& chart, const Frame& f) {
  std::vector<Box> taken;
  for (const Series& s : chart.series) {
    if (!s.markers) continue;
    for (const XY& p : s.points) {
      if (!finite(p)) continue;
      const double x = f.px(p.x), y = f.py(p.y);
      taken.push_back({x - kMarkerRadius, y - kMarkerRadius, x + kMarkerRadius, y + kMarkerRadius});
    }
  }
  const Box area{kLeft, kTop, kLeft + f.plot_w, kTop + f.plot_h};
  std::vector<std::vector<PlacedLabel>> placed(chart.series.size());
  for (std::size_t k = 0; k < chart.series.size(); ++k) {
    const Series& s = chart.series[k];
    placed[k].resize(s.points.size());
    if (!s.markers) continue;
    for (std::size_t i = 0; i < s.points.size() && i < s.point_labels.size(); ++i) {
      if (!finite(s.points[i]) || s.point_labels[i].empty()) continue;
      const double x = f.px(s.points[i].x), y = f.py(s.points[i].y);
      const double w = kLabelChar * static_cast<double>(s.point_labels[i].size());
      // Baseline starts relative to the marker, nearest first.
      const double near[][2] = {{5.0, -5.0},      {6.0, 4.0},       {5.0, 13.0},
                                {-w / 2.0, -7.0}, {-w / 2.0, 15.0}, {-5.0 - w, -5.0},
                                {-6.0 - w, 4.0},  {-5.0 - w, 13.0}};
      PlacedLabel best;
      double best_overlap = std::numeric_limits<double>::infinity();
      bool found = false;
      for (double ring = 1.0; ring <= 3.0 && !found; ring += 1.0) {
        for (const auto& d : near) {
          // Further rings move the label's centre out along the same direction.
          const double cx = d[0] + w / 2.0, cy = d[1] - (kLabelAscent - kLabelDescent) / 2.0;
          const double bx = x + cx * ring - w / 2.0;
          const double by = y + cy * ring + (kLabelAscent - kLabelDescent) / 2.0;
          const Box b{bx, by - kLabelAscent, bx + w, by + kLabelDescent};
          if (b.x0 < area.x0 || b.x1 > area.x1 || b.y0 < area.y0 || b.y1 > area.y1) continue;
          double o = 0.0;
          for (const Box& t : taken) o += t.overlap(b);
          if (o < best_overlap) {
            best_overlap = o;
            best = {bx, by, ring > 1.0};
          }
          if (o == 0.0) {
            found = true;
            break;
          }
        }
      }
      if (!std::isfinite(best_overlap)) best = {x + 5.0, y - 5.0, false};
      placed[k][i] = best;
      const double w_box = w;
      taken.push_back({best.x, best.y - kLabelAscent, best.x + w_box, best.y + kLabelDescent});
    }
  }
  return placed;
}

// One series: a curve per run of points without a missing coordinate, and its markers.
void draw_series(Svg& svg, const Series& s, const std::string& color, const Frame& f,
                 const std::vector<PlacedLabel>& labels) {
  const std::string label = escape_xml(s.label);
  svg.open_group("class=\"series\" data-series=\"" + label + "\"");
  std::vector<double> xy;
  auto flush = [&] {
    if (xy.empty() || !s.line) {
      xy.clear();
      return;
    }
    const std::string attrs = "class=\"curve\" data-series=\"" + label +
                              "\" fill=\"none\" stroke=\"" + color +
                              "\" stroke-width=\"2\" stroke-linejoin=\"round\"";
    if (s.closed) {
      svg.polygon(xy, attrs);
    } else {
      svg.polyline(xy, attrs);
    }
    xy.clear();
  };
  for (const XY& p : s.points) {
    if (!finite(p)) {
      flush();
      continue;
    }
    xy.push_back(f.px(p.x));
    xy.push_back(f.py(p.y));
  }
  flush();
  if (s.markers) {
    for (std::size_t i = 0; i < s.points.size(); ++i) {
      const XY& p = s.points[i];
      if (!finite(p)) continue;
      svg.circle(f.px(p.x), f.py(p.y), kMarkerRadius, "class=\"marker\" fill=\"" + color + "\"");
      if (i < s.point_labels.size() && !s.point_labels[i].empty() && i < labels.size()) {
        const PlacedLabel& l = labels[i];
        if (l.leader) {
          const double w = kLabelChar * static_cast<double>(s.point_labels[i].size());
          svg.line(f.px(p.x), f.py(p.y), l.x + w / 2.0, l.y - kLabelAscent / 2.0,
                   "class=\"leader\" stroke=\"" + color + "\" stroke-width=\"0.7\"");
        }
        svg.text(l.x, l.y, s.point_labels[i],
                 "class=\"point-label\" " + kFont + " font-size=\"11\" fill=\"" + color + "\"");
      }
    }
  }
  svg.close_group();
}

// The plot area: frame, axes, reference lines and series. Returns each series' colour.
std::vector<std::string> draw_plot(Svg& svg, const Chart& chart, const Frame& f) {
  svg.open_group("class=\"plot\" data-x-min=\"" + number_text::shortest(f.ax.lo) +
                 "\" data-x-max=\"" + number_text::shortest(f.ax.hi) + "\" data-y-min=\"" +
                 number_text::shortest(f.ay.lo) + "\" data-y-max=\"" +
                 number_text::shortest(f.ay.hi) + "\"");
  svg.rect(kLeft, kTop, f.plot_w, f.plot_h, "class=\"frame\" fill=\"none\" stroke=\"#333\"");
  draw_axes(svg, chart, f);
  for (const RefLine& r : chart.ref_lines) {
    if (!std::isfinite(r.y)) continue;
    svg.line(kLeft, f.py(r.y), kLeft + f.plot_w, f.py(r.y),
             "class=\"ref\" data-label=\"" + escape_xml(r.label) +
                 "\" stroke=\"#555\" stroke-width=\"1.5\" stroke-dasharray=\"7 4\"");
  }
  std::vector<std::string> colors;
  int next_color = 0;
  const std::vector<std::vector<PlacedLabel>> labels = place_labels(chart, f);
  for (std::size_t k = 0; k < chart.series.size(); ++k) {
    const Series& s = chart.series[k];
    colors.push_back(s.color.empty() ? kPalette[next_color++ % kPaletteSize] : escape_xml(s.color));
    draw_series(svg, s, colors.back(), f, labels[k]);
  }
  svg.close_group();
  return colors;
}

// Beside the plot: a stroke sample and the label per entry.
void draw_legend(Svg& svg, const Chart& chart, const Frame& f,
                 const std::vector<std::string>& colors) {
  svg.open_group("class=\"legend\" " + kFont + " font-size=\"13\"");
  double ly = kTop + 10;
  const double lx = kLeft + f.plot_w + 16;
  for (std::size_t i = 0; i < chart.series.size(); ++i) {
    if (!chart.series[i].in_legend) continue;
    svg.line(lx, ly, lx + 24, ly, "stroke=\"" + colors[i] + "\" stroke-width=\"2.5\"");
    svg.text(lx + 30, ly + 4, chart.series[i].label, "");
    ly += 20;
  }
  for (const RefLine& r : chart.ref_lines) {
    svg.line(lx, ly, lx + 24, ly, "stroke=\"#555\" stroke-width=\"1.5\" stroke-dasharray=\"7 4\"");
    svg.text(lx + 30, ly + 4, r.label, "");
    ly += 20;
  }
  svg.close_group();
}

// The caption lines below the chart, and "no data" across an empty plot.
void draw_caption(Svg& svg, const Chart& chart, const Frame& f) {
  svg.open_group("class=\"caption\" " + kFont + " font-size=\"13\"");
  double cy = kTop + f.plot_h + kBelowPlot + 14;
  if (f.empty) svg.text(kLeft + f.plot_w / 2, f.mid_y(), "no data", "text-anchor=\"middle\"");
  for (const std::string& line : chart.caption) {
    svg.text(kLeft, cy, line, "");
    cy += kCaptionLine;
  }
  svg.close_group();
}

}  // namespace

std::string render(const Chart& chart) {
  const Frame f = frame_of(chart);
  const double width = kLeft + f.plot_w + legend_width(chart);
  const double height = kTop + f.plot_h + kBelowPlot +
                        kCaptionLine * static_cast<double>(chart.caption.size()) + 12.0;
  Svg svg(width, height, chart.title);
  svg.text(kLeft, 28.0, chart.title, kFont + " font-size=\"17\" font-weight=\"bold\"");
  const std::vector<std::string> colors = draw_plot(svg, chart, f);
  draw_legend(svg, chart, f, colors);
  draw_caption(svg, chart, f);
  return svg.finish();
}

}  // namespace plot
