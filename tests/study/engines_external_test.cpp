// The external engines for real on the README's example study: GNU parallel on this machine,
// and a private one-node Slurm cluster started for the test in a temporary folder and stopped
// after it. Their designs and summaries must equal the local engine's (design times aside).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <string>

#include "study/design_dir.h"
#include "study/engines.h"
#include "study/study_file.h"
#include "study_support.h"
#include "support/shell.h"

namespace {

namespace fs = std::filesystem;
using study_test::SourceDir;

bool installed(const std::string& program) {
  return std::system(("command -v " + program + " > /dev/null 2>&1").c_str()) == 0;
}

// summary.csv without its design-time column, which no two runs share.
std::string without_times(const std::string& csv) {
  auto rows = study_test::read_csv(csv);
  std::string out;
  for (auto& r : rows) {
    r.erase("design_s");
    for (const auto& [k, v] : r) out += k + "=" + v + ";";
    out += "\n";
  }
  return out;
}

// A study run by the local engine into `local`, to compare the other engines' folders with.
struct Reference {
  Reference(const std::string& file_name, const std::string& text) : file(file_name) {
    source.write(file, text);
    local = study_test::run_study_tool(source.path(), file + " -o local");
    study = study::read_study(source.path() / file, {});
  }

  study_test::ToolRun run(const std::string& args) const {
    return study_test::run_study_tool(source.path(), file + " " + args);
  }

  // The study folder `name` holds what the local engine's holds.
  void expect_same_as_local(const std::string& name) const {
    const fs::path dir = source.path() / name;
    EXPECT_EQ(without_times(support::slurp(dir / "summary.csv")),
              without_times(support::slurp(source.path() / "local/summary.csv")));
    for (const study::Design& d : study.designs) {
      const std::string id = study::design_id(d);
      for (const char* sub : {"Result", "Temp"}) {
        EXPECT_EQ(study_test::tree_difference(source.path() / "local/designs" / id / sub,
                                              dir / "designs" / id / sub),
                  "")
            << name << " " << id << " " << sub;
      }
    }
  }

