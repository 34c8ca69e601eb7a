#include "docs/console_blocks.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace docs_test {

namespace fs = std::filesystem;

namespace {

// The fence that opens a console block ("```console" or "~~~console"), or "".
std::string console_fence(const std::string& line) {
  std::size_t n = 0;
  while (n < line.size() && (line[n] == '`' || line[n] == '~') && line[n] == line[0]) ++n;
  if (n < 3) return "";
  std::string info = line.substr(n);
  while (!info.empty() && (info.back() == ' ' || info.back() == '\r')) info.pop_back();
  return info == "console" ? line.substr(0, n) : "";
}

bool closes(const std::string& line, const std::string& fence) {
  std::string l = line;
  while (!l.empty() && (l.back() == ' ' || l.back() == '\r')) l.pop_back();
  return l.size() >= fence.size() && l.find_first_not_of(fence[0]) == std::string::npos;
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string quoted(const fs::path& p) {
  std::string q = "'";
  for (const char c : p.string()) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

std::vector<Block> console_blocks(const std::string& markdown, std::string& error) {
  std::vector<Block> blocks;
  std::istringstream in(markdown);
  std::string line;
  int number = 0;
  std::string fence;
  Block block;
  bool continued = false;
  while (std::getline(in, line)) {
    ++number;
    if (fence.empty()) {
      fence = console_fence(line);
      if (!fence.empty()) block = Block{number, {}};
      continue;
    }
    if (closes(line, fence)) {
      if (!block.commands.empty()) block.commands.back().end_line = number;
      blocks.push_back(block);
      fence.clear();
      continue;
    }
    if (continued) {
      Command& c = block.commands.back();
      c.text.pop_back();  // the backslash
      c.text += "\n" + line;
      continued = !line.empty() && line.back() == '\\';
      continue;
    }
    if (line.rfind("$ ", 0) == 0) {
      if (!block.commands.empty()) block.commands.back().end_line = number;
      block.commands.push_back(Command{line.substr(2), number, {}, {}, 0});
      continued = line.back() == '\\';
      continue;
    }
    if (block.commands.empty()) {
      error = "line " + std::to_string(number) + ": a console block must start with a \"$ \" line";
      return blocks;
    }
    block.commands.back().expected.push_back(line);
    block.commands.back().expected_lines.push_back(number);
  }
  if (!fence.empty()) {
    error = "line " + std::to_string(block.line) + ": console block never closed";
  }
  return blocks;
}

std::vector<std::string> output_lines(const std::string& out) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string l = out.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
    start = end + 1;
  }
  return lines;
}

std::optional<Mismatch> compare(const std::vector<std::string>& expected,
                                const std::vector<std::string>& actual) {
  const std::size_t n = expected.size(), m = actual.size();
  // reach[i][j]: the first i shown lines match the first j printed lines.
  std::vector<std::vector<char>> reach(n + 1, std::vector<char>(m + 1, 0));
  reach[0][0] = 1;
  for (std::size_t i = 0; i < n; ++i) {
    if (expected[i] == "...") {
      char any = 0;
      for (std::size_t j = 0; j <= m; ++j) {
        any = static_cast<char>(any | reach[i][j]);
        reach[i + 1][j] = any;
      }
    } else {
      for (std::size_t j = 0; j < m; ++j) {
        if (reach[i][j] && expected[i] == actual[j]) reach[i + 1][j + 1] = 1;
      }
    }
  }
  if (reach[n][m]) return std::nullopt;
  // The furthest shown line that some alignment reaches, and the furthest printed line there.
  std::size_t i = n;
  for (;; --i) {
    bool any = false;
    for (std::size_t j = 0; j <= m; ++j) any = any || reach[i][j];
    if (any || i == 0) break;
  }
  std::size_t j = 0;
  for (std::size_t k = 0; k <= m; ++k) {
    if (reach[i][k]) j = k;
  }
  Mismatch mm;
  mm.expected_index = i;
  mm.at_end = j >= m;
  if (!mm.at_end) mm.got = actual[j];
  return mm;
}

std::vector<std::string> run_page(const fs::path& page, const std::string& name,
                                  const fs::path& program_dir, const fs::path& scratch) {
  std::vector<std::string> problems;
  std::string error;
  const std::vector<Block> blocks = console_blocks(read_file(page), error);
  if (!error.empty()) problems.push_back(name + ": " + error);
  if (blocks.empty()) return problems;

  const fs::path work = scratch / "work";
  const std::string init = quoted(program_dir / "rotorforge-init") + " " + quoted(work) + " > " +
                           quoted(scratch / "init.out") + " 2>&1";
  if (std::system(init.c_str()) != 0) {
    problems.push_back(name + ": rotorforge-init failed: " + read_file(scratch / "init.out"));
    return problems;
  }
  int count = 0;
  for (const Block& b : blocks) {
    for (const Command& c : b.commands) {
      const fs::path script = scratch / ("command-" + std::to_string(++count) + ".sh");
      std::ofstream(script, std::ios::binary) << c.text << "\n";
      const fs::path out = scratch / "out", err = scratch / "err";
      const std::string cmd = "cd " + quoted(work) + " && PATH=" + quoted(program_dir) +
                              ":\"$PATH\" timeout 600 bash " + quoted(script) + " > " +
                              quoted(out) + " 2> " + quoted(err) + " < /dev/null";
      const int raw = std::system(cmd.c_str());
      const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      const auto mm = compare(c.expected, output_lines(read_file(out)));
      if (!mm) continue;
      const bool more = mm->expected_index >= c.expected.size();
      const int line = more ? c.end_line : c.expected_lines[mm->expected_index];
      std::string msg =
          name + ":" + std::to_string(line) + ": the output of `" + c.text + "` (line " +
          std::to_string(c.line) + ", exit status " + std::to_string(status) +
          ") differs\n  shown:   " +
          (more ? std::string("<end of the shown output>") : c.expected[mm->expected_index]) +
          "\n  printed: " + (mm->at_end ? std::string("<end of output>") : mm->got);
      const std::string err_text = read_file(err);
      if (!err_text.empty()) msg += "\n  standard error: " + err_text.substr(0, 500);
      problems.push_back(msg);
    }
  }
  return problems;
}

}  // namespace docs_test
