// Every console block of README.md and docs/*.md, run against this build's programs: whatever a
// page shows as a program's output is what the program prints. And the checker itself: blocks
// found, wildcard lines, and a changed line reported with its page and line.
#include "docs/console_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/workdir.h"

namespace {

namespace fs = std::filesystem;
using docs_test::compare;
using docs_test::console_blocks;

const fs::path kSource = ROTORFORGE_SOURCE_DIR;
const fs::path kPrograms = ROTORFORGE_PROGRAM_DIR;

TEST(ConsoleBlocks, FindsCommandsAndTheirOutputInConsoleBlocksOnly) {
  const std::string page =
      "# Title\n"                 // 1
      "```sh\n"                   // 2
      "$ not run\n"               // 3
      "```\n"                     // 4
      "```console\n"              // 5
      "$ echo a\n"                // 6
      "a\n"                       // 7
      "$ printf 'b\\nc\\n' \\\n"  // 8
      "  | cat\n"                 // 9
      "b\n"                       // 10
      "...\n"                     // 11
      "```\n"                     // 12
      "~~~~console\n"             // 13
      "$ true\n"                  // 14
      "~~~~\n";                   // 15
  std::string error;
  const auto blocks = console_blocks(page, error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(blocks.size(), 2u);
  ASSERT_EQ(blocks[0].commands.size(), 2u);
  EXPECT_EQ(blocks[0].line, 5);
  EXPECT_EQ(blocks[0].commands[0].text, "echo a");
  EXPECT_EQ(blocks[0].commands[0].expected, std::vector<std::string>{"a"});
  EXPECT_EQ(blocks[0].commands[0].expected_lines, std::vector<int>{7});
  EXPECT_EQ(blocks[0].commands[1].text, "printf 'b\\nc\\n' \n  | cat");
  EXPECT_EQ(blocks[0].commands[1].line, 8);
  EXPECT_EQ(blocks[0].commands[1].expected, (std::vector<std::string>{"b", "..."}));
  EXPECT_EQ(blocks[0].commands[1].end_line, 12);
  EXPECT_TRUE(blocks[1].commands[0].expected.empty());

  for (const char* bad : {"```console\noutput without a command\n```\n", "```console\n$ echo\n"}) {
    std::string e;
    console_blocks(bad, e);
    EXPECT_NE(e, "") << bad;
  }
}

TEST(ConsoleBlocks, ComparesLineByLineWithEllipsisForAnyNumberOfLines) {
  using V = std::vector<std::string>;
  const struct {
    V shown;
    V printed;
    bool same;
    std::size_t at;   // first shown line not matched (shown.size(): output goes on)
    const char* got;  // the printed line there ("<end>" when the output ended)
  } cases[] = {
      {{"a", "b"}, {"a", "b"}, true, 0, ""},
      {{}, {}, true, 0, ""},
      {{"..."}, {}, true, 0, ""},
      {{"..."}, {"x", "y"}, true, 0, ""},
      {{"a", "...", "z"}, {"a", "b", "c", "z"}, true, 0, ""},
      {{"a", "...", "z"}, {"a", "z"}, true, 0, ""},
      {{"...", "b", "...", "b"}, {"b", "x", "b"}, true, 0, ""},
      {{"a", "b"}, {"a", "c"}, false, 1, "c"},
      {{"a", "b", "c"}, {"a", "b"}, false, 2, "<end>"},
      {{"a"}, {"a", "extra"}, false, 1, "extra"},
      {{"a", "...", "z"}, {"a", "b", "y"}, false, 2, "<end>"},
      {{"a ", "b"}, {"a", "b"}, false, 0, "a"},  // trailing blanks count
  };
  for (const auto& c : cases) {
    const auto mm = compare(c.shown, c.printed);
    EXPECT_EQ(!mm.has_value(), c.same) << testing::PrintToString(c.shown);
    if (!mm || c.same) continue;
    EXPECT_EQ(mm->expected_index, c.at) << testing::PrintToString(c.shown);
    EXPECT_EQ(mm->at_end ? std::string("<end>") : mm->got, c.got)
        << testing::PrintToString(c.shown);
  }
  EXPECT_EQ(docs_test::output_lines("a\r\nb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
}

// A page whose shown output is changed is reported at the changed line, in a working directory
// that rotorforge-init made (Data/ is there).
TEST(ConsoleBlocks, AChangedOutputIsReportedWithPageAndLine) {
  support::ScratchDir dir("rotorforge-docs-self-");
  const std::string good =
      "Text.\n"
      "```console\n"
      "$ ls Data | head -2\n"
      "Liftnaca4312.dat\n"
      "...\n"
      "$ echo one; echo two\n"
      "one\n"
      "two\n"
      "```\n";
  std::string shown = good;
  // The first shown name made right, so that the good page holds.
  shown.replace(shown.find("Liftnaca4312"), 12, "Liftnaca4412");
  dir.write("good.md", shown);
  fs::create_directory(dir / "run-good");
  EXPECT_EQ(docs_test::run_page(dir / "good.md", "good.md", kPrograms, dir / "run-good"),
            std::vector<std::string>{});

  std::string changed = shown;
  changed.replace(changed.find("\ntwo\n"), 5, "\n2\n");
  dir.write("changed.md", changed);
  fs::create_directory(dir / "run-changed");
  const auto problems =
      docs_test::run_page(dir / "changed.md", "changed.md", kPrograms, dir / "run-changed");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].rfind("changed.md:8: ", 0), 0u) << problems[0];
  EXPECT_NE(problems[0].find("shown:   2\n  printed: two"), std::string::npos) << problems[0];
}

// Every page of the project with console blocks: README.md and docs/*.md (the pages present
// when the test runs, so a page added later is checked without changing the test).
TEST(ConsoleBlocks, EveryShownOutputIsTheProgramsOwn) {
  std::vector<fs::path> pages = {kSource / "README.md"};
  std::vector<fs::path> docs;
  for (const auto& e : fs::directory_iterator(kSource / "docs")) {
    if (e.path().extension() == ".md") docs.push_back(e.path());
  }
  std::sort(docs.begin(), docs.end());
  pages.insert(pages.end(), docs.begin(), docs.end());
  support::ScratchDir dir("rotorforge-docs-");
  int index = 0;
  for (const fs::path& page : pages) {
    const fs::path scratch = dir / ("page-" + std::to_string(++index));
    fs::create_directory(scratch);
    const std::string name = fs::relative(page, kSource).string();
    for (const std::string& p : docs_test::run_page(page, name, kPrograms, scratch)) {
      ADD_FAILURE() << p;
    }
  }
}

}  // namespace
