// rotorforge-analyse as a whole: the command line's settings, the analysis of a blade file (and
// of its reshaped variant), the console summary and the files of Result/analysis/NAME/; the
// export of a session's blade.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "analyse/analysis.h"

namespace analyse_run {

namespace fs = std::filesystem;

// Exit statuses: done; bad input other than the blade file (a session that cannot be read, a
// file that cannot be written); a bad blade file or command line.
inline constexpr int kDone = 0;
inline constexpr int kBadInput = 1;
inline constexpr int kBadFile = 2;

inline constexpr const char* kOutputDir = "Result/analysis";

struct Options {
  fs::path dir = ".";  // working directory (Data/, Result/)
  std::optional<fs::path> blade_file;
  std::optional<fs::path> export_dir;  // --export [DIR]
  std::optional<fs::path> output;      // -o FILE
  std::optional<std::int64_t> blades;
  std::optional<std::int64_t> elements;
  double tsr_from = 1.0, tsr_to = 15.0, tsr_step = 0.25;
  std::vector<double> pitches{0.0};
  double wind = analysis::kCurveWind;
  std::optional<double> point_tsr;
  analysis::SiteSettings site;
  std::optional<double> weibull_k, weibull_mean, weibull_scale;
  std::optional<fs::path> efficiency_table;
  std::optional<double> resisting_torque;
  analysis::Reshape reshape;
  std::optional<fs::path> reshaped;  // where the reshaped blade file goes
};

// "FROM:TO:STEP" into the three numbers; false when it is not that.
bool parse_range(const std::string& text, double& from, double& to, double& step);

// The analysis of one blade.
struct Result {
  std::string name;
  blade_file::File file;
  blade::Blade blade;
  std::vector<double> tsrs;
  std::vector<analysis::CurvePoint> curve;
  analysis::CurvePoint best;
  analysis::ElementPoint elements;
  std::vector<analysis::Yield> yields;
  analysis::StartUp start;
  double rho = 0.0;
};

// Reads, cuts and analyses; throws blade_file::Error or std::runtime_error.
Result analyse(const blade_file::File& f, const std::string& name, const Options& o);

int run(const Options& o, std::ostream& out, std::ostream& err);

}  // namespace analyse_run
