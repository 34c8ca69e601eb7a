// Importing a section: its outline, its polars from XFOIL, its two data files and, if wanted,
// its installation as rotorforge's working aerofoil.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "companion/fill_record.h"
#include "foil/datafile.h"
#include "foil/outline.h"
#include "foil/xfoil.h"

namespace foil {

struct ImportOptions {
  std::string source;  // a coordinate file, or a designation such as "naca2412"
  std::string name;    // "" : from the designation or the file's stem
  std::string data_dir = "Data";
  unsigned jobs = 0;          // XFOIL processes at once; 0: one per core
  std::vector<int> reynolds;  // the Reynolds numbers run with XFOIL; empty: all seven
  Angles angles;
  std::string xfoil = "xfoil";  // program name or path
  int cpu_seconds = 30;
  double wall_seconds = 300.0;
  bool force = false;     // replace the files of a section imported before
  bool install = true;    // make it the working aerofoil in Temp/
  bool progress = false;  // progress bar on the error stream (a terminal)
  bool verbose = false;   // one line per XFOIL sweep
};

// The section's outline and the name it goes by. Throws Error for input that is no section.
struct Shape {
  std::string name;
  Outline outline;
  std::string geometry;      // XFOIL's command for the section
  std::string section_file;  // the text that command loads ("" for a NACA designation)
};
Shape shape_of(const ImportOptions& options);

// The seven blocks of the polar file, given the blocks computed for `reynolds` (in that order)
// and the rows each of them had filled (fill_short_sides). A Reynolds number not computed takes
// the block of the nearest one computed (in log10 Re; the higher of two equally near), all of
// it recorded as filled. A block that serves a rotor design poorly is kept as XFOIL's points
// give it, never replaced by another Reynolds number's (which would flatter the section);
// `notes` gets a line saying so. `fills` gets the record of every filled row.
Polar assemble(const std::vector<int>& reynolds, const std::vector<Block>& blocks,
               const std::vector<BlockInfo>& infos,
               const std::vector<std::vector<FilledRows>>& filled,
               std::vector<fill_record::Fill>& fills, std::vector<std::string>& notes);

// The files of section `name` in `data_dir` that an import would replace, when it may: throws
// Error naming them for a section shipped with rotorforge (never replaced, and never put into
// the menu's own Data/ directory by an import) and, unless `force`, for any other section.
void check_replacing(const std::string& data_dir, const std::string& name, bool force);

// The whole import. `out` gets the summary; errors are thrown as Error, and nothing is written
// then. Returns the name.
std::string import_section(const ImportOptions& options, std::ostream& out, std::ostream& err);

// Makes the data files of `name` in `data_dir` the working aerofoil: Temp/Lift_Drag.dat,
// Temp/Profil.dat and Temp/ProfilI.dat exactly as rotorforge's aerofoil menu writes them, and
// the name beside them. Checks both files before writing anything; the caller holds the
// working directory's lock.
void install(const std::string& data_dir, const std::string& name);

}  // namespace foil
