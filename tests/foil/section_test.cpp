// Reading coordinate files in both common layouts and the NACA 4-digit designations; every kind
// of unreadable file gets its own clear message.
#include "foil/section.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using foil::Error;
using foil::read_section;

// A small symmetric section, listed in Selig order (trailing edge, upper side, nose, lower side,
// trailing edge): 11 points.
const char* const kSelig =
    "Test section\n"
    "1.0 0.0\n 0.75 0.03\n0.5 0.05\n  0.25 .06\n0.1 0.045\n0.0 0.0\n"
    "0.1 -0.045\n0.25 -.06\n0.5 -0.05\n0.75 -0.03\n1.0 0.0\n";

// The same section in Lednicer layout: counts, then each side from the nose to the tail.
const char* const kLednicer =
    "Test section\n"
    "6. 6.\n"
    "\n"
    "0.0 0.0\n0.1 0.045\n0.25 .06\n0.5 0.05\n0.75 0.03\n1.0 0.0\n"
    "\n"
    "0.0 0.0\n0.1 -0.045\n0.25 -.06\n0.5 -0.05\n0.75 -0.03\n1.0 0.0\n";

TEST(ReadSection, SeligAndLednicerGiveTheSamePointsInSeligOrder) {
  const foil::Section selig = read_section(kSelig);
  const foil::Section lednicer = read_section(kLednicer);
  EXPECT_FALSE(selig.lednicer);
  EXPECT_TRUE(lednicer.lednicer);
  EXPECT_EQ(selig.title, "Test section");
  EXPECT_EQ(lednicer.title, "Test section");
  ASSERT_EQ(selig.points.size(), 11u);
  ASSERT_EQ(lednicer.points.size(), 11u);  // the nose listed on both sides is taken once
  for (std::size_t i = 0; i < 11; ++i) {
    EXPECT_EQ(selig.points[i].x, lednicer.points[i].x) << i;
    EXPECT_EQ(selig.points[i].y, lednicer.points[i].y) << i;
  }
  // The number texts travel as written, for XFOIL to read the user's own numbers.
  EXPECT_EQ(selig.tokens[7], ".06");
  EXPECT_EQ(foil::selig_text(lednicer, "x").substr(0, 30), "Test section\n  1.0  0.0\n  0.75");
}

TEST(SeligText, AnticlockwiseForXfoilWithoutRepeatedPoints) {
  // Lower side first, and the nose listed twice: XFOIL gets the upper side first, the nose once.
  const char* const reversed =
      "Test section\n"
      "1.0 0.0\n 0.75 -0.03\n0.5 -0.05\n  0.25 -.06\n0.1 -0.045\n0.0 0.0\n0.0 0.0\n"
      "0.1 0.045\n0.25 .06\n0.5 0.05\n0.75 0.03\n1.0 0.0\n";
  const std::string want =
      "Test section\n  1.0  0.0\n  0.75  0.03\n  0.5  0.05\n  0.25  .06\n  0.1  0.045\n"
      "  0.0  0.0\n  0.1  -0.045\n  0.25  -.06\n  0.5  -0.05\n  0.75  -0.03\n  1.0  0.0\n";
  EXPECT_EQ(foil::selig_text(read_section(reversed), "x"), want);
  EXPECT_EQ(foil::selig_text(read_section(kSelig), "x"), want);
}

TEST(ReadSection, FileWithoutNameLineAndWithCrLf) {
  std::string text = kSelig;
  text = text.substr(text.find('\n') + 1);
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const foil::Section s = read_section(crlf);
  EXPECT_EQ(s.title, "");
  EXPECT_EQ(s.points.size(), 11u);
  EXPECT_EQ(foil::selig_text(s, "fallback").substr(0, 9), "fallback\n");
}

struct BadFile {
  const char* what;
  std::string text;
  const char* message;  // part of the one line shown
};

TEST(ReadSection, BadFilesGetOneClearLine) {
  const std::string body = std::string(kSelig).substr(std::string(kSelig).find('\n') + 1);
  const BadFile cases[] = {
      {"unreadable number", "name\n1.0 0.0\n0.5 O.05\n" + body, "line 3 is not a pair"},
      {"three numbers", "name\n1.0 0.0 0.0\n" + body, "line 2 is not a pair"},
      {"one number", "name\n" + body + "0.5\n", "line 13 is not a pair"},
      {"hexadecimal", "name\n0x1p0 0\n" + body, "line 2"},
      {"not finite", "name\n" + body + "nan 0\n", "line 13"},
      {"too few points", "name\n1 0\n0.5 0.05\n0 0\n0.5 -0.05\n1 0\n", "too few points: 5"},
      {"no points", "just a name\n\n", "no coordinates"},
      {"empty", "", "no coordinates"},
      {"counts that do not fit", "name\n6. 6.\n" + body, "say 6 + 6 points, the file holds 11"},
  };
  for (const BadFile& c : cases) {
    try {
      read_section(c.text);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Error& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find(c.message), std::string::npos) << c.what << ": " << m;
      EXPECT_EQ(m.find('\n'), std::string::npos) << c.what;
    }
  }
}

TEST(Naca4, Designations) {
  struct Case {
    const char* text;
    bool ok;
    int m, p, t;
  };
  const Case cases[] = {
      {"naca2412", true, 2, 4, 12}, {"NACA 4432", true, 4, 4, 32},    {"naca0012", true, 0, 0, 12},
      {"Naca6409", true, 6, 4, 9},  {"naca241", false, 0, 0, 0},      {"naca24120", false, 0, 0, 0},
      {"naca2o12", false, 0, 0, 0}, {"naca2012", false, 0, 0, 0},     {"naca0000", false, 0, 0, 0},
      {"clarky", false, 0, 0, 0},   {"naca2412.dat", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    foil::Naca4 n;
    EXPECT_EQ(foil::parse_naca4(c.text, n), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(n.m, c.m) << c.text;
      EXPECT_EQ(n.p, c.p) << c.text;
      EXPECT_EQ(n.t, c.t) << c.text;
    }
  }
}

TEST(FileName, KeepsOnlyWhatFileNamesTake) {
  EXPECT_EQ(foil::file_name_of("SG6043"), "sg6043");
  EXPECT_EQ(foil::file_name_of("NACA 4412 Airfoil"), "naca4412airfoil");
  EXPECT_EQ(foil::file_name_of("../etc/passwd"), "etcpasswd");
  EXPECT_EQ(foil::file_name_of("e387_mod-2"), "e387_mod-2");
  EXPECT_EQ(foil::file_name_of("!!!"), "");
  EXPECT_EQ(foil::file_name_of(std::string(60, 'a')).size(), 40u);
}

}  // namespace
