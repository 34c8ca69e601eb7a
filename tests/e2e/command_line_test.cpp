// rotorforge's only options, --help and --version: they print and end before the session lock
// or any file of the directory is touched, inside a working directory (where an earlier session
// left its results) and outside one; anything else is refused the same way.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "e2e/run_binary.h"
#include "util/version.h"

namespace {

namespace fs = std::filesystem;

// Every file and folder under `root` with the bytes of each file.
std::map<std::string, std::string> listing(const fs::path& root) {
  std::map<std::string, std::string> all;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    all[fs::relative(e.path(), root).string()] =
        e.is_regular_file() ? e2e::slurp(e.path()) : std::string("<dir>");
  }
  return all;
}

struct Call {
  std::string args;
  int status;
  std::string out_starts;  // what standard output begins with ("" for nothing at all)
  std::string err_holds;   // a piece of standard error ("" for nothing at all)
};

const Call kCalls[] = {
    {"--version", 0, "rotorforge " + std::string(version::kNumber) + "\n", ""},
    {"--help", 0, "Usage: rotorforge [--help | --version]\n", ""},
    {"-h", 0, "Usage: rotorforge [--help | --version]\n", ""},
    {"--version --help", 0, "Usage: rotorforge [--help | --version]\n", ""},
    {"--verbose", 2, "", "rotorforge: unknown argument \"--verbose\""},
    {"Result", 2, "", "rotorforge: unknown argument \"Result\""},
};

void expect_call(const fs::path& dir, const fs::path& outputs, const Call& c,
                 const std::string& where) {
  const auto before = listing(dir);
  const auto r = support::run_in(
      dir, "exec '" + std::string(ROTORFORGE_BINARY) + "' " + c.args + " < /dev/null",
      (outputs / "out").string(), (outputs / "err").string());
  const std::string label = where + ": rotorforge " + c.args;
  EXPECT_EQ(r.status, c.status) << label << ": " << r.err;
  if (c.out_starts.empty()) {
    EXPECT_EQ(r.out, "") << label;
  } else {
    EXPECT_EQ(r.out.substr(0, c.out_starts.size()), c.out_starts) << label << ": " << r.out;
  }
  if (c.err_holds.empty()) {
    EXPECT_EQ(r.err, "") << label;
  } else {
    EXPECT_NE(r.err.find(c.err_holds), std::string::npos) << label << ": " << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / ".rotorforge.lock")) << label << " left the session lock";
  EXPECT_TRUE(listing(dir) == before) << label << " changed the directory";
}

TEST(CommandLine, HelpAndVersionTouchNoFileInAWorkingDirectory) {
  e2e::WorkDir dir;
  // An earlier session's results, which a dialogue would open (and the energy tables replace).
  e2e::spit(dir / "Result/Geometry.out", "an earlier design\r\n");
  e2e::spit(dir / "Result/Energy1.out", "an earlier sweep\r\n");
  e2e::spit(dir / "Result/blade.stl", "solid earlier\r\n");
  support::ScratchDir outputs("rotorforge-cli-out-");
  for (const Call& c : kCalls) expect_call(dir.path(), outputs.path(), c, "working directory");
}

TEST(CommandLine, HelpAndVersionWorkOutsideAWorkingDirectory) {
  support::ScratchDir outer("rotorforge-cli-");
  const fs::path empty = outer.path() / "elsewhere";
  fs::create_directory(empty);
  for (const Call& c : kCalls) expect_call(empty, outer.path(), c, "empty directory");
  EXPECT_TRUE(fs::is_empty(empty));
}

}  // namespace
