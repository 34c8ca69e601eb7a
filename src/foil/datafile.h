// The two data files of an aerofoil as the Data/ directory holds them, and writing them so that
// a reader never sees half of one.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "foil/outline.h"
#include "foil/polar.h"

namespace foil {

// Plain decimal text of v rounded to `digits` significant digits, without trailing zeros:
// 1.23456789 -> "1.23457", 0.0050 -> "0.005", -0.0 -> "0".
std::string significant(double v, int digits = 6);

// "%.10f", with "-0.0000000000" written as "0.0000000000".
std::string coordinate(double v);

// The outline file: 100 records "x y", the lower side first.
std::string outline_text(const Outline& outline);

// The polar file: 322 records "angle Cl Cd", one block of 46 per Reynolds number, lowest first.
using Polar = std::array<Block, kReynolds.size()>;
std::string polar_text(const Polar& polar);

struct FileText {
  std::string path;
  std::string text;
};

// Writes every file to a temporary name beside it first and renames them only when all are
// written, so that on any failure no file is changed. Throws Error naming the file.
void write_files(const std::vector<FileText>& files);

}  // namespace foil
