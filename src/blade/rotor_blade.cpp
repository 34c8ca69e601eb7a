#include "blade/rotor_blade.h"

namespace blade {

Blade from_laws(std::int64_t Numb, std::int64_t nbe, double rtip, double rhub, double pitchinitial,
                const Coeffs& a, const Coeffs& b) {
  Blade blade;
  blade.Numb = Numb;
  blade.nbe = nbe;
  blade.rhub = rhub;
  blade.rtip = rtip;
  blade.setting = pitchinitial;
  const auto n = static_cast<std::size_t>(nbe < 0 ? 0 : nbe);
  blade.r.resize(n);
  blade.twist.resize(n + 1);
  blade.chord.resize(n + 1);
  blade.hub = blade_arrays(a, b, nbe, rtip, rhub, blade.r, blade.dr, blade.twist, pitchinitial,
                           blade.chord);
  return blade;
}

std::vector<Station> blade_stations(const Blade& b) {
  const std::size_t n = b.r.size();
  std::vector<Station> s;
  s.reserve(n + 2);
  s.push_back({b.rhub / b.rtip, b.rhub, b.hub.chord, b.hub.twist});
  for (std::size_t i = 0; i < n; ++i)
    s.push_back({b.r[i], b.r[i] * b.rtip, b.chord[i], b.twist[i]});
  s.push_back({1.0, b.rtip, b.chord[n], b.twist[n]});
  return s;
}

namespace {

double along(const Blade& b, double x, bool chord) {
  const std::size_t n = b.r.size();
  if (n == 0) return chord ? b.hub.chord : b.hub.twist;
  const double root = b.r.front() - element_width(b, 0) / 2.0;
  // Points: the root, the n centres, the tip (x = 1).
  const auto px = [&](std::size_t k) { return k == 0 ? root : k <= n ? b.r[k - 1] : 1.0; };
  const auto pv = [&](std::size_t k) {
    if (k == 0) return chord ? b.hub.chord : b.hub.twist;
    return chord ? b.chord[k - 1] : b.twist[k - 1];
  };
  if (x <= root) return pv(0);
  if (x >= 1.0) return pv(n + 1);
  std::size_t k = 1;
  while (k <= n && px(k) < x) ++k;
  const double t = (x - px(k - 1)) / (px(k) - px(k - 1));
  return (1.0 - t) * pv(k - 1) + t * pv(k);
}

}  // namespace

double chord_at(const Blade& b, double x) {
  return along(b, x, true);
}

double twist_at(const Blade& b, double x) {
  return along(b, x, false);
}

const Section* element_section(const Blade& b, std::size_t i) {
  if (b.sections.empty()) return nullptr;
  const std::size_t s = b.section.empty() ? 0 : b.section[i];
  return s < b.sections.size() ? &b.sections[s] : nullptr;
}

std::vector<const aerofoil::Polar*> element_polars(const Blade& b) {
  bool any = false;
  for (const Section& s : b.sections) any = any || s.polar != nullptr;
  if (!any) return {};
  std::vector<const aerofoil::Polar*> polars(b.r.size(), nullptr);
  for (std::size_t i = 0; i < polars.size(); ++i) {
    const Section* s = element_section(b, i);
    polars[i] = s != nullptr ? s->polar.get() : nullptr;
  }
  return polars;
}

}  // namespace blade
