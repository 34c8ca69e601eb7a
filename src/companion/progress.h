// The progress bar of the companions on a terminal: "[#####.....] 7/14" and the time left,
// redrawn in place (each drawing starts with a carriage return). Each program keeps its own
// wording around the bar (Style).
#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

namespace progress {

// How a program's bar reads: "\r" prefix "[" done part, empty part "] " done "/" total unit,
// then while some is done and some left: before_left "M:SS left" after_left; else no_left.
struct Style {
  std::string prefix;
  char empty = '.';  // the part not yet done ('#' marks the part done)
  std::string unit;
  std::string before_left;
  std::string after_left;
  std::string no_left;
  std::string at_end;  // written when the bar goes (a new line after it)
};

inline constexpr std::size_t kWidth = 30;  // characters of the bar between its brackets

// "M:SS" of `seconds`, rounded to the nearest second.
std::string clock(double seconds);

// One drawing, the time left estimated from the `elapsed` seconds that `done` pieces took.
std::string line(const Style& style, std::size_t done, std::size_t total, double elapsed);

// A bar on `out`; draws nothing unless `shown`.
class Bar {
 public:
  // Its clock of the time left runs from now.
  Bar(std::ostream& out, bool shown, Style style, std::size_t total = 0);
  ~Bar();
  Bar(const Bar&) = delete;
  Bar& operator=(const Bar&) = delete;

  // Starts over for `total` pieces under `prefix`: the clock of the time left runs from now.
  void start(std::size_t total, std::string prefix);
  void draw(std::size_t done);    // draws the bar now
  void update(std::size_t done);  // draws it when `done` changed since the last drawing
  void erase();                   // blanks the bar's line, for other lines to follow

 private:
  std::ostream& out_;
  bool shown_;
  Style style_;
  std::size_t total_ = 0;
  std::size_t done_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace progress
