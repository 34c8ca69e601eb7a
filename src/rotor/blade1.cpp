#include "rotor/blade1.h"

#include "blade/laws.h"
#include "util/files.h"

namespace blade1 {

double chd(double x) {
  return blade::chord_law(blade::read_coeffs(files::kTrialChordLaw), x);
}

double t1(double x) {
  return blade::twist_law(blade::read_coeffs(files::kTrialTwistLaw), x);
}

void chortwist1(std::int64_t nbe, double rtip, double rhub, std::span<double> r, double& dr,
                std::span<double> twist, std::span<double> chord) {
  const double x_hub = rhub / rtip;
  dr = (1.0 - x_hub) / static_cast<double>(nbe);
  const std::size_t tip = static_cast<std::size_t>(nbe);
  chord[tip] = chd(1.0);
  twist[tip] = t1(1.0);
  for (std::size_t i = 0; i < tip; ++i) {
    r[i] = i == 0 ? x_hub + dr / 2.0 : r[i - 1] + dr;
    chord[i] = chd(r[i]);
    twist[i] = t1(r[i]);
  }
}

void chortwist1(std::int64_t nbe, double rtip, double rhub, const blade::Coeffs& a,
                const blade::Coeffs& b, std::span<double> r, double& dr, std::span<double> twist,
                std::span<double> chord) {
  const double x_hub = rhub / rtip;
  dr = (1.0 - x_hub) / static_cast<double>(nbe);
  const std::size_t tip = static_cast<std::size_t>(nbe);
  chord[tip] = blade::chord_law(a, 1.0);
  twist[tip] = blade::twist_law(b, 1.0);
  for (std::size_t i = 0; i < tip; ++i) {
    r[i] = i == 0 ? x_hub + dr / 2.0 : r[i - 1] + dr;
    chord[i] = blade::chord_law(a, r[i]);
    twist[i] = blade::twist_law(b, r[i]);
  }
}

}  // namespace blade1
