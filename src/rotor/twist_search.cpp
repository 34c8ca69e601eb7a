#include "rotor/twist_search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "aerofoil/aerofoil.h"
#include "aerofoil/global.h"

namespace twist_search {
namespace {

// Twice the rounding margin E of a lift or drag blended from table values of magnitude at most
// `sum` in total, with column weights of magnitude w in total: 512 units of rounding (2^-44) of
// w * sum, about fifty times the worst case of the lookup's few operations, plus an absolute
// floor far above the rounding of subnormal values.
constexpr double margin2(double w, double sum) {
  return 2.0 * w * sum * 0x1p-44 + 0x1p-1000;
}
// Relative allowance for the rounding of a bound's own division and products.
constexpr double kBoundSlack = 1.0 + 0x1p-40;

// Twist candidates, degrees: m (40 - (-5)) / 1000 + (-5), evaluated once with the same double
// operations (compile-time floating point rounds as the run-time operations do).
constexpr std::array<double, kCandidates> make_twists() {
  std::array<double, kCandidates> t{};
  for (int m = 1; m <= kCandidates; ++m) {
    t[m - 1] = static_cast<double>(m) * (40.0 - (-5.0)) / 1000.0 + (-5.0);
  }
  return t;
}
constexpr std::array<double, kCandidates> kTwists = make_twists();

// The literal search looks up 1000 candidates one by one. Two facts make most of that work
// unnecessary without changing a bit of the result:
//  * The Reynolds number, and with it the pair of polar columns and their weight t, is the same
//    for all candidates of one balance iteration: one re_blend instead of 1000 logarithms.
//  * The angle of attack phideg - twist(m) falls monotonically with m, so the candidates split
//    into runs ("segments") in which both columns interpolate between the same two rows, or are
//    held at the same edge row. On a segment the exact lift L and drag D are affine in the angle.
// The lookup's few roundings keep the computed lift and drag within E of L and D (margin2). Where
// D - E > 0, (L + E) / (D - E) is a ratio of affine functions, hence monotone over the segment,
// and it bounds every computed ratio there, so its values at the segment's two ends bound the
// whole segment. A segment whose bound lies below the best ratio found so far cannot hold the
// best candidate and is skipped; the others are evaluated with the lookup's own operations. The
// result (the largest ratio above 0, the first candidate reaching it, its lift and drag) does not
// depend on the order in which candidates are evaluated, so the most promising segment goes
// first.

// One column over one segment: interpolation between rows k-1 and k, or a held edge row.
struct ColPiece {
  bool interp = false;
  double a0 = 0.0;                                    // angle of row k-1
  double da = 0.0;                                    // angle of row k minus angle of row k-1
  double cl0 = 0.0, cl1 = 0.0, cd0 = 0.0, cd1 = 0.0;  // rows k-1 and k (held: both the edge row)
};

// The operations of aerofoil::blend_rows, or the held edge row.
inline void eval_piece(const ColPiece& p, double alpha, double& cl, double& cd) {
  if (p.interp) {
    const double t = (alpha - p.a0) / p.da;
    cl = p.cl1 * t + (1.0 - t) * p.cl0;
    cd = p.cd1 * t + (1.0 - t) * p.cd0;
  } else {
    cl = p.cl0;
    cd = p.cd0;
  }
}

// Row state of a column at an angle, for a column whose angles never decrease: 0 below the first
// angle (row 0 held), n at or above the last (row n-1 held), otherwise the k with
// A[k-1] <= alpha < A[k], the row the lookup's search finds.
int state_of(int col, double alpha) {
  const int n = global::num_alpha[col];
  const float* A = global::alpha_array[col];
  if (alpha < static_cast<double>(A[0])) return 0;
  if (alpha >= static_cast<double>(A[n - 1])) return n;
  int k = 1;
  while (k < n - 1 && !(alpha < static_cast<double>(A[k]))) ++k;
  return k;
}

ColPiece make_piece(int col, int state) {
  const int n = global::num_alpha[col];
  ColPiece p;
  if (state <= 0 || state >= n) {
    const int row = state <= 0 ? 0 : n - 1;
    p.cl0 = p.cl1 = global::cl_array[col][row];
    p.cd0 = p.cd1 = global::cd_array[col][row];
    return p;
  }
  p.interp = true;
  p.a0 = static_cast<double>(global::alpha_array[col][state - 1]);
  p.da = static_cast<double>(global::alpha_array[col][state]) - p.a0;
  p.cl0 = global::cl_array[col][state - 1];
  p.cl1 = global::cl_array[col][state];
  p.cd0 = global::cd_array[col][state - 1];
  p.cd1 = global::cd_array[col][state];
  return p;
}

inline double candidate_angle(double phideg, int m) {
  return phideg - kTwists[m - 1];
}

// First candidate m >= m_lo whose angle lies below thr (kCandidates + 1 if none), given that
// candidate m_lo - 1 does not. A linear estimate from the 0.045 degree spacing, corrected by
// stepping, since the candidate angles never increase with m.
int first_below(double phideg, double thr, int m_lo) {
  const double est = (phideg - thr + 5.0) / 0.045;
  int m;
  if (!(est < static_cast<double>(kCandidates))) {
    m = kCandidates + 1;
  } else if (!(est > static_cast<double>(m_lo))) {
    m = m_lo;
  } else {
    m = static_cast<int>(est) + 1;
  }
  while (m > m_lo && candidate_angle(phideg, m - 1) < thr) --m;
  while (m <= kCandidates && !(candidate_angle(phideg, m) < thr)) ++m;
  return m;
}

// Where a column changes rows along the candidates: state[i] holds from candidate start[i] on.
struct ColumnRuns {
  int count = 0;
  std::array<int, global::kRows + 2> start{};
  std::array<int, global::kRows + 2> state{};
};

void column_runs(int col, double phideg, ColumnRuns& runs) {
  const int n = global::num_alpha[col];
  const float* A = global::alpha_array[col];
  int m = 1;
  int s = state_of(col, candidate_angle(phideg, 1));
  runs.count = 0;
  runs.start[runs.count] = m;
  runs.state[runs.count++] = s;
  while (s > 0) {
    // The state is left when the angle drops below the lower end of its interval.
    const double thr = static_cast<double>(s == n ? A[n - 1] : A[s - 1]);
    m = first_below(phideg, thr, m + 1);
    if (m > kCandidates) break;
    const double alpha = candidate_angle(phideg, m);
    int k = s == n ? n - 1 : s - 1;
    while (k >= 1 && alpha < static_cast<double>(A[k - 1])) --k;
    s = k;
    runs.start[runs.count] = m;
    runs.state[runs.count++] = s;
  }
}

struct Segment {
  int m0, m1;  // first and last candidate
  ColPiece hi, lo;
  double bound;  // no candidate's ratio exceeds it
  bool done;
};

// Keeps candidate m if its ratio is above the best so far, or equal to it with a smaller m: in
// whatever order the candidates come, the result is the largest ratio above 0 and the first
// candidate reaching it. A NaN ratio is never kept.
inline void consider(Best& best, int m, double cl, double cd) {
  const double q = cl / cd;
  if (q > best.ratio || (q == best.ratio && best.m != 0 && m < best.m)) best = {m, q, cl, cd};
}

struct Search {
  double phideg;
  double t, omt;  // column weight and 1 - t, as landd forms them
  Best best;

