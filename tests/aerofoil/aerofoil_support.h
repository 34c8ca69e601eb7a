// Helpers shared by the aerofoil tests: bit-exact comparison of doubles, a private working
// directory, and table fillers for the polar held in namespace global.
#pragma once

#include <gtest/gtest.h>

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

namespace aerofoil_test {

inline std::string describe(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a (%.17g)", v, v);
  return buf;
}

// Same bits, or both NaN.
inline ::testing::AssertionResult same_bits(double actual, double expected) {
  if (std::isnan(actual) && std::isnan(expected)) return ::testing::AssertionSuccess();
  if (std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "got " << describe(actual) << ", expected " << describe(expected);
}

// A fresh temporary directory holding Temp/ and Result/, made the working directory for the
// lifetime of the object. Each test process gets its own path.
class WorkDir {
 public:
  WorkDir() : old_(std::filesystem::current_path()) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "rotorforge_aerofoil_";
    if (info != nullptr) name += std::string(info->test_suite_name()) + "_" + info->name() + "_";
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = buf.data();
    std::filesystem::create_directory(dir_ / "Temp");
    std::filesystem::create_directory(dir_ / "Result");
    std::filesystem::create_directory(dir_ / "Data");
    std::filesystem::current_path(dir_);
  }
  ~WorkDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path old_;
  std::filesystem::path dir_;
};

inline void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Records of a file: split at LF, a CR before it dropped; a final line without LF counts too.
inline std::vector<std::string> read_records(const std::filesystem::path& path) {
  const std::string text = read_text(path);
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string record = text.substr(start, end - start);
    if (!record.empty() && record.back() == '\r') record.pop_back();
    records.push_back(record);
    start = end + 1;
  }
  return records;
}

// re_log as the loader leaves it: the double logarithm rounded to float.
inline void load_re_log() {
  for (int i = 0; i < global::kColumns; ++i) {
    global::re_log[i] = static_cast<float>(std::log10(static_cast<double>(global::re_array[i])));
  }
}

// A polar shaped like the shipped ones: -10 ... 35 degrees in 1-degree steps, every column shifted
// by a quarter degree per column so that a mixed-up column index shows, and coefficients that
// differ in every row and column.
inline void load_synthetic_polar() {
  for (int c = 0; c < global::kColumns; ++c) {
    for (int j = 0; j < global::kRows; ++j) {
      const double a = -10.0 + j + 0.25 * c;
      global::alpha_array[c][j] = static_cast<float>(a);
      global::cl_array[c][j] = 0.11 * a * (1.0 + 0.05 * c) / (1.0 + 0.0015 * a * a) + 0.3;
      global::cd_array[c][j] = 0.008 + 0.0004 * a * a / (1.0 + 0.1 * c) + 0.001 * c;
    }
  }
  load_re_log();
}

}  // namespace aerofoil_test
