// The console blocks of the project's Markdown pages and their run against the real programs.
//
// A fenced block whose info string is `console` shows commands and what they print. A line
// starting with "$ " is a command (a command line ending in a backslash goes on in the next
// line); the lines after it, up to the next command or the end of the block, are exactly its
// standard output, except that a line holding only "..." stands for any number of lines, and a
// carriage return ending a line of output is not compared (a page cannot show it; rotorforge's
// own records end in one). Every block of one page runs in order, each command in its own bash,
// in one working directory made by rotorforge-init for that page, with the build's programs
// first on PATH. Standard error and the exit status are not compared (show them with 2>&1 or
// `; echo $?`).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace docs_test {

struct Command {
  std::string text;  // without the "$ "
  int line = 0;      // 1-based line of the page
  std::vector<std::string> expected;
  std::vector<int> expected_lines;  // the page's line of each expected line
  int end_line = 0;  // the line after the last expected line (where more output would go)
};

struct Block {
  int line = 0;  // the opening fence
  std::vector<Command> commands;
};

// The console blocks of a page. A block with lines before its first command, or one that is
// never closed, is an error: `error` names its line and the blocks found so far come back.
std::vector<Block> console_blocks(const std::string& markdown, std::string& error);

// The lines of a program's output: split at "\n", one carriage return at each line's end
// dropped, no empty last line for a final newline.
std::vector<std::string> output_lines(const std::string& out);

// Where shown and printed lines part: the index of the first expected line that no alignment
// reaches (expected.size() when the output goes on beyond the last shown line) and the printed
// line found there ("" with `at_end` when the output ended).
struct Mismatch {
  std::size_t expected_index = 0;
  std::string got;
  bool at_end = false;
};
std::optional<Mismatch> compare(const std::vector<std::string>& expected,
                                const std::vector<std::string>& actual);

// Runs every console block of `page` (shown in messages as `name`) in a new working directory
// under `scratch`, made by `program_dir`/rotorforge-init, with `program_dir` first on PATH.
// Returns one message per command whose output differs ("README.md:42: ..."), or that could not
// run; empty when every shown output is the program's.
std::vector<std::string> run_page(const std::filesystem::path& page, const std::string& name,
                                  const std::filesystem::path& program_dir,
                                  const std::filesystem::path& scratch);

}  // namespace docs_test
