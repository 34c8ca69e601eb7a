// A polar table as a value: the tables of one section (seven Reynolds columns of angle, lift and
// drag), so that each element of a blade can have its own section. The lookup is the loaded
// tables' own (aerofoil.h), bit for bit, on these arrays.
#pragma once

#include <string>

#include "aerofoil/aerofoil.h"
#include "aerofoil/global.h"

namespace aerofoil {

struct Polar {
  float alpha[global::kColumns][global::kRows] = {};
  double cl[global::kColumns][global::kRows] = {};
  double cd[global::kColumns][global::kRows] = {};
  float re_log[global::kColumns] = {};
};

// The logarithms of the Reynolds columns as the loaded tables hold them: log10 in double,
// rounded to float.
void fill_re_log(float (&re_log)[global::kColumns]);

// The tables now loaded (global), as a value.
Polar loaded_polar();
// Makes `p` the loaded tables.
void load(const Polar& p);

// A round section (a cylinder across the flow): no lift at any angle, the drag coefficient cd at
// every angle and Reynolds number.
Polar cylinder_polar(double cd);

// A section of lift cl_per_degree * alpha and drag cd at every Reynolds number, for angles from
// first to last degree (kRows equally spaced angles) and held beyond them.
Polar linear_polar(double cl_per_degree, double cd, double first, double last);

inline ReBlend re_blend(const Polar& p, double re) noexcept {
  return re_blend_log(p.re_log, std::log10(re_held(re)));
}

inline void landd_blend(const Polar& p, const ReBlend& b, double alpha, double& cl,
                        double& cd) noexcept {
  double cl_hi, cd_hi, cl_lo, cd_lo;
  column_at(Column{p.alpha[b.k], p.cl[b.k], p.cd[b.k]}, global::kRows, alpha, cl_hi, cd_hi);
  column_at(Column{p.alpha[b.k - 1], p.cl[b.k - 1], p.cd[b.k - 1]}, global::kRows, alpha, cl_lo,
            cd_lo);
  cl = (1.0 - b.t) * cl_lo + cl_hi * b.t;
  cd = (1.0 - b.t) * cd_lo + cd_hi * b.t;
}

// landd on the tables of p: the same coefficients landd gives when p is loaded.
inline void landd(const Polar& p, double alpha, double re, double& cl, double& cd) noexcept {
  landd_blend(p, re_blend(p, re), alpha, cl, cd);
}

}  // namespace aerofoil