  void consider(int m, double cl, double cd) { twist_search::consider(best, m, cl, cd); }

  void eval(const Segment& s, int m, double& cl, double& cd) const {
    const double alpha = candidate_angle(phideg, m);
    double cl_hi, cd_hi, cl_lo, cd_lo;
    eval_piece(s.hi, alpha, cl_hi, cd_hi);
    eval_piece(s.lo, alpha, cl_lo, cd_lo);
    cl = omt * cl_lo + cl_hi * t;
    cd = omt * cd_lo + cd_hi * t;
  }

  void eval_interior(const Segment& s) {
    for (int m = s.m0 + 1; m < s.m1; ++m) {
      double cl, cd;
      eval(s, m, cl, cd);
      consider(m, cl, cd);
    }
  }
};

// Bound on the computed ratio over a segment from its end candidates' lift (l0, l1) and drag
// (d0, d1). Each of the lookup's interpolations is within a few units of rounding of the exact,
// affine value, relative to the table values involved; E_l, E_d take 512 units of rounding
// (2^-44) of those magnitudes, about fifty times the worst case. With the drag bounded away from
// zero the exact (L + E_l) / (D - E_d) is monotone on the segment, so its ends bound it.
double segment_bound(const Segment& s, double t, double omt, double l0, double d0, double l1,
                     double d1) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double w = std::fabs(omt) + std::fabs(t);
  const double sl =
      std::fabs(s.hi.cl0) + std::fabs(s.hi.cl1) + std::fabs(s.lo.cl0) + std::fabs(s.lo.cl1);
  const double sd =
      std::fabs(s.hi.cd0) + std::fabs(s.hi.cd1) + std::fabs(s.lo.cd0) + std::fabs(s.lo.cd1);
  const double el = margin2(w, sl);
  const double ed = margin2(w, sd);
  const double den0 = d0 - ed;
  const double den1 = d1 - ed;
  const double num0 = l0 + el;
  const double num1 = l1 + el;
  if (!(std::isfinite(num0) && std::isfinite(num1) && std::isfinite(den0) && std::isfinite(den1) &&
        den0 > 0.0 && den1 > 0.0)) {
    return kInf;
  }
  const double g0 = num0 > 0.0 ? num0 / den0 : 0.0;
  const double g1 = num1 > 0.0 ? num1 / den1 : 0.0;
  const double g = (g0 > g1 ? g0 : g1) * kBoundSlack;
  return std::isfinite(g) ? g : kInf;
}

// Every candidate through the lookup of the column pair, for tables whose angles decrease
// somewhere.
Best search_plain(double phideg, const aerofoil::ReBlend& blend) {
  Best best;
  for (int m = 1; m <= kCandidates; ++m) {
    double cl, cd;
    aerofoil::landd_blend(blend, candidate_angle(phideg, m), cl, cd);
    consider(best, m, cl, cd);
  }
  return best;
}

// Columns whose angles differ: segments from the merged row changes of both columns, each
// bounded by its two end candidates.
Best search_segments(double phideg, const aerofoil::ReBlend& blend) {
  Search sr{phideg, blend.t, 1.0 - blend.t, {}};

  ColumnRuns hi, lo;
  column_runs(blend.k, phideg, hi);
  column_runs(blend.k - 1, phideg, lo);

  // Merge the two columns' runs into segments; evaluate both ends of each.
  std::array<Segment, 2 * (global::kRows + 2)> segs;
  int nseg = 0;
  int ih = 0, il = 0;
  int m = 1;
  while (m <= kCandidates) {
    const int next_h = ih + 1 < hi.count ? hi.start[ih + 1] : kCandidates + 1;
    const int next_l = il + 1 < lo.count ? lo.start[il + 1] : kCandidates + 1;
    const int next = std::min(next_h, next_l);
    Segment& s = segs[nseg++];
    s.m0 = m;
    s.m1 = next - 1;
    s.hi = make_piece(blend.k, hi.state[ih]);
    s.lo = make_piece(blend.k - 1, lo.state[il]);
    double l0, d0;
    sr.eval(s, s.m0, l0, d0);
    sr.consider(s.m0, l0, d0);
    if (s.m1 > s.m0) {
      double l1, d1;
      sr.eval(s, s.m1, l1, d1);
      sr.consider(s.m1, l1, d1);
      s.done = s.m1 == s.m0 + 1;
      if (!s.done) s.bound = segment_bound(s, sr.t, sr.omt, l0, d0, l1, d1);
    } else {
      s.done = true;
    }
    if (next_h == next) ++ih;
    if (next_l == next) ++il;
    m = next;
  }

  // The most promising segment first, to raise the best ratio early; then every segment whose
  // bound does not lie below it.
  int top = -1;
  for (int i = 0; i < nseg; ++i) {
    if (!segs[i].done && (top < 0 || segs[i].bound > segs[top].bound)) top = i;
  }
  if (top >= 0) {
    sr.eval_interior(segs[top]);
    segs[top].done = true;
  }
  for (int i = 0; i < nseg; ++i) {
    if (segs[i].done || segs[i].bound < sr.best.ratio) continue;
    sr.eval_interior(segs[i]);
  }
  return sr.best;
}

// Columns with the same angles A (the shipped polars): both columns are in the same row state
// for every candidate, so the segments are the states themselves. The exact lift and drag at the
// table angles are the blends of the two columns' rows, which bound every interval from its two
// ends without evaluating a candidate; a state held at an edge row has one value for all its
// candidates, and only its first candidate counts.
Best search_shared(double phideg, const aerofoil::ReBlend& blend, const Tables& tb) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const int hi = blend.k;
  const int lo = blend.k - 1;
  const int n = global::num_alpha[hi];
  const float* A = global::alpha_array[hi];
  const double* cl_hi = global::cl_array[hi];
  const double* cd_hi = global::cd_array[hi];
  const double* cl_lo = global::cl_array[lo];
  const double* cd_lo = global::cd_array[lo];
  const double t = blend.t;
  const double omt = 1.0 - t;

