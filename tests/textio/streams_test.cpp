// Console and files: record ends, prompts, opening, replacing, closing and their errors.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "textio/textio.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
void put(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

// A fresh working directory with Temp/ and Result/, made current for the test.
class WorkDir : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    std::string tmpl = (fs::temp_directory_path() / "textio_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    fs::current_path(dir_);
    fs::create_directory("Temp");
    fs::create_directory("Result");
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  fs::path old_, dir_;
};

template <class F>
std::string run_error(F&& f, int* status = nullptr) {
  try {
    f();
  } catch (const textio::RunError& e) {
    if (status) *status = e.status();
    return e.what();
  }
  return "(no error)";
}

TEST(Console, RecordsEndWithCrLfAndPromptsStayOpen) {
  std::istringstream in("4\r\n0.1 0.5\n");
  std::ostringstream out;
  textio::Console con(in, out);
  con.write({"  Main menu"});
  con.write();
  con.write_fmt("(' Enter number of blades, Numb=', $)");
  std::int64_t numb = 0;
  con.read({numb}, "Numb");
  con.write_fmt("(' Enter hub radius, rhub=', $)");
  double rhub = 0;
  con.read({rhub}, "rhub");  // takes 0.1, skips the rest
  con.write_fmt("(f6.2)", {rhub});
  con.write_raw("\b#");
  EXPECT_EQ(numb, 4);
  EXPECT_EQ(rhub, 0.1);
  EXPECT_EQ(out.str(),
            "   Main menu\r\n\r\n Enter number of blades, Numb= Enter hub radius, rhub="
            "  0.10\r\n\b#");
  EXPECT_FALSE(con.out_is_terminal());
  EXPECT_EQ(&con.out(), &out);
}

TEST(Console, ReadErrorsNameWhatWasAsked) {
  struct Case {
    const char* input;
    const char* message;
  };
  const Case cases[] = {
      {"three\n", "answer to \"Numb=\": Bad integer for item 1 in list input"},
      {"3 x\n", "answer to \"Numb=\": Bad real number in item 2 of list input"},
      {"3\n", "answer to \"Numb=\": End of file"},
      {"", "answer to \"Numb=\": End of file"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.input);
    std::ostringstream out;
    textio::Console con(in, out);
    std::int64_t n = 0;
    double d = 0;
    int status = 0;
    EXPECT_EQ(run_error([&] { con.read({n, d}, "answer to \"Numb=\""); }, &status), c.message);
    EXPECT_EQ(status, 2);
  }
}

TEST_F(WorkDir, OpeningKeepsTheFileUntilTheFirstRecord) {
  put("Result/Performance.out", "old content\r\n");
  {
    textio::OutFile f("Result/Performance.out");
    EXPECT_TRUE(f.is_open());
    EXPECT_EQ(f.path(), "Result/Performance.out");
    f.close();
  }
  EXPECT_EQ(slurp("Result/Performance.out"), "old content\r\n");
  {
    textio::OutFile f("Result/Performance.out");  // destructor closes, keeping
  }
  EXPECT_EQ(slurp("Result/Performance.out"), "old content\r\n");

  put("Temp/Parameters.in", "a much longer old content that must vanish\r\n");
  textio::OutFile f("Temp/Parameters.in", true);
  f.write({1.0, 2.5, -0.001});
  f.write_fmt("(f14.4, f15.4, f15.4)", {0.5, 0.12345, -3.0});
  f.write();
  f.write_fmt("(' no end', $)");
  f.write({std::int64_t{7}});
  f.close();
  EXPECT_FALSE(f.is_open());
  EXPECT_EQ(slurp("Temp/Parameters.in"),
            " 1. 2.5 -0.001\r\n        0.5000         0.1235        -3.0000\r\n\r\n"
            " no end 7\r\n");
}

TEST_F(WorkDir, EveryFlushLeavesOnlyWhatWasWritten) {
  put("Result/Energy1.out", std::string(200000, 'o') + "\r\n");
  textio::OutFile f("Result/Energy1.out");
  f.flush();  // nothing written yet: the old content stays
  EXPECT_EQ(fs::file_size("Result/Energy1.out"), 200002u);
  f.write({"first"});
  f.flush();
  EXPECT_EQ(slurp("Result/Energy1.out"), " first\r\n");
  const std::string long_text(70000, 'x');  // beyond the buffer: written through at once
  f.write({long_text});
  EXPECT_EQ(fs::file_size("Result/Energy1.out"), 8u + 70003u);
  f.write({"last"});
  f.close();
  EXPECT_EQ(slurp("Result/Energy1.out"), " first\r\n " + long_text + "\r\n last\r\n");
  // Shorter again: cut at close.
  f.open("Result/Energy1.out");
  f.write({1.0});
  f.close();
  EXPECT_EQ(slurp("Result/Energy1.out"), " 1.\r\n");
}

TEST_F(WorkDir, OpeningCreatesAMissingFile) {
  textio::OutFile f("Result/Energy1.out");
  EXPECT_TRUE(fs::exists("Result/Energy1.out"));
  f.close();
  EXPECT_EQ(slurp("Result/Energy1.out"), "");
}

TEST_F(WorkDir, SharedHandleKeepsOnePosition) {
  textio::OutFile geometry("Result/Geometry.out");
  auto writer = [](textio::OutFile& f, double v) { f.write_fmt("(f14.4)", {v}); };
  geometry.write({"              Geometry of blades"});
  writer(geometry, 1.0);
  writer(geometry, 2.0);
  textio::OutFile moved = std::move(geometry);
  EXPECT_FALSE(geometry.is_open());
  writer(moved, 3.0);
  moved.close();
  EXPECT_EQ(slurp("Result/Geometry.out"),
            "               Geometry of blades\r\n        1.0000\r\n        2.0000\r\n"
            "        3.0000\r\n");
}

TEST_F(WorkDir, OpenFailuresNameThePath) {
  int status = 0;
  EXPECT_EQ(run_error([] { textio::OutFile f("Result/Missing.in", true); }, &status),
            "Result/Missing.in: No such file or directory");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(run_error([] { textio::OutFile f("Nodir/Energy1.out"); }),
            "Nodir/Energy1.out: No such file or directory");
  EXPECT_FALSE(fs::exists("Result/Missing.in"));
  EXPECT_EQ(run_error([] { textio::InFile f("Data/naca4412.dat"); }),
            "Data/naca4412.dat: No such file or directory");
  EXPECT_EQ(run_error([] { textio::InFile f("Temp"); }), "Temp: Is a directory");
  EXPECT_EQ(run_error([] { textio::OutFile f("Temp"); }), "Temp: Is a directory");
}

TEST_F(WorkDir, FailedWriteIsReportedOnClose) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  textio::OutFile f("/dev/full");
  f.write({1.0, 2.0});
  int status = 0;
  EXPECT_EQ(run_error([&] { f.close(); }, &status), "/dev/full: No space left on device");
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(f.is_open());
}

