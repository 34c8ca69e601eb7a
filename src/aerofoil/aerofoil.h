// Lift and drag coefficients of the loaded aerofoil at any angle of attack and Reynolds number:
// linear in log10(Re) between neighbouring columns, linear in the angle within a column, held at
// the table's edges.
//
// landd is the innermost operation of the program (once per blade element and solver iteration),
// so everything here is inline, allocates nothing and does no I/O. It reads only the tables of
// namespace global, which data_in::file_read must have loaded.
//
// Precision rules the results depend on, bit for bit:
//  * The table angles and re_log are floats; they are widened to double unchanged and every
//    comparison and difference is made in double.
//  * L = log10(Re) is a double, so a Reynolds number equal to a column's own value does not pick
//    that column exactly (42000 blends columns 0 and 1 with t = 7.99e-7).
//  * Both blends weight the lower entry by (1 - t) and the upper one by t, each product rounded
//    on its own: (1 - t)*lower + upper*t, never lower + t*(upper - lower), which rounds
//    differently.
//
// Not-a-number inputs: a NaN angle or Reynolds number gives NaN coefficients; the column index
// stays within 1..6 (0-based upper column) and the row index within 1..n-1, so no table is read
// out of bounds.
//
// Building blocks for callers that evaluate many angles at one Reynolds number (the solver, the
// base-design search), all bit-identical to landd:
//  * re_blend(re) -> {k, t}: the column pair and its weight, computed once per Reynolds number
//    (it holds the one logarithm of the lookup).
//  * landd_blend(blend, alpha, cl, cd): landd for a precomputed blend.
//  * landd_blend_from(blend, alpha, row, cl, cd): the same with a row search that starts from
//    `row`, the row found by the previous call, and updates it. Identical to landd whenever the
//    angles of both columns never decrease (angles_nondecreasing()); the shipped polars satisfy
//    this. For any other table use landd_blend.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "aerofoil/global.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace aerofoil {

// Columns of the polar to blend for one Reynolds number: the result is
// (1 - t) * column[k - 1] + column[k] * t, with k a 0-based column index, 1 <= k <= 6 (the
// column pair is k-1, k).
struct ReBlend {
  int k;
  double t;
};

// The first step of re_blend: the Reynolds number held within re_array[0] ... re_array[6].
inline double re_held(double re) noexcept {
  double r = re;
  if (r < static_cast<double>(global::re_array[0])) {
    r = static_cast<double>(global::re_array[0]);
  } else if (r > static_cast<double>(global::re_array[global::kColumns - 1])) {
    r = static_cast<double>(global::re_array[global::kColumns - 1]);
  }
  return r;
}

// The rest of re_blend, from l = log10(re_held(re)). Split off for callers that overlap the
// logarithm with other work.
inline ReBlend re_blend_log(const float* re_log, double l) noexcept {
  int k = 1;
  while (k < global::kColumns - 1 && static_cast<double>(re_log[k]) < l) ++k;
  const double lo = static_cast<double>(re_log[k - 1]);
  const double hi = static_cast<double>(re_log[k]);
  return ReBlend{k, (l - lo) / (hi - lo)};
}

inline ReBlend re_blend_log(double l) noexcept {
  return re_blend_log(global::re_log, l);
}

// Column pair and weight for Reynolds number re. The number is held within re_array[0] ...
// re_array[6] (strict tests at both ends), then the upper column is the first from index 1 whose
// re_log is not below log10(re). Because re_log[6] (a float) lies above the double logarithm of
// 2400000, the search would stop at 6 anyway; the explicit bound keeps a NaN or an unloaded
// re_log within the table.
inline ReBlend re_blend(double re) noexcept {
  return re_blend_log(std::log10(re_held(re)));
}

// Interpolation within one column (0-based `col`) once the upper row `k` (0-based, 1 <= k <= n-1)
// of the interval holding alpha is known.
// One column of any table: its angles, lift and drag coefficients (kRows entries each).
struct Column {
  const float* a;
  const double* cl;
  const double* cd;
};

inline void blend_rows(const Column& c, int k, double alpha, double& cl, double& cd) noexcept {
  const double a0 = static_cast<double>(c.a[k - 1]);
  const double a1 = static_cast<double>(c.a[k]);
  const double t = (alpha - a0) / (a1 - a0);
  cl = c.cl[k] * t + (1.0 - t) * c.cl[k - 1];
  cd = c.cd[k] * t + (1.0 - t) * c.cd[k - 1];
}

inline Column loaded_column(int col) noexcept {
  return {global::alpha_array[col], global::cl_array[col], global::cd_array[col]};
}

inline void blend_rows(int col, int k, double alpha, double& cl, double& cd) noexcept {
  blend_rows(loaded_column(col), k, alpha, cl, cd);
}