  const int s_top = state_of(hi, candidate_angle(phideg, 1));
  const int s_bot = state_of(hi, candidate_angle(phideg, kCandidates));
  const int r0 = std::max(s_bot - 1, 0);
  const int r1 = std::min(s_top, n - 1);

  // Lift, drag and ratio bound at the table angles r0 ... r1. See segment_bound for the margins:
  // here each interval's table values are bounded by the pair's largest magnitudes.
  const double w = std::fabs(omt) + std::fabs(t);
  const double el = margin2(w, 4.0 * tb.cl_max[hi]);
  const double ed = margin2(w, 4.0 * tb.cd_max[hi]);
  std::array<double, global::kRows> l, d, g;
  for (int j = r0; j <= r1; ++j) {
    l[j] = omt * cl_lo[j] + cl_hi[j] * t;
    d[j] = omt * cd_lo[j] + cd_hi[j] * t;
    const double num = l[j] + el;
    const double den = d[j] - ed;
    const bool ok = std::isfinite(num) && std::isfinite(den) && den > 0.0;
    g[j] = ok ? (num > 0.0 ? num / den : 0.0) : kInf;
  }

  // Bound of each state s_bot ... s_top (exact ratio for the held states).
  std::array<double, global::kRows + 1> bound;
  for (int s = s_bot; s <= s_top; ++s) {
    if (s == 0 || s == n) {
      const int row = s == 0 ? 0 : n - 1;
      const double q = l[row] / d[row];
      bound[s] = std::isnan(q) ? -kInf : q;  // a NaN ratio is never kept
    } else {
      const double b = (g[s - 1] > g[s] ? g[s - 1] : g[s]) * kBoundSlack;
      bound[s] = std::isfinite(b) ? b : kInf;
    }
  }