TEST_F(WorkDir, FailedWriteIsReportedByTheWriteThatMeetsIt) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  textio::OutFile f("/dev/full");
  const std::string big(100000, 'x');
  EXPECT_EQ(run_error([&] { f.write({big}); }), "/dev/full: No space left on device");
  EXPECT_EQ(run_error([&] { f.close(); }), "(no error)");  // already reported once
}

TEST_F(WorkDir, ConsoleReadFlushesOpenFiles) {
  textio::OutFile f("Result/Energy1.out");
  f.write({"row"});
  EXPECT_EQ(slurp("Result/Energy1.out"), "");  // still buffered
  std::istringstream in("1\n");
  std::ostringstream out;
  textio::Console con(in, out);
  std::int32_t choice = 0;
  con.read({choice}, "choice");
  EXPECT_EQ(slurp("Result/Energy1.out"), " row\r\n");
}

TEST_F(WorkDir, CloseAllFilesKeepsWhatWasWritten) {
  textio::OutFile a("Result/Energy1.out");
  textio::OutFile b("Result/Energy2.out");
  textio::OutFile c("Result/Energy3.out");
  a.write({1.0});
  b.write({2.0});
  c.write({3.0});
  c.close_delete();
  textio::close_all_files();
  EXPECT_FALSE(a.is_open());
  EXPECT_FALSE(b.is_open());
  EXPECT_EQ(slurp("Result/Energy1.out"), " 1.\r\n");
  EXPECT_EQ(slurp("Result/Energy2.out"), " 2.\r\n");
  EXPECT_FALSE(fs::exists("Result/Energy3.out"));
  a.close();  // closing again does nothing
}

TEST_F(WorkDir, CloseDeleteRemovesTheFile) {
  textio::OutFile f("Temp/graph.tmp");
  f.write({1.0});
  f.close_delete();
  EXPECT_FALSE(fs::exists("Temp/graph.tmp"));

  put("Temp/3dgeo.dat", " 1. 2.\r\n");
  textio::InFile in("Temp/3dgeo.dat");
  double x = 0, y = 0;
  in.read({x, y});
  in.close_delete();
  EXPECT_FALSE(fs::exists("Temp/3dgeo.dat"));
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, 2.0);

  textio::remove_file("Temp/3dgeo.dat");  // absent: no error
  put("Temp/x", "x");
  textio::remove_file("Temp/x");
  EXPECT_FALSE(fs::exists("Temp/x"));
}

