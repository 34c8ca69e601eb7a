// The test cluster's stop command when a daemon removes its pid file as it exits: the file can
// vanish between any check and the read that follows it, and stop must still end well.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "study_support.h"

namespace {

namespace fs = std::filesystem;

TEST(SlurmClusterScript, StopEndsWellWhenAPidFileVanishesOnExit) {
  support::ScratchDir d(support::test_prefix("rotorforge-cluster-"));
  fs::create_directories(d.path() / "munge");
  fs::create_directories(d.path() / "bin");
  // A stand-in for munged, left to the system when the shell that started it ends.
  ASSERT_EQ(std::system(("sleep 300 > /dev/null 2>&1 & echo $! > '" +
                         (d.path() / "munge/pid").string() + "'")
                            .c_str()),
            0);
  std::string pid = d.read("munge/pid");
  pid = pid.substr(0, pid.find('\n'));
  // cat as the race makes it: once the process of the pid file it is asked to read has ended
  // (waiting up to 2 s for that), the daemon has removed the file just before the read.
  d.write(
      "bin/cat",
      "#!/bin/bash\n"
      "if [ \"${1##*/}\" = pid ] && [ -f \"$1\" ]; then\n"
      "  p=$(/bin/cat \"$1\")\n"
      "  for i in $(seq 20); do\n"
      "    case \"$(ps -o stat= -p \"$p\" 2>/dev/null)\" in\n"
      "      '' | Z*) rm -f \"$1\"; echo \"cat: $1: No such file or directory\" >&2; exit 1 ;;\n"
      "    esac\n"
      "    sleep 0.1\n"
      "  done\n"
      "fi\n"
      "exec /bin/cat \"$@\"\n");
  fs::permissions(d.path() / "bin/cat", fs::perms::owner_all);
  const std::string script = std::string(ROTORFORGE_SOURCE_DIR) + "/tests/study/slurm_cluster.sh";
  const support::ShellRun stop =
      support::run_in(d.path(), "PATH='" + (d.path() / "bin").string() + "':$PATH bash '" + script +
                                    "' stop '" + d.path().string() + "'");
  EXPECT_EQ(stop.status, 0) << stop.err;
  // The stand-in was stopped.
  const std::string state = "ps -o stat= -p " + pid + " | grep -qv Z";
  EXPECT_NE(std::system(state.c_str()), 0) << "process " << pid << " still runs";
  std::system(("kill " + pid + " 2> /dev/null").c_str());
}

}  // namespace