  SourceDir source;
  std::string file;
  study::Study study;
  study_test::ToolRun local;
};

// The small 2 x 2 study (an imported aerofoil among them) through GNU parallel.
TEST(Engines, GnuParallelRunsTheJobList) {
  if (!installed("parallel")) {
    GTEST_SKIP() << "GNU parallel is not installed (apt-get install parallel)";
  }
  const Reference ref("two.toml", study_test::kTwoByTwo);
  ASSERT_EQ(ref.local.status, 0) << ref.local.err;
  const auto r = ref.run("-o par --engine parallel -j 2");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const fs::path dir = ref.source.path() / "par";
  // One session command per design, and parallel's log of each ending well.
  const std::string jobs = support::slurp(dir / "jobs.txt");
  EXPECT_EQ(std::count(jobs.begin(), jobs.end(), '\n'), 4);
  EXPECT_NE(jobs.find(" run-one --rotorforge "), std::string::npos) << jobs;
  const std::string log = support::slurp(dir / "parallel.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5) << log;  // a header and 4 jobs
  ref.expect_same_as_local("par");
}

// Through GNU parallel at a terminal, into a folder whose name holds a quote, blanks and $(...):
// the progress bar, and nothing executed. Started on one processor (taskset), every session is
// allowed just that one.
TEST(Engines, GnuParallelShowsProgressAndTakesAnyFolderName) {
  if (!installed("parallel") || !installed("script") || !installed("taskset")) {
    GTEST_SKIP() << "GNU parallel, script or taskset (util-linux) is not installed";
  }
  SourceDir source;
  source.write("s.toml",
               "[rotor]\nblades = [2, 3]\nhub_radius = 0.1\ntip_radius = 1\nelements = 2\n"
               "aerofoil = 1\n[site]\nmean_wind = 5\n");
  const std::string cmd = study::shell_line(
      {ROTORFORGE_STUDY_BINARY, "s.toml", "-o", study_test::kOddFolder, "--engine", "parallel"});
  const auto r = support::run_in(
      source.path(), "script -qec " + study::shell_line({"taskset -c 0 " + cmd}) + " /dev/null");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("] 2/2 designs"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2 designs: 2 finished, 0 failed, 0 not run yet"), std::string::npos)
      << r.out;
  EXPECT_EQ(study_test::executed(source.path()), "");
  const study::Study study = study::read_study(source.path() / "s.toml", {});
  for (const study::Design& d : study.designs) {
    const auto o = study::read_status(source.path() / study_test::kOddFolder / "designs" /
                                      study::design_id(d));
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->processors, 1u);
  }
}

// A private Slurm cluster for the lifetime of the object.
class SlurmCluster {
 public:
  SlurmCluster() : dir_(support::test_prefix("rotorforge-slurm-")) {
    script_ = fs::path(ROTORFORGE_SOURCE_DIR) / "tests/study/slurm_cluster.sh";
    started_ = std::system(("bash '" + script_.string() + "' start '" + dir_.path().string() +
                            "' > /dev/null 2>&1")
                               .c_str()) == 0;
    setenv("SLURM_CONF", (dir_.path() / "slurm.conf").c_str(), 1);
  }
  ~SlurmCluster() {
    std::system(("bash '" + script_.string() + "' stop '" + dir_.path().string() + "'").c_str());
    unsetenv("SLURM_CONF");
  }
  bool started() const { return started_; }
  std::string logs() const {
    return support::slurp(dir_.path() / "log/slurmctld.log") +
           support::slurp(dir_.path() / "log/slurmd.log");
  }

 private:
  support::ScratchDir dir_;
  fs::path script_;
  bool started_ = false;
};

// The README's example study under Slurm.
TEST(Engines, SlurmArrayJobThenCollect) {
  if (!installed("slurmctld") || !installed("slurmd") || !installed("munged")) {
    GTEST_SKIP() << "Slurm is not installed (apt-get install slurmctld slurmd slurm-client munge)";
  }
  if (!installed("script")) GTEST_SKIP() << "script (util-linux) is not installed";
  if (geteuid() != 0) {
    GTEST_SKIP() << "the private Slurm cluster runs its daemons as root, and this test is not root";
  }
  const std::string example = "blades-tips-aerofoils.toml";
  const Reference ref(example,
                      support::slurp(fs::path(ROTORFORGE_SOURCE_DIR) / "examples" / example));
  ASSERT_EQ(ref.local.status, 0) << ref.local.err;
  constexpr int kDesigns = 8;
  SlurmCluster cluster;
  ASSERT_TRUE(cluster.started()) << cluster.logs();

  // Submitted and left to run, into a folder whose name sbatch's own parser of #SBATCH lines
  // could not take (a quote, blanks, '%') and that a shell would run a command from: nothing is
  // summarised until something has finished.
  const std::string name = study_test::kOddFolder;
  const auto submitted = ref.run("-o " + study::shell_line({name}) + " --engine slurm");
  ASSERT_EQ(submitted.status, 0) << submitted.out << submitted.err;
  std::smatch m;
  ASSERT_TRUE(
      std::regex_search(submitted.out, m, std::regex("submitted Slurm job ([0-9]+) with 8 tasks")))
      << submitted.out;
  const fs::path dir = ref.source.path() / name;
  EXPECT_FALSE(fs::exists(dir / "summary.csv"));
  EXPECT_EQ(support::slurp(dir / "slurm/study.sbatch").find("#SBATCH"), std::string::npos)
      << "every setting is on sbatch's command line";
  EXPECT_NE(submitted.out.find("rotorforge-study collect " + study::shell_line({dir.string()})),
            std::string::npos)
      << submitted.out;
  study::wait_slurm(m[1].str());
  // The job has finished; collect builds the summary from the designs' folders.
  const auto collected =
      study_test::run_study_tool(ref.source.path(), "collect " + study::shell_line({name}));
  EXPECT_EQ(collected.status, 0) << collected.out << collected.err << cluster.logs();
  EXPECT_NE(collected.out.find("8 designs: 8 finished, 0 failed, 0 not run yet"),
            std::string::npos);
  // Each task's output file exists (a job reported done whose tasks never ran would leave none).
  for (int task = 1; task <= kDesigns; ++task) {
    EXPECT_TRUE(fs::exists(dir / "slurm" / ("task-" + std::to_string(task) + ".out"))) << task;
  }
  ref.expect_same_as_local(name);
  EXPECT_EQ(study_test::executed(ref.source.path()), "");
  // Each task was given one CPU (--cpus-per-task=1), and its session could use just that one:
  // rotorforge sizes its threads by the processors it is allowed.
  for (const study::Design& d : ref.study.designs) {
    const auto o = study::read_status(dir / "designs" / study::design_id(d));
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->processors, 1u) << study::design_id(d);
  }

  // A rerun submits only the designs without an outcome; --wait stays until the job has
  // finished, with a progress bar at a terminal, and writes the summary itself.
  for (std::size_t i : {1u, 6u}) {
    fs::remove(dir / "designs" / study::design_id(ref.study.designs[i]) / "status.txt");
  }
  const std::string cmd = study::shell_line(
      {ROTORFORGE_STUDY_BINARY, example, "-o", name, "--engine", "slurm", "--wait", "--jobs", "2"});
  const auto waited =
      support::run_in(ref.source.path(), "script -qec " + study::shell_line({cmd}) + " /dev/null");
  EXPECT_EQ(waited.status, 0) << waited.out << waited.err;
  EXPECT_EQ(waited.out.substr(0, waited.out.find('\r')), "8 designs: 2 to run, 6 finished before");
  EXPECT_NE(waited.out.find("] 2/2 designs"), std::string::npos) << waited.out;
  EXPECT_NE(waited.out.find("8 designs: 8 finished, 0 failed, 0 not run yet"), std::string::npos);
  ref.expect_same_as_local(name);
}

}  // namespace
