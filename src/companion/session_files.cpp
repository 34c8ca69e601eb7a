#include "companion/session_files.h"

#include <system_error>

#include "util/files.h"

namespace session_files {

namespace fs = std::filesystem;

std::array<TableState, 4> energy_tables(const fs::path& dir) {
  std::array<TableState, 4> states{};
  std::error_code ec;
  const auto blade_time = fs::last_write_time(dir / files::kGeometryTable, ec);
  const bool have_blade = !ec;
  for (std::size_t i = 0; i < states.size(); ++i) {
    std::error_code table_ec;
    const fs::path table = dir / files::kEnergyTables[i];
    if (!fs::is_regular_file(table, table_ec)) {
      states[i] = TableState::Missing;
      continue;
    }
    // rotorforge creates all four tables when it starts; one its session did not sweep stays
    // empty, and holds nothing of an earlier design.
    if (fs::file_size(table, table_ec) == 0 && !table_ec) {
      states[i] = TableState::Empty;
      continue;
    }
    const auto table_time = fs::last_write_time(table, table_ec);
    // A sweep always writes its table after the design stage wrote the geometry table's last
    // line, so an equal time (a coarse file system clock) still counts as current.
    const bool older = have_blade && !table_ec && table_time < blade_time;
    states[i] = older ? TableState::Older : TableState::Current;
  }
  return states;
}

std::string older_tables_note(const std::array<TableState, 4>& states) {
  std::string names;
  int count = 0;
  for (std::size_t i = 0; i < states.size(); ++i) {
    if (states[i] != TableState::Older) continue;
    if (count++ > 0) names += ", ";
    names += files::kEnergyTables[i];
  }
  if (count == 0) return "";
  return names + (count == 1 ? " is" : " are") + " older than " + files::kGeometryTable +
         " (an earlier design): left out";
}

}  // namespace session_files
