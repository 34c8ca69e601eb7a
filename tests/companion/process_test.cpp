#include "companion/process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "support/workdir.h"

namespace {

using process::Failure;

// True when process `pid` has ended (gone, or a zombie nobody has reaped yet), waiting up to
// 20 s for it: a killed process ends at once, a `sleep 30` left running does not.
bool ended(const std::string& pid) {
  for (int i = 0; i < 200; ++i) {
    const std::string stat = support::slurp("/proc/" + pid + "/stat");
    const auto close = stat.rfind(')');
    if (stat.empty() || (close != std::string::npos && stat.substr(close + 2, 1) == "Z")) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TEST(Process, StartsWaitsLimitsAndKillsGroups) {
  support::ScratchDir dir("rotorforge_process_");
  const std::string pid_file = (dir / "pid.txt").string();
  // How the child is started and watched.
  enum How { kPlain, kToFile, kCapture, kTimeLimit, kStopGroup };
  struct Case {
    const char* what;
    std::vector<std::string> argv;
    const char* in;  // "": inherited
    How how;
    Failure failure;
    int exit_code;
    int signal;
    std::string text;  // what the file or the capture got; why it did not run
  };
  const std::string no_file = ": No such file or directory";
  // clang-format off
  const std::vector<Case> cases = {
      {"exit status", {"sh", "-c", "exit 3"}, "", kPlain, Failure::None, 3, 0, ""},
      {"output and errors in one file", {"sh", "-c", "echo out; echo err >&2; cat"}, "/dev/null",
       kToFile, Failure::None, 0, 0, "out\nerr\n"},
      {"captured output", {"printf", "a\\nb"}, "", kCapture, Failure::None, 0, 0, "a\nb"},
      {"missing program", {"/nonexistent/program"}, "", kPlain, Failure::Exec, -1, 0,
       "cannot start /nonexistent/program" + no_file},
      {"name not on PATH", {"surely-no-such-program"}, "", kPlain, Failure::Exec, -1, 0,
       "cannot start surely-no-such-program" + no_file},
      {"missing input", {"cat"}, "/nonexistent/input", kPlain, Failure::Open, -1, 0,
       "cannot open /nonexistent/input" + no_file},
      {"time limit", {"sleep", "30"}, "", kTimeLimit, Failure::None, -1, SIGKILL, ""},
      // Stopped once the child's own child runs; the whole group goes.
      {"group stopped", {"sh", "-c", "sleep 30 & echo $! > " + pid_file + "; wait"}, "",
       kStopGroup, Failure::None, -1, SIGKILL, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    process::Command command;
    command.argv = c.argv;
    command.dir = dir.path();
    command.in = c.in;
    if (c.how == kToFile) command.out = command.err = dir / "out.txt";
    command.capture_out = c.how == kCapture;
    command.own_group = c.how == kStopGroup;
    process::Watch watch;
    if (c.how == kTimeLimit) watch.time_limit = 1.0;
    if (c.how == kStopGroup) watch.stop = [&] { return support::slurp(pid_file).ends_with("\n"); };
    const process::Result r = process::run(command, watch);
    EXPECT_EQ(r.failure, c.failure) << c.what;
    EXPECT_EQ(r.exit_code(), c.exit_code) << c.what;
    EXPECT_EQ(r.signal(), c.signal) << c.what;
    EXPECT_EQ(r.timed_out, c.how == kTimeLimit) << c.what;
    EXPECT_EQ(r.stopped, c.how == kStopGroup) << c.what;
    const std::string got = !r.ran()           ? r.failure_text()
                            : c.how == kToFile ? dir.read("out.txt")
                                               : r.output;
    EXPECT_EQ(got, c.text) << c.what;
  }
  // The child's own child, in the same group, went with it.
  const std::string grandchild = dir.read("pid.txt");
  ASSERT_FALSE(grandchild.empty());
  EXPECT_TRUE(ended(grandchild.substr(0, grandchild.size() - 1)));
}

}  // namespace
