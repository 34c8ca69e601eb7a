// Which of a working directory's result files describe the blade now in it.
//
// rotorforge replaces Result/Geometry.out with every design, but an energy table is written only
// by the menu option of its turbine type; the tables of options not used in the latest session
// keep what an earlier design left there. A table written before the geometry table belongs to
// an earlier blade, and every program that shows or uses the tables beside the blade leaves it
// out and says so.
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace session_files {

enum class TableState {
  Missing,  // no such file
  Current,  // written after the geometry table, by a sweep of the blade it holds
  Older,    // written before the geometry table: an earlier design's
  Empty,    // no rows: created at start-up by a session that did not run that sweep
};

// The state of the four energy tables (index type - 1) of working directory `dir`. Without a
// geometry table every table present counts as Current: there is no blade to compare with.
std::array<TableState, 4> energy_tables(const std::filesystem::path& dir);

// One console line naming the older tables left out, e.g.
// "Result/Energy4.out is older than Result/Geometry.out (an earlier design): left out";
// "" when none is older.
std::string older_tables_note(const std::array<TableState, 4>& states);

}  // namespace session_files