TEST_F(WorkDir, InFileReadsRecordsAndNamesFailures) {
  put("Temp/Lift_Drag.dat", " 1. 2. 3.\r\n 4. 5. 6. 7.\r\n\r\n 8.\r\n 9. 10. 11.");
  textio::InFile f("Temp/Lift_Drag.dat");
  double a = 0, b = 0, c = 0;
  f.read({a, b, c});
  EXPECT_EQ(c, 3.0);
  f.read({a, b, c});  // 7. skipped
  EXPECT_EQ(a, 4.0);
  f.read({a, b});  // passes over the empty record
  EXPECT_EQ(a, 8.0);
  EXPECT_EQ(b, 9.0);  // continues onto the next record, which is then used up
  int status = 0;
  EXPECT_EQ(run_error([&] { f.read({a}); }, &status), "Temp/Lift_Drag.dat, record 6: End of file");
  EXPECT_EQ(status, 2);
  f.close();
  EXPECT_TRUE(fs::exists("Temp/Lift_Drag.dat"));

  put("Temp/Profil.dat", " 1. 2.\n 3. x\n");
  textio::InFile g("Temp/Profil.dat");
  g.read({a, b});
  EXPECT_EQ(run_error(
                [&] {
                  g.read({a, b});
                },
                &status),
            "Temp/Profil.dat, record 2: Bad real number in item 2 of list input");
  EXPECT_EQ(status, 2);
}

TEST_F(WorkDir, TextInMemoryReadsAsItsFileWould) {
  // The same reads of the same text, from the file and from memory: the same values, the same
  // failures naming the path and record.
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {" 1. 2.\r\n\r\n 3.5 4.\r\n", "Temp/Profil.dat, record 4: End of file"},
      {" 1. 2.\n 3. x\n", "Temp/Profil.dat, record 2: Bad real number in item 2 of list input"},
      {" 1. 2.\n 3. 1.E+39\n",
       "Temp/Profil.dat, record 2: Bad real number in item 2 of list input"},
      {" 1. 2.\n 3. 4. 5.\n 6. 7.", "(no error)"},  // a last line without its end is a record
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    put("Temp/Profil.dat", c.text);
    textio::InFile from_file("Temp/Profil.dat");
    textio::InFile from_text = textio::InFile::over_text("Temp/Profil.dat", c.text);
    EXPECT_TRUE(from_text.is_open());
    std::string errors[2];
    double x[2][6] = {};
    float y[2] = {};
    textio::InFile* sources[2] = {&from_file, &from_text};
    for (int k = 0; k < 2; ++k) {
      errors[k] = run_error([&] {
        sources[k]->read({x[k][0], x[k][1]});
        sources[k]->read({x[k][2], y[k]});
        sources[k]->read({x[k][3], x[k][4]});
      });
    }
    EXPECT_EQ(errors[0], c.error);
    EXPECT_EQ(errors[1], c.error);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(x[0][i], x[1][i]) << i;
    EXPECT_EQ(y[0], y[1]);
  }
  // Closing, even with removal, leaves the file of that name alone; nothing is read after.
  textio::InFile t = textio::InFile::over_text("Temp/Profil.dat", " 1. 2.\n");
  t.close_delete();
  EXPECT_FALSE(t.is_open());
  EXPECT_TRUE(fs::exists("Temp/Profil.dat"));
  // No file is needed at all.
  textio::InFile none = textio::InFile::over_text("Temp/none.dat", "");
  double v = 0;
  EXPECT_EQ(run_error([&] { none.read({v}); }), "Temp/none.dat, record 1: End of file");
}

TEST_F(WorkDir, InFileRecordsSpanReadBuffers) {
  // Many records, longer than one read buffer, and a record that straddles buffer ends.
  std::string text;
  for (int k = 0; k < 20000; ++k) {
    text += " " + std::to_string(k) + " " + std::to_string(k) + ".5\r\n";
  }
  text += std::string(200000, ' ') + "42\n";
  put("Temp/big.dat", text);
  textio::InFile f("Temp/big.dat");
  for (int k = 0; k < 20000; ++k) {
    std::int64_t n = -1;
    double d = -1;
    f.read({n, d});
    ASSERT_EQ(n, k);
    ASSERT_EQ(d, k + 0.5);
  }
  std::int64_t last = 0;
  f.read({last});
  EXPECT_EQ(last, 42);
  std::string rec;
  EXPECT_FALSE(f.next_record(rec));
}

TEST_F(WorkDir, ReopeningAfterCloseRewritesFromTheStart) {
  for (int round = 0; round < 3; ++round) {
    textio::OutFile f("Temp/Parameters1.in");
    f.write({1.0 * round, 2.0, 3.0, 4.0, 5.0});
    f.close();
    textio::InFile in("Temp/Parameters1.in");
    double a[5] = {};
    in.read({a[0], a[1], a[2], a[3], a[4]});
    EXPECT_EQ(a[0], round);
    EXPECT_EQ(a[4], 5.0);
  }
  EXPECT_EQ(slurp("Temp/Parameters1.in"), " 2. 2. 3. 4. 5.\r\n");
}

}  // namespace