// The first row k from 1 with alpha < a[k] (strict, in double), stopping at n - 1 when none is
// found (only a NaN angle gets that far once alpha < a[n - 1] is known). Valid for any order of
// the angles.
//
// With SSE2 four angles are tested at once in single precision, which gives the same answer:
// with u the smallest float not below alpha, a float a lies above alpha exactly when u < a (alpha
// itself a float) or u <= a (alpha between two floats: no float lies between alpha and u). The
// vector path is taken only for an alpha within the float range (a NaN takes the scalar path).
inline int first_row_above(const float* a, int n, double alpha) noexcept {
  int k = 1;
#if defined(__SSE2__)
  if (std::fabs(alpha) <= static_cast<double>(std::numeric_limits<float>::max())) {
    float u = static_cast<float>(alpha);
    const bool exact = static_cast<double>(u) == alpha;
    if (!exact && static_cast<double>(u) < alpha) {
      u = std::nextafter(u, std::numeric_limits<float>::infinity());
    }
    const __m128 uv = _mm_set1_ps(u);
    for (; k + 4 <= n - 1; k += 4) {
      const __m128 av = _mm_loadu_ps(a + k);
      const int mask = _mm_movemask_ps(exact ? _mm_cmplt_ps(uv, av) : _mm_cmple_ps(uv, av));
      if (mask != 0) return k + __builtin_ctz(static_cast<unsigned>(mask));
    }
  }
#endif
  while (k < n - 1 && !(alpha < static_cast<double>(a[k]))) ++k;
  return k;
}

// Values outside the table are held at its edges: below the first angle the first row, at or
// above the last angle the last row. Returns false (and leaves cl, cd) for an angle inside.
inline bool held_at_edge(const Column& c, int n, double alpha, double& cl, double& cd) noexcept {
  if (alpha < static_cast<double>(c.a[0])) {
    cl = c.cl[0];
    cd = c.cd[0];
    return true;
  }
  if (alpha >= static_cast<double>(c.a[n - 1])) {
    cl = c.cl[n - 1];
    cd = c.cd[n - 1];
    return true;
  }
  return false;
}

inline bool held_at_edge(int col, int n, const float*, double alpha, double& cl,
                         double& cd) noexcept {
  return held_at_edge(loaded_column(col), n, alpha, cl, cd);
}

// column_at on any column of n rows.
inline void column_at(const Column& c, int n, double alpha, double& cl, double& cd) noexcept {
  if (held_at_edge(c, n, alpha, cl, cd)) return;
  blend_rows(c, first_row_above(c.a, n, alpha), alpha, cl, cd);
}

// Column `col` (0-based) at angle alpha, degrees. Below the first angle the first row, at or above
// the last angle the last row, otherwise the first row from index 1 whose angle lies above alpha
// (strictly) closes the interval. An angle equal to a table angle gives that row exactly. The scan
// stops at the last row, which only a NaN angle reaches without the test succeeding.
inline void column_at(int col, double alpha, double& cl, double& cd) noexcept {
  column_at(loaded_column(col), global::num_alpha[col], alpha, cl, cd);
}

// As column_at, but the row search starts at `row` (any value; it is clamped to 1 ... n-1) and
// leaves there the upper row of the interval found. Gives column_at's result whenever the
// column's angles never decrease, whatever the starting row.
inline void column_at_from(int col, double alpha, int& row, double& cl, double& cd) noexcept {
  const int n = global::num_alpha[col];
  const float* a = global::alpha_array[col];
  if (held_at_edge(col, n, a, alpha, cl, cd)) return;
  int k = row < 1 ? 1 : (row > n - 1 ? n - 1 : row);
  if (alpha < static_cast<double>(a[k])) {
    while (k > 1 && alpha < static_cast<double>(a[k - 1])) --k;
  } else {
    while (k < n - 1 && !(alpha < static_cast<double>(a[k]))) ++k;
  }
  row = k;
  blend_rows(col, k, alpha, cl, cd);
}

// landd for a precomputed column pair.
inline void landd_blend(const ReBlend& b, double alpha, double& cl, double& cd) noexcept {
  double cl_hi, cd_hi, cl_lo, cd_lo;
  column_at(b.k, alpha, cl_hi, cd_hi);
  column_at(b.k - 1, alpha, cl_lo, cd_lo);
  cl = (1.0 - b.t) * cl_lo + cl_hi * b.t;
  cd = (1.0 - b.t) * cd_lo + cd_hi * b.t;
}

// landd for a precomputed column pair, with the row search of both columns starting at `row`
// (in/out; start with any value, e.g. 1). Identical to landd_blend when the angles of both
// columns never decrease.
inline void landd_blend_from(const ReBlend& b, double alpha, int& row, double& cl,
                             double& cd) noexcept {
  double cl_hi, cd_hi, cl_lo, cd_lo;
  int lo_row = row;
  column_at_from(b.k, alpha, row, cl_hi, cd_hi);
  column_at_from(b.k - 1, alpha, lo_row, cl_lo, cd_lo);
  cl = (1.0 - b.t) * cl_lo + cl_hi * b.t;
  cd = (1.0 - b.t) * cd_lo + cd_hi * b.t;
}

// True when no column's angles decrease from one row to the next (equal neighbours allowed), the
// condition under which the *_from variants match landd. Check once after loading the tables.
inline bool angles_nondecreasing() noexcept {
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 1; j < global::num_alpha[i]; ++j) {
      if (!(global::alpha_array[i][j - 1] <= global::alpha_array[i][j])) return false;
    }
  }
  return true;
}

// alpha in degrees, re the Reynolds number; cl and cd receive the coefficients.
inline void landd(double alpha, double re, double& cl, double& cd) noexcept {
  landd_blend(re_blend(re), alpha, cl, cd);
}

// Column i (1 ... 7) at angle alpha (degrees).
inline void interp(std::int32_t i, double alpha, double& cl, double& cd) noexcept {
  column_at(i - 1, alpha, cl, cd);
}

}  // namespace aerofoil
