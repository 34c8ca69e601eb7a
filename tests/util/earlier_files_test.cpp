#include "util/earlier_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;

TEST(EarlierFiles, EarlierNameMarksTheStemAndKeepsTheExtension) {
  const struct {
    const char* path;
    int n;
    const char* want;
  } cases[] = {
      {"Result/blade.stl", 1, "Result/blade.earlier-1.stl"},
      {"Result/sections.csv", 12, "Result/sections.earlier-12.csv"},
      {"Result/notes", 2, "Result/notes.earlier-2"},
      {"run.d/blade", 3, "run.d/blade.earlier-3"},
      {"a.b.stl", 1, "a.b.earlier-1.stl"},
  };
  for (const auto& c : cases) EXPECT_EQ(earlier_files::earlier_name(c.path, c.n), c.want) << c.path;
}

// Each case: the files a directory holds before (name -> bytes), and what it holds after.
TEST(EarlierFiles, MadeFilesOfAnEarlierDesignAreRenamedNeverOverwritten) {
  using Files = std::map<std::string, std::string>;
  const struct {
    const char* name;
    Files before;
    Files after;
    std::vector<std::string> renamed;  // the new names, in order
  } cases[] = {
      {"nothing made", {{"Result/Geometry.out", "g"}}, {{"Result/Geometry.out", "g"}}, {}},
      {"the STL alone",
       {{"Result/blade.stl", "A"}},
       {{"Result/blade.earlier-1.stl", "A"}},
       {"Result/blade.earlier-1.stl"}},
      {"all three, numbered alike",
       {{"Result/blade.stl", "A"}, {"Result/sections.csv", "S"}, {"Result/planform.csv", "P"}},
       {{"Result/blade.earlier-1.stl", "A"},
        {"Result/sections.earlier-1.csv", "S"},
        {"Result/planform.earlier-1.csv", "P"}},
       {"Result/blade.earlier-1.stl", "Result/sections.earlier-1.csv",
        "Result/planform.earlier-1.csv"}},
      {"a number taken by any made file is skipped",
       {{"Result/blade.stl", "new"},
        {"Result/blade.earlier-1.stl", "first"},
        {"Result/planform.earlier-2.csv", "second"}},
       {{"Result/blade.earlier-3.stl", "new"},
        {"Result/blade.earlier-1.stl", "first"},
        {"Result/planform.earlier-2.csv", "second"}},
       {"Result/blade.earlier-3.stl"}},
      {"earlier files alone stay as they are",
       {{"Result/blade.earlier-1.stl", "first"}},
       {{"Result/blade.earlier-1.stl", "first"}},
       {}},
  };
  for (const auto& c : cases) {
    support::ScratchDir dir("rotorforge-earlier-");
    for (const auto& [name, bytes] : c.before) dir.write(name, bytes);
    const auto renamed = earlier_files::keep_as_earlier(dir.path());
    std::vector<std::string> to;
    for (const auto& r : renamed) to.push_back(r.to);
    EXPECT_EQ(to, c.renamed) << c.name;
    Files after;
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
      if (e.is_regular_file()) {
        after[fs::relative(e.path(), dir.path()).string()] = support::slurp(e.path());
      }
    }
    EXPECT_EQ(after, c.after) << c.name;
  }
}

TEST(EarlierFiles, ARenameThatFailsIsReportedAndTheFileStays) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  support::ScratchDir dir("rotorforge-earlier-");
  dir.write("Result/blade.stl", "A");
  fs::permissions(dir / "Result", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(earlier_files::keep_as_earlier(dir.path()), fs::filesystem_error);
  fs::permissions(dir / "Result", fs::perms::owner_all);
  EXPECT_EQ(dir.read("Result/blade.stl"), "A");
}

}  // namespace
