// A design's folder: its outcome record, setting it up (afresh unless it finished), installing
// an imported aerofoil, and one session run with a stand-in for rotorforge.
#include "study/design_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "aerofoil/foildata.h"
#include "study/summary.h"
#include "study_support.h"
#include "util/parallel.h"

namespace {

namespace fs = std::filesystem;
using study_test::SourceDir;

study::Design design(const std::string& aerofoil) {
  return study::parse_study(
             "[rotor]\nblades = 3\nhub_radius = 0.15\ntip_radius = 1.5\n"
             "elements = 5\naerofoil = \"" +
                 aerofoil + "\"\n[site]\nmean_wind = 5\n",
             "s.toml", {})
      .designs.at(0);
}

TEST(DesignDir, OutcomeRecordReadsBackAsWritten) {
  SourceDir dir;
  const std::vector<study::Outcome> cases = {
      {study::State::Ok, 0, 1.25, ""},
      {study::State::Failed, 2, 0.0078125, "rotorforge: answer to \"x\": End of file"},
      {study::State::Failed, -1, 3.0, "killed by signal 9"},
  };
  EXPECT_FALSE(study::read_status(dir.path()).has_value());
  for (const study::Outcome& o : cases) {
    study::write_status(dir.path(), o);
    const auto back = study::read_status(dir.path());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->state, o.state);
    EXPECT_EQ(back->exit_status, o.exit_status);
    EXPECT_EQ(back->seconds, o.seconds);
    EXPECT_EQ(back->message, o.message);
    EXPECT_FALSE(fs::exists(dir.path() / "status.txt.new"));
  }
  // A record cut before its status line is no record: the design runs again.
  dir.write("status.txt", "sta");
  EXPECT_FALSE(study::read_status(dir.path()).has_value());
}

TEST(DesignDir, SetUpAfreshUnlessFinished) {
  SourceDir source;
  const study::Design d = design("sg6043");
  const fs::path dir = source.path() / "d";
  ASSERT_EQ(study::prepare(d, dir, source.path() / "Data"), study::Prepared::Ready);
  EXPECT_EQ(study_test::files_under(dir),
            (std::set<std::string>{"answers.txt", "Data/sg6043.dat", "Data/Liftsg6043.dat",
                                   "Data/sg6043.fill", "Temp/Parameters.in"}));
  EXPECT_TRUE(fs::is_directory(dir / "Result"));
  EXPECT_EQ(support::slurp(dir / "Temp/Parameters.in"), study_test::kParameters);
  EXPECT_EQ(support::slurp(dir / "answers.txt"), study::answers(d));

  // The data folder may be named with a trailing slash.
  ASSERT_EQ(study::prepare(d, source.path() / "d2", source.path() / "Data/"),
            study::Prepared::Ready);
  EXPECT_EQ(support::slurp(source.path() / "d2/Temp/Parameters.in"), study_test::kParameters);

  // A failed or unfinished design starts again from nothing.
  support::spit(dir / "Result/Geometry.out", "half");
  study::write_status(dir, {study::State::Failed, 2, 1.0, "x"});
  EXPECT_EQ(study::prepare(d, dir, source.path() / "Data"), study::Prepared::Ready);
  EXPECT_FALSE(fs::exists(dir / "Result/Geometry.out"));
  EXPECT_FALSE(fs::exists(dir / "status.txt"));

  // A finished one is left alone.
  support::spit(dir / "Result/Geometry.out", "done");
  study::write_status(dir, {study::State::Ok, 0, 1.0, ""});
  EXPECT_EQ(study::prepare(d, dir, source.path() / "Data"), study::Prepared::Complete);
  EXPECT_EQ(support::slurp(dir / "Result/Geometry.out"), "done");
}

TEST(DesignDir, ImportedAerofoilIsInstalledAsTheMenuInstallsAShippedOne) {
  SourceDir source;
  const fs::path dir = source.path() / "d";
  ASSERT_EQ(study::prepare(design("myfoil"), dir, source.path() / "Data"), study::Prepared::Ready);
  // What aerofoil 1 of the menu writes, in a working directory of its own.
  support::WorkDir shipped("rotorforge-study-shipped-");
  fs::copy(source.path() / "Data", shipped.path() / "Data");
  foildata::choice(1);
  for (const char* f : {"Temp/Lift_Drag.dat", "Temp/Profil.dat", "Temp/ProfilI.dat"}) {
    EXPECT_EQ(support::slurp(dir / f), shipped.read(f)) << f;
  }
  EXPECT_NE(support::slurp(dir / "Temp/Lift_Drag.dat"), "");
  EXPECT_EQ(fs::current_path(), shipped.path()) << "the working directory is given back";
}