  Best best;
  // Candidates of state s: from the first below A[s] to the last not below A[s-1].
  auto evaluate = [&](int s) {
    const int m0 = s == s_top ? 1 : first_below(phideg, static_cast<double>(A[s]), 1);
    const int m1 =
        s == s_bot ? kCandidates : first_below(phideg, static_cast<double>(A[s - 1]), 1) - 1;
    if (m1 < m0) return;
    if (s == 0 || s == n) {
      const int row = s == 0 ? 0 : n - 1;
      consider(best, m0, l[row], d[row]);
      return;
    }
    // The operations of aerofoil::blend_rows in both columns (one weight: same angles), then
    // the column blend of aerofoil::landd_blend.
    const double a0 = static_cast<double>(A[s - 1]);
    const double da = static_cast<double>(A[s]) - a0;
    const double ch1 = cl_hi[s], ch0 = cl_hi[s - 1], dh1 = cd_hi[s], dh0 = cd_hi[s - 1];
    const double cl1 = cl_lo[s], cl0 = cl_lo[s - 1], dl1 = cd_lo[s], dl0 = cd_lo[s - 1];
    auto lookup = [&](int m, double& lift, double& drag) {
      const double ta = (candidate_angle(phideg, m) - a0) / da;
      const double lift_hi = ch1 * ta + (1.0 - ta) * ch0;
      const double drag_hi = dh1 * ta + (1.0 - ta) * dh0;
      const double lift_lo = cl1 * ta + (1.0 - ta) * cl0;
      const double drag_lo = dl1 * ta + (1.0 - ta) * dl0;
      lift = omt * lift_lo + lift_hi * t;
      drag = omt * drag_lo + drag_hi * t;
    };
    if (std::isinf(g[s]) || std::isinf(g[s - 1])) {
      for (int m = m0; m <= m1; ++m) {
        double lift, drag;
        lookup(m, lift, drag);
        consider(best, m, lift, drag);
      }
      return;
    }
    // The bounding ratio (L + E) / (D - E) is monotone over the interval, so the candidates
    // still to come are bounded by the larger of its values at the current candidate and at the
    // interval's far end. Walk from the end with the larger bound and stop when both lie below
    // the best ratio.
    const bool down = g[s] >= g[s - 1];  // from the upper angle A[s], i.e. from m0 upwards
    const double far = (down ? g[s - 1] : g[s]) * kBoundSlack;
    const int step = down ? 1 : -1;
    for (int m = down ? m0 : m1, k = m1 - m0; k >= 0; m += step, --k) {
      double lift, drag;
      lookup(m, lift, drag);
      consider(best, m, lift, drag);
      if (far < best.ratio) {
        const double num = lift + el;
        const double den = drag - ed;
        if (std::isfinite(num) && std::isfinite(den) && den > 0.0) {
          const double here = (num > 0.0 ? num / den : 0.0) * kBoundSlack;
          if (here < best.ratio) break;
        }
      }
    }
  };

