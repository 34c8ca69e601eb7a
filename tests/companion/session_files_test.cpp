#include "companion/session_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/workdir.h"
#include "util/files.h"

namespace {

namespace fs = std::filesystem;
using session_files::TableState;

void touch(const fs::path& p, fs::file_time_type when, bool empty = false) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p);
  if (!empty) out << "x\n";
  out.close();
  fs::last_write_time(p, when);
}

// Each case: which files exist and when they were written relative to the geometry table.
TEST(SessionFiles, EnergyTablesOlderThanTheBladeAreLeftOut) {
  const auto t0 = fs::file_time_type::clock::now();
  const auto before = t0 - std::chrono::seconds(60);
  const auto after = t0 + std::chrono::seconds(60);
  struct Case {
    const char* name;
    bool geometry;
    // 0 missing, -1 written before the geometry, +1 after, 2 same time, 3 empty and before
    std::array<int, 4> tables;
    std::array<TableState, 4> want;
    const char* note;
  };
  const Case cases[] = {
      {"all current",
       true,
       {1, 1, 1, 1},
       {TableState::Current, TableState::Current, TableState::Current, TableState::Current},
       ""},
      {"a and b",
       true,
       {1, 0, 0, -1},
       {TableState::Current, TableState::Missing, TableState::Missing, TableState::Older},
       "Result/Energy4.out is older than Result/Geometry.out (an earlier design): left out"},
      {"two older",
       true,
       {-1, -1, 2, 0},
       {TableState::Older, TableState::Older, TableState::Current, TableState::Missing},
       "Result/Energy1.out, Result/Energy2.out are older than Result/Geometry.out (an earlier "
       "design): left out"},
      {"empty ones never older",
       true,
       {1, 3, 3, -1},
       {TableState::Current, TableState::Empty, TableState::Empty, TableState::Older},
       "Result/Energy4.out is older than Result/Geometry.out (an earlier design): left out"},
      {"no blade",
       false,
       {-1, 0, 0, 0},
       {TableState::Current, TableState::Missing, TableState::Missing, TableState::Missing},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    support::ScratchDir dir("session_files");
    if (c.geometry) touch(dir.path() / files::kGeometryTable, t0);
    for (std::size_t i = 0; i < 4; ++i) {
      const int when = c.tables[i];
      if (when == 0) continue;
      touch(dir.path() / files::kEnergyTables[i],
            when < 0 || when == 3 ? before
            : when == 2           ? t0
                                  : after,
            when == 3);
    }
    const auto states = session_files::energy_tables(dir.path());
    EXPECT_EQ(states, c.want);
    EXPECT_EQ(session_files::older_tables_note(states), c.note);
  }
}

}  // namespace
