// Helpers shared by the tests of the laws, the trial blade and the optimiser: bit-exact
// comparison of doubles, a private working directory, coefficient files and a synthetic polar.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "aerofoil/global.h"

namespace design_test {

namespace fs = std::filesystem;

inline std::string describe(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a (%.17g)", v, v);
  return buf;
}

// Same bits.
inline ::testing::AssertionResult same_bits(double actual, double expected) {
  if (std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "got " << describe(actual) << ", expected " << describe(expected);
}

// A fresh temporary directory holding Temp/ and Result/, the working directory for the lifetime
// of the object. Every test process gets its own path.
class WorkDir {
 public:
  WorkDir() : old_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "rotorforge_design_XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = buf.data();
    fs::create_directory(dir_ / "Temp");
    fs::create_directory(dir_ / "Result");
    fs::current_path(dir_);
  }
  ~WorkDir() {
    std::error_code ec;
    fs::current_path(old_, ec);
    fs::remove_all(dir_, ec);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const fs::path& path() const { return dir_; }

 private:
  fs::path old_;
  fs::path dir_;
};

inline void write_text(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Five coefficients as a file of one line, with 17 significant digits (reads back exactly).
inline void write_coeffs(const fs::path& path, const std::array<double, 5>& c) {
  char buf[256];
  std::snprintf(buf, sizeof buf, " %.17g %.17g %.17g %.17g %.17g\r\n", c[0], c[1], c[2], c[3],
                c[4]);
  write_text(path, buf);
}

// The polar of the solver's worked example: in all seven columns the angles -10 ... 35 degrees,
// lift 0.11 per degree, drag 0.01; re_log as the loader leaves it.
inline void load_linear_polar() {
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 0; j < global::kRows; ++j) {
      const double angle = -10.0 + j;
      global::alpha_array[c][j] = static_cast<float>(angle);
      global::cl_array[c][j] = 0.11 * angle;
      global::cd_array[c][j] = 0.01;
    }
    global::re_log[c] = static_cast<float>(std::log10(static_cast<double>(global::re_array[c])));
  }
}

}  // namespace design_test