  int top = s_bot;
  for (int s = s_bot + 1; s <= s_top; ++s) {
    if (bound[s] > bound[top]) top = s;
  }
  evaluate(top);
  for (int s = s_bot; s <= s_top; ++s) {
    if (s == top || bound[s] < best.ratio) continue;
    evaluate(s);
  }
  return best;
}

}  // namespace

double candidate(int m) {
  return kTwists[m - 1];
}

Tables table_info() {
  Tables tb;
  tb.monotone = aerofoil::angles_nondecreasing();
  for (int k = 1; k < global::kColumns; ++k) {
    bool same = global::num_alpha[k] == global::num_alpha[k - 1];
    double cl_max = 0.0, cd_max = 0.0;
    for (int c = k - 1; c <= k; ++c) {
      for (int j = 0; j < global::num_alpha[c]; ++j) {
        cl_max = std::max(cl_max, std::fabs(global::cl_array[c][j]));
        cd_max = std::max(cd_max, std::fabs(global::cd_array[c][j]));
        // NaN magnitudes make the bounds infinite, which only disables the pruning.
        if (std::isnan(global::cl_array[c][j])) cl_max = std::numeric_limits<double>::infinity();
        if (std::isnan(global::cd_array[c][j])) cd_max = std::numeric_limits<double>::infinity();
      }
    }
    for (int j = 0; same && j < global::num_alpha[k]; ++j) {
      same = std::bit_cast<std::uint32_t>(global::alpha_array[k][j]) ==
             std::bit_cast<std::uint32_t>(global::alpha_array[k - 1][j]);
    }
    tb.shared[k] = same;
    tb.cl_max[k] = cl_max;
    tb.cd_max[k] = cd_max;
  }
  return tb;
}

Best search(double phideg, double re, const Tables& tb) {
  const aerofoil::ReBlend blend = aerofoil::re_blend(re);
  // A NaN inflow angle or Reynolds number makes every ratio NaN, and no candidate is kept.
  if (std::isnan(phideg) || std::isnan(blend.t)) return Best{};
  if (!tb.monotone) return search_plain(phideg, blend);
  if (std::isinf(phideg)) {
    // Every candidate angle is the same infinity, held at one edge row: the first candidate
    // has the best ratio if that ratio is above 0.
    Best best;
    double cl, cd;
    aerofoil::landd_blend(blend, candidate_angle(phideg, 1), cl, cd);
    if (cl / cd > 0.0) best = Best{1, cl / cd, cl, cd};
    return best;
  }
  if (tb.shared[blend.k]) return search_shared(phideg, blend, tb);
  return search_segments(phideg, blend);
}

Best search(double phideg, double re) {
  return search(phideg, re, table_info());
}

}  // namespace twist_search
