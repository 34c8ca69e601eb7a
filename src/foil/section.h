// Aerofoil sections as a user brings them: a coordinate file in Selig or Lednicer layout, or a
// NACA 4-digit designation.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace foil {

// A problem with the user's input or with a run, told to the user in one line.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Point {
  double x = 0.0;
  double y = 0.0;
};

// A section read from a coordinate file, its points in Selig order: from the trailing edge over
// one side to the leading edge and back along the other side to the trailing edge.
struct Section {
  std::string title;                // the name line, blanks trimmed ("" when the file has none)
  std::vector<Point> points;        // Selig order
  std::vector<std::string> tokens;  // the two number texts of every point, as written
  bool lednicer = false;            // the file had Lednicer layout
};

// Fewest points a coordinate file must hold: a handful per side, or no spline can follow the
// nose.
inline constexpr std::size_t kFewestPoints = 10;

// Reads a coordinate file's text. Selig: an optional name line, then one "x y" per line.
// Lednicer: a name line, a line holding the two point counts, then the upper and the lower side,
// each from the leading to the trailing edge (blank lines between the blocks are allowed).
// Throws Error naming the line for a line that is not two numbers, and for too few points.
Section read_section(std::string_view text);

// The text XFOIL's LOAD reads: the name line, then the points in Selig order spelled as in the
// user's file, so that XFOIL sees exactly the user's numbers.
std::string selig_text(const Section& section, std::string_view fallback_title);

// The digits of a designation "nacaMPTT" (any case, "NACA 2412" too): camber M %, its position
// P tenths of chord, thickness TT %. Nothing when `text` is not one.
struct Naca4 {
  int m = 0;
  int p = 0;
  int t = 0;
  std::string digits;  // the four digits as given
};
bool parse_naca4(std::string_view text, Naca4& naca);

// A name usable in file names: lower case letters, digits, '-', '_' and '.', at most 40
// characters; other characters are dropped. "" when nothing is left.
std::string file_name_of(std::string_view text);

}  // namespace foil