// The record of the aerofoil's filled angles goes into the design's folder with its data, and
// the design's row carries the Reynolds numbers it names.
TEST(DesignDir, FillRecordTravelsWithTheAerofoilAndFlagsTheRow) {
  SourceDir source;
  source.write("Data/myfoil.fill",
               "# myfoil\n42000 5 20 not converged\n83000 -10 -4 x\n"
               "42000 -10 -8 y\n");
  const fs::path dir = source.path() / "d";
  const study::Design d = design("myfoil");
  ASSERT_EQ(study::prepare(d, dir, source.path() / "Data"), study::Prepared::Ready);
  EXPECT_EQ(support::slurp(dir / "Data/myfoil.fill"), source.read("Data/myfoil.fill"));
  study::write_status(dir, study::Outcome{study::State::Ok, 0, 1.0, ""});
  EXPECT_EQ(study::read_row(d, dir).filled, "42000 83000");
  // A shipped aerofoil without a record: nothing flagged.
  const fs::path plain = source.path() / "e";
  ASSERT_EQ(study::prepare(design("naca4412"), plain, source.path() / "Data"),
            study::Prepared::Ready);
  study::write_status(plain, study::Outcome{study::State::Ok, 0, 1.0, ""});
  EXPECT_EQ(study::read_row(design("naca4412"), plain).filled, "");
}

TEST(DesignDir, SetUpFailureIsRecorded) {
  SourceDir source;
  const fs::path dir = source.path() / "d";
  source.write("Data/Liftbad.dat", "1 2 x\n");
  source.write("Data/bad.dat", "");
  EXPECT_EQ(study::prepare(design("bad"), dir, source.path() / "Data"), study::Prepared::Failed);
  const auto o = study::read_status(dir);
  ASSERT_TRUE(o.has_value());
  EXPECT_EQ(o->state, study::State::Failed);
  EXPECT_EQ(o->message, "Data/Liftbad.dat, record 1: Bad real number in item 3 of list input");
}

TEST(DesignDir, SessionGetsTheAnswersInItsFolderAndItsEndIsRecorded) {
  SourceDir source;
  const fs::path dir = source.path() / "d";
  ASSERT_EQ(study::prepare(design("sg6043"), dir, source.path() / "Data"), study::Prepared::Ready);
  struct Case {
    const char* what;
    std::string script;
    study::State state;
    int exit_status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"copies its input into the folder", "cat > got.txt; echo shown", study::State::Ok, 0, ""},
      {"fails with a message",
       "echo 'first line' >&2; echo 'rotorforge: answer: End of file' >&2; exit 2",
       study::State::Failed, 2, "rotorforge: answer: End of file"},
      {"fails silently", "exit 3", study::State::Failed, 3, "rotorforge ended with status 3"},
      // An answer asked again shifts every later answer to the wrong prompt.
      {"refuses an answer",
       "printf ' Enter cut-in wind speed (m/s), Ucin= Ucin must be greater than 0; please enter "
       "it again.\\n'",
       study::State::Failed, 0,
       "rotorforge refused an answer: Ucin must be greater than 0; please enter it again."},
      {"refuses a wall",
       "printf ' Enter (mm), delta=\\n delta must be 0 or more; please enter "
       "it again.\\n'",
       study::State::Failed, 0,
       "rotorforge refused an answer: delta must be 0 or more; please enter it again."},
      {"is killed", "kill -9 $$", study::State::Failed, -1, "killed by signal 9"},
      // Ctrl-C or a scheduler's stop: not an outcome of the design, which runs again later.
      {"is interrupted", "kill -INT $$", study::State::Interrupted, -1, "interrupted by signal 2"},
  };
  for (const Case& c : cases) {
    const fs::path program = source.path() / "fake-rotorforge";
    support::spit(program, "#!/bin/sh\n" + c.script + "\n");
    fs::permissions(program, fs::perms::owner_all);
    fs::remove(dir / "status.txt");
    const study::Outcome o = study::run_one(dir, program);
    EXPECT_EQ(o.state, c.state) << c.what;
    EXPECT_EQ(o.exit_status, c.exit_status) << c.what;
    EXPECT_EQ(o.message, c.message) << c.what;
    const auto recorded = study::read_status(dir);
    if (c.state == study::State::Interrupted) {
      EXPECT_FALSE(recorded.has_value()) << c.what;
      continue;
    }
    EXPECT_GT(o.seconds, 0.0) << c.what;
    ASSERT_TRUE(recorded.has_value());
    EXPECT_EQ(recorded->message, c.message) << c.what;
    EXPECT_EQ(recorded->processors, parallel::allowed_processors()) << c.what;
  }
  EXPECT_EQ(support::slurp(dir / "got.txt"), support::slurp(dir / "answers.txt"));
  EXPECT_EQ(support::slurp(dir / "console.txt"), "");  // the last session wrote nothing

  // After a session that went well the picture writer runs in the folder; not after a failed one.
  const fs::path plotter = source.path() / "fake-plot";
  support::spit(plotter, "#!/bin/sh\npwd; echo 'to stderr' >&2\n");
  fs::permissions(plotter, fs::perms::owner_all);
  for (const auto& [script, drawn] : {std::pair{"exit 0", true}, std::pair{"exit 1", false}}) {
    fs::remove(dir / "plot.txt");
    support::spit(source.path() / "fake-rotorforge", std::string("#!/bin/sh\n") + script + "\n");
    study::run_one(dir, source.path() / "fake-rotorforge", plotter);
    EXPECT_EQ(support::slurp(dir / "plot.txt"),
              drawn ? fs::absolute(dir).string() + "\nto stderr\n" : "")
        << script;
  }

  const study::Outcome missing = study::run_one(dir, source.path() / "no-such-program");
  EXPECT_EQ(missing.exit_status, 127);
  EXPECT_EQ(missing.message, "cannot run " + (source.path() / "no-such-program").string() +
                                 ": No such file or directory");
}

}  // namespace
