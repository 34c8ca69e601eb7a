// Helpers shared by the sweep and energy tests: bit comparison of doubles, a private working
// directory with the three plot files, polars loaded into namespace global, and a small blade.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "aerofoil/global.h"
#include "driver/sweep.h"

namespace sweep_test {

inline std::string describe(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a (%.17g)", v, v);
  return buf;
}

inline ::testing::AssertionResult same_bits(double actual, double expected) {
  if (std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "got " << describe(actual) << ", expected " << describe(expected);
}

// A fresh temporary directory with Temp/ (holding the plot files the main program creates at
// start-up) and Result/, the working directory while the object lives.
class WorkDir {
 public:
  WorkDir() : old_(std::filesystem::current_path()) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "rotorforge_sweep_XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = buf.data();
    std::filesystem::create_directory(dir_ / "Temp");
    std::filesystem::create_directory(dir_ / "Result");
    for (const char* name : {"graph.tmp", "graph1.tmp", "mpl.tmp"}) {
      std::ofstream(dir_ / "Temp" / name, std::ios::binary);
    }
    std::filesystem::current_path(dir_);
  }
  ~WorkDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

 private:
  std::filesystem::path old_;
  std::filesystem::path dir_;
};

inline std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Records of a file: split at LF; every record must end in CR LF.
inline std::vector<std::string> read_records(const std::filesystem::path& path) {
  const std::string text = read_text(path);
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) throw std::runtime_error("record without line end");
    if (end == start || text[end - 1] != '\r') throw std::runtime_error("record without CR");
    records.push_back(text.substr(start, end - 1 - start));
    start = end + 1;
  }
  return records;
}

// Fills column c (0 = lowest Reynolds number) with the angles -10 ... 35 degrees and the
// coefficients cl(c, angle), cd(c, angle).
template <class Cl, class Cd>
void load_polar_columns(Cl cl, Cd cd) {
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 0; j < global::kRows; ++j) {
      const double a = -10.0 + j;
      global::alpha_array[c][j] = static_cast<float>(a);
      global::cl_array[c][j] = cl(c, a);
      global::cd_array[c][j] = cd(c, a);
    }
    global::re_log[c] = static_cast<float>(std::log10(static_cast<double>(global::re_array[c])));
  }
}

// The same coefficients in all seven columns.
template <class Cl, class Cd>
void load_polar(Cl cl, Cd cd) {
  load_polar_columns([&](int, double a) { return cl(a); }, [&](int, double a) { return cd(a); });
}

// Lift growing with the angle (0.11 per degree), constant drag 0.01: a rotor that produces power.
inline void load_lifting_polar() {
  load_polar([](double a) { return 0.11 * a; }, [](double) { return 0.01; });
}

// A polar whose lift rises to a maximum at 12 degrees and then falls, with drag growing after
// it: a stalling rotor whose power levels off.
inline void load_stalling_polar() {
  load_polar([](double a) { return a <= 12.0 ? 0.11 * a : 1.32 - 0.05 * (a - 12.0); },
             [](double a) { return a <= 12.0 ? 0.01 : 0.01 + 0.03 * (a - 12.0); });
}

// No lift, only drag: every operating point has a negative power coefficient.
inline void load_drag_polar() {
  load_polar([](double) { return 0.0; }, [](double) { return 0.01; });
}

// Neither lift nor drag: every power coefficient is exactly 0.
inline void load_zero_polar() {
  load_polar([](double) { return 0.0; }, [](double) { return 0.0; });
}

// A three-bladed rotor of nbe elements from hub to tip, constant relative chord, twist falling
// linearly to 0 at the tip.
struct Blade {
  std::vector<double> r;
  std::vector<double> twist;
  std::vector<double> chord;
  driver::Rotor rotor{};

  Blade(std::int64_t nbe, double rhub, double rtip, double chord_rel = 0.08,
        double root_twist = 20.0) {
    const double x_hub = rhub / rtip;
    const double dr = (1.0 - x_hub) / static_cast<double>(nbe);
    double x = x_hub - dr / 2.0;
    for (std::int64_t i = 0; i < nbe; ++i) {
      x = x + dr;
      r.push_back(x);
      twist.push_back(root_twist * (1.0 - x));
      chord.push_back(chord_rel);
    }
    twist.push_back(0.0);
    chord.push_back(chord_rel);
    rotor = driver::Rotor{3, nbe, rhub, rtip, dr, r, twist, chord};
  }
  Blade(const Blade&) = delete;
  Blade& operator=(const Blade&) = delete;
};

}  // namespace sweep_test
