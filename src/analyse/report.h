// What rotorforge-analyse shows and writes: the console summary, the CSV tables, the session's
// energy tables, the SVG charts and the page of Result/analysis/NAME/.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "analyse/run.h"

namespace analyse_report {

// `reshaped` is the reshaped blade's analysis, or nullptr.
void print_summary(const analyse_run::Result& r, const analyse_run::Result* reshaped,
                   const analyse_run::Options& o, std::ostream& out);
void write_outputs(const analyse_run::Result& r, const analyse_run::Result* reshaped,
                   const analyse_run::Options& o, const std::filesystem::path& to,
                   std::ostream& out);

// The energy table of one turbine type as a session writes it (header, empty record, 23 rows,
// the two energy lines), lines ending in CR LF.
std::string energy_table(const analysis::Yield& y);

}  // namespace analyse_report
