// The whole dialogue of the real binary: a complete session compared byte for byte with its
// checked-in expected output, the same session typed in other legal ways, and a table of
// unreadable answers at every prompt.
//
// The session (tests/e2e/expected/full/answers.txt) designs a 3-blade, 1.5 m rotor with 2
// elements on NACA 4412, a hollow wooden blade, then runs every menu option (option 1 twice,
// 7 and -1 in between) and stops. tools/update_e2e_expected.sh regenerates the expected files.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "e2e/run_binary.h"

namespace {

namespace fs = std::filesystem;
using e2e::Outcome;
using e2e::WorkDir;

const fs::path kExpected = fs::path(ROTORFORGE_SOURCE_DIR) / "tests/e2e/expected/full";

// Every file the session leaves, compared with the expected copy.
const char* const kFiles[] = {"Result/Geometry.out", "Result/Energy1.out",   "Result/Energy2.out",
                              "Result/Energy3.out",  "Result/Energy4.out",   "Result/3dgeo.dat",
                              "Result/blade.stl",    "Temp/Parameters.in",   "Temp/Parameterst.in",
                              "Temp/Parameters1.in", "Temp/Parameterst1.in", "Temp/Profil.dat",
                              "Temp/graph.tmp",      "Temp/graph1.tmp",      "Temp/mpl.tmp"};

std::vector<std::string> answers() {
  std::ifstream in(kExpected / "answers.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

std::string expected(const std::string& rel) {
  return e2e::slurp(kExpected / rel);
}

void expect_session_files(const WorkDir& dir, const std::string& label) {
  for (const char* f : kFiles) {
    const std::string want = expected(f);
    const std::string got = dir.read(f);
    EXPECT_TRUE(want == got) << label << ": " << f << " differs at "
                             << e2e::first_difference(want, got);
  }
}

// What the program shows before it waits for each answer of the session, and whether that
// answer is read as an integer.
const std::string kMenuEnd = "associated number followed by <return>.    \r\n";
struct Prompt {
  std::string marker;
  bool integer;
};

std::vector<Prompt> prompts() {
  const auto site = [](std::vector<Prompt>& p) {
    p.push_back({" Enter cut-in wind speed (m/s), Ucin=", false});
    p.push_back({" Enter cut-out wind speed (m/s), Ucout=", false});
    p.push_back({" Enter statistical average wind speed at 10m high (m/s), Umid=", false});
    p.push_back({" Enter hub high of wind turbine (m), h=", false});
    p.push_back({" Enter altitude of wind turbine (m), SeaL=", false});
  };
  std::vector<Prompt> p = {
      {" Enter number of blades, Numb=", true},
      {" Enter radius of hub (m), rhub=", false},
      {" Enter radius of tip (m), rtip=", false},
      {" Enter number of blade elements, nbe=", true},
      {" Enter initial setting angle (degree), pitchinitial=", false},
      {kMenuEnd, true},  // aerofoil
      {" Enter statistical average wind speed at 10m high (m/s), Umid=", false},
      {kMenuEnd, true},  // blade type
      {" Enter the thickness of wall of blade (mm), delta=", false},
      {kMenuEnd, true},  // material
      {kMenuEnd, true},  // option 1
  };
  site(p);
  p.push_back({kMenuEnd, true});  // option 2
  site(p);
  p.push_back({" Enter first rotational speed, (rpm), omega1=", false});
  p.push_back({kMenuEnd, true});  // option 3
  site(p);
  p.push_back({" Enter  rotational speed, (rpm), omega=", false});
  p.push_back({kMenuEnd, true});  // option 4
  for (const char* text :
       {" Enter cut-in wind speed, (m/s), Ucin=", " Enter cut-out wind speed, (m/s), Ucout=",
        " Enter statistical average wind speed at 10m high, (m/s),  Umid=",
        " Enter hub high of wind turbine, (m),  h=", " Enter altitude of wind turbine, (m),  SeaL=",
        " Enter  rotational speed, (rpm), omega=", " Enter maximum power limit, (Watt), MPL="}) {
    p.push_back({text, false});
  }
  p.push_back({kMenuEnd, true});  // option 5
  p.push_back({"Enter wind speed (m/s), U0 =", false});
  p.push_back({"Enter tip speed ratio, Lambda = ", false});
  for (int i = 0; i < 4; ++i) p.push_back({kMenuEnd, true});  // options 6, 7, -1, 1
  site(p);
  p.push_back({kMenuEnd, true});  // option 0
  return p;
}

// The console output up to the point where the program waits for answer k.
std::string console_before_answer(const std::string& console, std::size_t k) {
  const std::vector<Prompt> p = prompts();
  std::size_t pos = 0;
  for (std::size_t i = 0; i <= k; ++i) {
    const std::size_t at = console.find(p[i].marker, pos);
    if (at == std::string::npos) return "<marker of answer " + std::to_string(i) + " missing>";
    pos = at + p[i].marker.size();
  }
  return console.substr(0, pos);
}

TEST(Dialogue, SessionMatchesExpectedConsoleAndFiles) {
  ASSERT_EQ(prompts().size(), answers().size());
  WorkDir dir;
  const Outcome r = e2e::run(dir, join(answers()));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string want = expected("console.txt");
  EXPECT_TRUE(want == r.out) << e2e::first_difference(want, r.out);
  expect_session_files(dir, "session");
  EXPECT_TRUE(dir.exists("Result/Performance.out"));
  EXPECT_EQ(dir.read("Result/Performance.out"), "");
  EXPECT_FALSE(dir.exists("Temp/3dgeo.dat"));
}

// The same answers typed in other ways that free-form reading accepts give the same session.
TEST(Dialogue, OtherSpellingsOfTheSameAnswersGiveTheSameSession) {
  struct Spelling {
    const char* name;
    std::string (*spell)(const std::string&);
  };
  const Spelling spellings[] = {
      {"empty line first", [](const std::string& a) { return "\n" + a; }},
      {"comma list", [](const std::string& a) { return a + ", 99, 7"; }},
      {"repeat count", [](const std::string& a) { return "3*" + a; }},
      {"tabs and a slash", [](const std::string& a) { return "\t" + a + "\t/ 5"; }},
      {"CR LF", [](const std::string& a) { return a + "\r"; }},
  };
  const std::string want = expected("console.txt");
  for (const Spelling& s : spellings) {
    std::vector<std::string> lines;
    for (const auto& a : answers()) lines.push_back(s.spell(a));
    WorkDir dir;
    const Outcome r = e2e::run(dir, join(lines));
    EXPECT_EQ(r.status, 0) << s.name << ": " << r.err;
    EXPECT_TRUE(want == r.out) << s.name << ": " << e2e::first_difference(want, r.out);
    expect_session_files(dir, s.name);
  }
}

// "/" leaves the value as it was: a kept value that is allowed gives the same session, a
// value never set is asked again, and the first menu choice left at 0 stops the program.
TEST(Dialogue, SlashKeepsTheValueItHad) {
  const std::string console = expected("console.txt");
  {
    auto lines = answers();
    lines[4] = "/";   // pitchinitial keeps 0, which the session enters anyway
    lines[13] = "/";  // option 1's Umid keeps the 5 given at start-up
    WorkDir dir;
    const Outcome r = e2e::run(dir, join(lines));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(console == r.out) << e2e::first_difference(console, r.out);
    expect_session_files(dir, "slash kept");
  }
  {
    auto lines = answers();
    lines.insert(lines.begin(), "/");  // Numb was never set: 0 is refused, asked again
    WorkDir dir;
    const Outcome r = e2e::run(dir, join(lines));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string prompt = " Enter number of blades, Numb=";
    const std::string complaint =
        " Numb must be a whole number of at least 1; please enter it again.\r\n";
    std::string want = console;
    want.insert(want.find(prompt) + prompt.size(), complaint + prompt);
    EXPECT_TRUE(want == r.out) << e2e::first_difference(want, r.out);
    expect_session_files(dir, "slash refused");
  }
  {
    auto lines = answers();
    lines[10] = "/";  // the first menu choice keeps 0: stop
    lines.resize(11);
    WorkDir dir;
    const Outcome r = e2e::run(dir, join(lines));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string want = console_before_answer(console, 10);
    EXPECT_TRUE(want == r.out) << e2e::first_difference(want, r.out);
    EXPECT_EQ(dir.read("Result/Geometry.out"), expected("Result/Geometry.out"));
    EXPECT_EQ(dir.read("Result/Energy1.out"), "");
  }
}

// Answers that can only give nonsense are refused where they are given: one line saying what is
// allowed, the same prompt again, and the session then goes on exactly as with the good answer.
TEST(Dialogue, RefusedAnswersAreAskedAgainAndChangeNothing) {
  struct Refusal {
    std::size_t answer;              // index of the answer in the session
    std::vector<std::string> typed;  // refused, in this order, before the session's own answer
    std::string complaint;
  };
  const std::string positive = " must be greater than 0; please enter it again.";
  const std::string seal = " SeaL must be below 44307.69 m; please enter it again.";
  const std::vector<Refusal> refusals = {
      {8, {"-1", "-0.001"}, " delta must be 0 or more; please enter it again."},
      {11, {"0", "-3"}, " Ucin" + positive},  // option 1
      {12, {"3", "2", "-20"}, " Ucout must be greater than Ucin; please enter it again."},
      {15, {"44307.7", "1e6"}, seal},
      {17, {"-0"}, " Ucin" + positive},  // option 2
      {22, {"0", "-150"}, " omega1" + positive},
      {29, {"0"}, " omega" + positive},  // option 3
      {31, {"-1"}, " Ucin" + positive},  // option 4
      {32, {"1", "3"}, " Ucout must be greater than Ucin; please enter it again."},
      {35, {"50000"}, seal},
      {36, {"-200"}, " omega" + positive},
      {37, {"0", "-800"}, " MPL" + positive},
      {39, {"0", "-8"}, " U0" + positive},  // option 5
      {40, {"-6", "0"}, " Lambda" + positive},
      {46, {"2.5"}, " Ucout must be greater than Ucin; please enter it again."},  // Ucin 2.5
  };
  const std::vector<Prompt> p = prompts();
  const std::string console = expected("console.txt");
  std::vector<std::string> lines;
  std::string want;
  std::size_t r = 0;
  std::size_t shown = 0;  // console taken over into `want`
  const std::vector<std::string> session = answers();
  for (std::size_t k = 0; k < session.size(); ++k) {
    if (r < refusals.size() && refusals[r].answer == k) {
      const std::string upto = console_before_answer(console, k);
      want += upto.substr(shown);
      shown = upto.size();
      for (const std::string& typed : refusals[r].typed) {
        lines.push_back(typed);
        want += refusals[r].complaint + "\r\n" + p[k].marker;
      }
      ++r;
    }
    lines.push_back(session[k]);
  }
  ASSERT_EQ(r, refusals.size());
  want += console.substr(shown);
  WorkDir dir;
  const Outcome out = e2e::run(dir, join(lines));
  EXPECT_EQ(out.status, 0) << out.err;
  EXPECT_TRUE(want == out.out) << e2e::first_difference(want, out.out);
  expect_session_files(dir, "refused answers");
}

// Limits that are not refusals: a wall so thick that every inner outline closes up leaves a
// solid blade, and an altitude just below the one where the air's temperature reaches 0 K is
// computed. Neither is asked again.
TEST(Dialogue, ThickWallAndHighAltitudeAreAccepted) {
  const std::string design = "3\n0.15\n1.5\n2\n0\n1\n5\n";
  const std::string site = "1\n3\n20\n5\n10\n44307.69\n0\n";
  WorkDir solid;
  ASSERT_EQ(e2e::run(solid, design + "1\n1\n0\n").status, 0);
  WorkDir thick;
  const Outcome r = e2e::run(thick, design + "2\n10000\n1\n" + site);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("please enter it again"), std::string::npos) << r.out;
  EXPECT_EQ(thick.read("Result/Geometry.out"), solid.read("Result/Geometry.out"));
  const std::string energy = thick.read("Result/Energy1.out");
  EXPECT_NE(energy.find("Average energy production E ="), std::string::npos) << energy;
  EXPECT_EQ(energy.find("NaN"), std::string::npos) << energy;
}

// A file the run had written when it ended must be complete: the expected content or a part of
// it that ends where a sweep or the geometry ends.
void expect_complete_prefix(const WorkDir& dir, const std::string& file, const std::string& end,
                            const std::string& label) {
  const std::string full = expected(file);
  const std::string got = dir.read(file);
  EXPECT_EQ(full.compare(0, got.size(), got), 0) << label << ": " << file << " is not a prefix";
  if (!got.empty()) {
    EXPECT_TRUE(got.size() >= end.size() &&
                got.compare(got.size() - end.size(), end.size(), end) == 0)
        << label << ": " << file << " ends mid-way";
  }
}

// One unreadable answer at prompt k ends the run with status 2, the reader's message naming
// the answer, the console exactly as far as the prompt, and every file written so far complete.
class UnreadableAnswer : public testing::TestWithParam<std::size_t> {};

TEST_P(UnreadableAnswer, EndsTheRunCleanly) {
  const std::size_t k = GetParam();
  const Prompt prompt = prompts()[k];
  const std::string console = console_before_answer(expected("console.txt"), k);
  struct Kind {
    std::string text;  // what is typed; empty: the input ends here
    std::string message;
  };
  const std::string bad = prompt.integer ? "Bad integer for item 1 in list input"
                                         : "Bad real number in item 1 of list input";
  std::vector<Kind> kinds = {
      {"abc", bad}, {"1e999", bad}, {"nan", bad}, {"inf", bad}, {"", "End of file"}};
  if (prompt.integer) {
    kinds.push_back({k >= 10 ? "2147483648" : "9223372036854775808", bad});
    kinds.push_back({"2.5", bad});
  }
  for (const Kind& kind : kinds) {
    const std::string label = "answer " + std::to_string(k) + " typed as '" + kind.text + "'";
    auto lines = answers();
    lines.resize(k);
    if (!kind.text.empty()) lines.push_back(kind.text);
    WorkDir dir;
    const Outcome r = e2e::run(dir, join(lines));
    EXPECT_EQ(r.status, 2) << label;
    EXPECT_TRUE(console == r.out) << label << ": " << e2e::first_difference(console, r.out);
    EXPECT_NE(r.err.find(kind.message), std::string::npos) << label << ": " << r.err;
    if (prompt.marker != kMenuEnd) {
      std::string name = prompt.marker;
      while (name.front() == ' ') name.erase(0, 1);
      while (name.back() == ' ') name.pop_back();
      EXPECT_NE(r.err.find(name), std::string::npos) << label << ": " << r.err;
    }
    expect_complete_prefix(dir, "Result/Geometry.out", k >= 10 ? "kg\r\n" : "\r\n", label);
    for (const char* energy :
         {"Result/Energy1.out", "Result/Energy2.out", "Result/Energy3.out", "Result/Energy4.out"}) {
      expect_complete_prefix(dir, energy, "kW.h\r\n", label);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPrompt, UnreadableAnswer, testing::Range<std::size_t>(0, 51),
                         [](const testing::TestParamInfo<std::size_t>& answer) {
                           return "answer" + std::to_string(answer.param);
                         });

}  // namespace
