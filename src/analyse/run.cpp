#include "analyse/run.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "analyse/export.h"
#include "analyse/report.h"
#include "companion/whole_file.h"
#include "performance/energy.h"
#include "util/number_text.h"

namespace analyse_run {

using number_text::fixed;

bool parse_range(const std::string& text, double& from, double& to, double& step) {
  double v[3];
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t end = i < 2 ? text.find(':', start) : text.size();
    if (end == std::string::npos) return false;
    const std::string part = text.substr(start, end - start);
    char* stop = nullptr;
    errno = 0;
    v[i] = std::strtod(part.c_str(), &stop);
    if (part.empty() || *stop != '\0' || errno != 0 || !std::isfinite(v[i])) return false;
    start = end + 1;
  }
  from = v[0];
  to = v[1];
  step = v[2];
  return step > 0.0 && to >= from;
}

namespace {

// Efficiency against rotor power: lines "power,efficiency" (W, fraction), power rising; '#'
// starts a comment.
std::vector<std::pair<double, double>> read_efficiency(const fs::path& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error(path.string() + ": cannot be read");
  std::vector<std::pair<double, double>> t;
  std::string line;
  for (long n = 1; std::getline(in, line); ++n) {
    if (const auto h = line.find('#'); h != std::string::npos) line.erase(h);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream s(line);
    double p = 0.0, e = 0.0;
    std::string rest;
    if (!(s >> p >> e) || (s >> rest) || !std::isfinite(p) || !std::isfinite(e) || !(e > 0.0) ||
        e > 1.0 || (!t.empty() && !(p > t.back().first))) {
      throw std::runtime_error(path.string() + ":" + std::to_string(n) +
                               ": want \"power_W,efficiency\" with power rising and 0 < "
                               "efficiency <= 1");
    }
    t.push_back({p, e});
  }
  if (t.empty()) throw std::runtime_error(path.string() + ": no efficiency in the table");
  return t;
}

fs::path data_dir(const Options& o) {
  return o.dir / "Data";
}

std::string stem_of(const fs::path& p) {
  return p.stem().string();
}

}  // namespace

Result analyse(const blade_file::File& f, const std::string& name, const Options& o) {
  Result r;
  r.name = name;
  r.file = f;
  const std::int64_t n = o.elements.value_or(f.elements.value_or(blade_file::kDefaultElements));
  r.blade = blade_file::cut(f, n, data_dir(o));
  r.tsrs = analysis::ratio_range(o.tsr_from, o.tsr_to, o.tsr_step);
  r.curve = analysis::curve(r.blade, o.wind, r.tsrs, o.pitches);
  r.best = r.curve.empty() ? analysis::CurvePoint{} : r.curve.front();
  for (const auto& p : r.curve) {
    if (p.cp > r.best.cp) r.best = p;
  }
  const double at = o.point_tsr.value_or(r.best.tsr);
  const double pitch = o.point_tsr ? o.pitches.front() : r.best.pitch;
  r.elements.U = o.wind;
  r.elements.tsr = at;
  r.elements.pitch = pitch;
  r.elements.cp = analysis::curve_point(r.blade, o.wind, at, pitch, &r.elements.states).cp;
  r.yields = analysis::yields(r.blade, o.site);
  r.rho = energy::air_density(o.site.site.SeaL);
  r.start = analysis::start_up(r.blade, r.rho, o.resisting_torque);
  return r;
}

int run(const Options& given, std::ostream& out, std::ostream& err) {
  Options o = given;
  try {
    if (o.export_dir) {
      if (!o.output) {
        err << "rotorforge-analyse: --export needs -o FILE, the blade file to write\n";
        return kBadFile;
      }
      const blade_file::File f = analyse_export::session_blade(*o.export_dir, o.blades);
      fs::path from = fs::absolute(*o.export_dir).lexically_normal();
      if (from.filename().empty()) from = from.parent_path();
      whole_file::write(*o.output, blade_file::text(f, "blade of the rotorforge session in " +
                                                           from.string() + ", at full precision"));
      out << "wrote " << o.output->string() << " (" << f.stations.size() << " stations, "
          << *f.elements << " elements, section " << f.stations.front().section << ")\n";
      return kDone;
    }
    if (!o.blade_file) {
      err << "rotorforge-analyse: give a blade file (or --export); see --help\n";
      return kBadFile;
    }
    // Site values beyond the core's.
    auto& s = o.site;
    if (o.efficiency_table) s.drivetrain.table = read_efficiency(*o.efficiency_table);
    if (o.weibull_k) {
      s.wind.weibull = true;
      s.wind.k = *o.weibull_k;
      // Mean or scale given at 10 m, brought to hub height by the core's log profile (it scales
      // every speed alike).
      s.wind.c =
          o.weibull_scale
              ? energy::hub_wind(*o.weibull_scale, s.site.h)
              : analysis::weibull_scale(
                    *o.weibull_k, energy::hub_wind(o.weibull_mean.value_or(s.site.Umid), s.site.h));
    }

    const blade_file::File f = blade_file::read(*o.blade_file, data_dir(o));
    const std::string name = stem_of(*o.blade_file);
    std::optional<Result> reshaped;
    std::optional<fs::path> reshaped_path;
    blade_file::File g;
    if (o.reshape.any()) {
      try {
        g = analysis::reshape(f, o.reshape);
      } catch (const std::invalid_argument& e) {
        err << "rotorforge-analyse: " << e.what() << '\n';
        return kBadFile;
      }
    }
    const Result base = analyse(f, name, o);
    if (o.reshape.any()) {
      reshaped = analyse(g, name + "-reshaped", o);
    }
    const fs::path to = o.dir / kOutputDir / name;
    std::error_code ec;
    fs::create_directories(to, ec);
    if (ec) throw std::runtime_error(to.string() + ": cannot be created: " + ec.message());
    fs::path reshaped_shown;
    if (reshaped) {
      reshaped_shown = o.reshaped.value_or(fs::path(kOutputDir) / name / (name + "-reshaped.toml"));
      reshaped_path = o.reshaped ? *o.reshaped : to / (name + "-reshaped.toml");
      whole_file::write(*reshaped_path, blade_file::text(g, o.blade_file->filename().string() +
                                                                " reshaped for making"));
    }
    analyse_report::print_summary(base, reshaped ? &*reshaped : nullptr, o, out);
    if (reshaped_path) out << "wrote " << reshaped_shown.string() << '\n';
    analyse_report::write_outputs(base, reshaped ? &*reshaped : nullptr, o, to, out);
    return kDone;
  } catch (const blade_file::Error& e) {
    for (const std::string& p : e.problems()) err << p << '\n';
    return kBadFile;
  } catch (const std::exception& e) {
    err << "rotorforge-analyse: " << e.what() << '\n';
    return kBadInput;
  }
}

}  // namespace analyse_run
