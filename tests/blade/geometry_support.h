// Helpers shared by the blade geometry tests: a private working directory, outline files written
// through the record writer, record readers and bit-exact comparison of doubles.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "blade/section.h"
#include "support/kit.h"
#include "support/records.h"
#include "textio/textio.h"

namespace geometry_test {

using namespace support::kit;

using support::records;

// The numbers of a free-form record (blank separated).
inline std::vector<double> numbers(const std::string& record) {
  std::istringstream in(record);
  std::vector<double> v;
  std::string word;
  while (in >> word) v.push_back(std::strtod(word.c_str(), nullptr));
  return v;
}

// An outline of two sets with x running evenly from 0 to 1 and y given per set.
template <class F1, class F2>
blade::Outline make_outline(F1 lower, F2 upper) {
  blade::Outline o;
  for (std::size_t j = 0; j < blade::kSetPoints; ++j) {
    const double x = static_cast<double>(j) / static_cast<double>(blade::kSetPoints - 1);
    o.x[0][j] = x;
    o.x[1][j] = x;
    o.y[0][j] = lower(x);
    o.y[1][j] = upper(x);
  }
  return o;
}

// Writes an outline as the aerofoil copy is laid out: set 1, an empty record, set 2, an empty
// record (each blank record optional).
inline void write_outline(const std::string& path, const blade::Outline& o,
                          bool blank_between = true, bool blank_after = true) {
  textio::OutFile out(path);
  for (std::size_t j = 0; j < blade::kSetPoints; ++j) out.write({o.x[0][j], o.y[0][j]});
  if (blank_between) out.write();
  for (std::size_t j = 0; j < blade::kSetPoints; ++j) out.write({o.x[1][j], o.y[1][j]});
  if (blank_after) out.write();
  out.close();
}

// Both outline working files with the same outline.
inline void write_working_outlines(const blade::Outline& o) {
  write_outline("Temp/ProfilI.dat", o);
  write_outline("Temp/Profil.dat", o);
}

// An aerofoil outline from the shipped data (100 records x y: set 1 then set 2).
inline blade::Outline shipped_outline(const std::string& name) {
  return blade::read_outline((fs::path(ROTORFORGE_SOURCE_DIR) / "Data" / name).string());
}

// The section operations on outline files, for the tests that check them record by record: the
// inner outline of Temp/ProfilI.dat at offset d written to Temp/Profil.dat, the perimeter and
// area of Temp/Profil.dat, and Temp/ProfilI.dat centred and turned for twist theta (degrees)
// written to Temp/3dgeo.dat.
inline void normala(double d) {
  blade::write_measured_outline(blade::inner_outline(blade::read_outline("Temp/ProfilI.dat"), d));
}
inline void perimeter(double& P) {
  P = blade::outline_perimeter(blade::read_outline("Temp/Profil.dat"));
}
inline void area(double& A) {
  A = blade::outline_area(blade::read_outline("Temp/Profil.dat"));
}
inline void geo3d(double theta) {
  const blade::Outline t = blade::turned_outline(blade::read_outline("Temp/ProfilI.dat"), theta);
  textio::OutFile out("Temp/3dgeo.dat");
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t j = 0; j < blade::kSetPoints; ++j) out.write({t.x[s][j], t.y[s][j]});
  }
  out.close();
}

// The blade-type and material menus as the console shows them.
inline const char* const kTypeMenu =
    "\r\n"
    "             Selection type of blade\r\n"
    "       =============================================\r\n"
    "       =           1 - Solid                       =\r\n"
    "       =           2 - Hollow                      =\r\n"
    "       =============================================\r\n"
    "           Please select an option by entering the\r\n"
    "            associated number followed by <return>.    \r\n";

inline const char* const kMaterialMenu =
    "\r\n"
    "             Selection of blade material\r\n"
    "       * * * * * * * * * * * * * * * * * * * * * * *\r\n"
    "       *           1 - Wood                        *\r\n"
    "       *           2 - Aluminium                   *\r\n"
    "       *           3 - S-Glass Fiber composite     *\r\n"
    "       *           4 - Carbon Fiber composite      * \r\n"
    "       *           5 - Polywood                    * \r\n"
    "       * * * * * * * * * * * * * * * * * * * * * * * \r\n"
    "           Please select an option by entering the\r\n"
    "            associated number followed by <return>.    \r\n";

// "(A18, f12.6, A15)" for a value that fits its field.
inline std::string result_line(const char* text, double v, const char* unit) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%18s%12.6f%15s", text, v, unit);
  return buf;
}

// A thin rectangular section of unit chord.
inline const blade::Outline& rectangle() {
  static const blade::Outline o =
      make_outline([](double) { return -0.05; }, [](double) { return 0.05; });
  return o;
}

}  // namespace geometry_test
