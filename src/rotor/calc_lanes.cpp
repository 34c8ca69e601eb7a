#include "rotor/calc_lanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "aerofoil/aerofoil.h"
#include "aerofoil/global.h"
#include "rotor/calc_mod.h"
#include "util/enum_names.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ROTORFORGE_LANES 1
#else
#define ROTORFORGE_LANES 0
#endif

namespace calc_lanes {
namespace {

using calc_mod::kPi;

// The element count of a call: calc_counted's, with an empty alpha not limiting it.
std::size_t element_count(const Call& c) noexcept {
  if (c.nbe < 1) return 0;
  std::size_t n =
      std::min({static_cast<std::size_t>(c.nbe), c.r.size(), c.twist.size(), c.chord.size()});
  if (!c.alpha.empty()) n = std::min(n, c.alpha.size());
  return n;
}

// One call on the scalar solver; `scratch` stands in for an alpha that is not wanted.
void solve_scalar(const Call& c, std::vector<double>& scratch) {
  std::span<double> alpha = c.alpha;
  if (alpha.empty()) {
    const std::size_t n = element_count(c);
    if (scratch.size() < n) scratch.resize(n);
    alpha = std::span(scratch).first(n);
  }
  calc_mod::calc_counted(c, alpha, *c.CP, c.iterations);
}

// How the loaded polar is searched, decided once per solve:
//  * walk: every column's angles never decrease, so a row search may start from the row of the
//    element's previous iteration (as the scalar solver does);
//  * shared: all columns have the same angles (bit for bit), so the row found and the
//    interpolation weight in one column serve the other column of a Reynolds blend.
struct Table {
  bool walk;
  bool shared;
  // The single-precision column logarithms and, for a shared grid, the angles, widened to double
  // once (exactly) rather than at every comparison.
  int n;
  double re_log[global::kColumns];
  double grid[global::kRows];
  // For a shared grid, the column pair of upper column k and row j side by side:
  // pair[k][j] = {cl[k][j], cd[k][j], cl[k-1][j], cd[k-1][j]}, so that a lookup interpolates
  // all four with one operation on a vector of four doubles.
  double pair[global::kColumns][global::kRows][4];
};

// Four doubles, one lookup's lift and drag in both columns of a pair; the operations on it are
// those of the scalar lookup, element by element.
using Quad = double __attribute__((vector_size(32)));

Table inspect_table() noexcept {
  Table t{};
  t.walk = aerofoil::angles_nondecreasing();
  t.shared = true;
  for (int i = 1; i < global::kColumns && t.shared; ++i) {
    t.shared = global::num_alpha[i] == global::num_alpha[0] &&
               std::memcmp(global::alpha_array[i], global::alpha_array[0],
                           sizeof(float) * static_cast<std::size_t>(global::num_alpha[0])) == 0;
  }
  for (int i = 0; i < global::kColumns; ++i) {
    t.re_log[i] = static_cast<double>(global::re_log[i]);
  }
  t.n = global::num_alpha[0];
  for (int j = 0; j < t.n; ++j) t.grid[j] = static_cast<double>(global::alpha_array[0][j]);
  if (t.shared) {
    for (int k = 1; k < global::kColumns; ++k) {
      for (int j = 0; j < t.n; ++j) {
        double* q = t.pair[k][j];
        q[0] = global::cl_array[k][j];
        q[1] = global::cd_array[k][j];
        q[2] = global::cl_array[k - 1][j];
        q[3] = global::cd_array[k - 1][j];
      }
    }
  }
  return t;
}

// aerofoil::re_blend_log on the widened logarithms.
inline aerofoil::ReBlend re_blend_log(const Table& table, double l) noexcept {
  int k = 1;
  while (k < global::kColumns - 1 && table.re_log[k] < l) ++k;
  const double lo = table.re_log[k - 1];
  const double hi = table.re_log[k];
  return aerofoil::ReBlend{k, (l - lo) / (hi - lo)};
}

// landd for a precomputed blend, both columns on one angle grid: the rows, the held edges and
// the weight t are the same in both columns, so the result equals landd_blend's (or
// landd_blend_from's when walking).
inline void landd_shared(const Table& table, const aerofoil::ReBlend& b, double alpha, int& row,
                         double& cl, double& cd) noexcept {
  const int n = table.n;
  const double* a = table.grid;
  const double(*pair)[4] = table.pair[b.k];
  Quad v;  // {cl_hi, cd_hi, cl_lo, cd_lo}
  if (alpha < a[0]) {
    std::memcpy(&v, pair[0], sizeof v);
  } else if (alpha >= a[n - 1]) {
    std::memcpy(&v, pair[n - 1], sizeof v);
  } else {
    int k;
    if (table.walk) {
      // The search of aerofoil::column_at_from.
      k = row < 1 ? 1 : (row > n - 1 ? n - 1 : row);
      if (alpha < a[k]) {
        while (k > 1 && alpha < a[k - 1]) --k;
      } else {
        while (k < n - 1 && !(alpha < a[k])) ++k;
      }
      row = k;
    } else {
      k = aerofoil::first_row_above(global::alpha_array[b.k], n, alpha);
    }
    const double a0 = a[k - 1];
    const double a1 = a[k];
    const double t = (alpha - a0) / (a1 - a0);
    Quad above, below;
    std::memcpy(&above, pair[k], sizeof above);
    std::memcpy(&below, pair[k - 1], sizeof below);
    // aerofoil::blend_rows in both columns: value[k] * t + (1 - t) * value[k - 1].
    v = above * t + (1.0 - t) * below;
  }
  cl = (1.0 - b.t) * v[2] + v[0] * b.t;
  cd = (1.0 - b.t) * v[3] + v[1] * b.t;
}

// The lookup of one lane: landd(alpha, re) as the scalar solver does it, from the logarithm of
// the held Reynolds number, log_re = log10(aerofoil::re_held(re)).
inline void lookup(const Table& table, double log_re, double alpha, int& row, double& cl,
                   double& cd) noexcept {
  const aerofoil::ReBlend blend = re_blend_log(table, log_re);
  if (table.shared) {
    landd_shared(table, blend, alpha, row, cl, cd);
  } else if (table.walk) {
    aerofoil::landd_blend_from(blend, alpha, row, cl, cd);
  } else {
    aerofoil::landd_blend(blend, alpha, cl, cd);
  }
}

void run_scalar(std::span<const Call> calls, std::atomic<std::size_t>& next) {
  std::vector<double> scratch;
  for (std::size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < calls.size();) {
    solve_scalar(calls[k], scratch);
  }
}

#if ROTORFORGE_LANES

#define LANES_INLINE inline __attribute__((always_inline))

// Vectors of 2 and 4 doubles and the masks their comparisons give.
using v2d = double __attribute__((vector_size(16)));
using v2i = std::int64_t __attribute__((vector_size(16)));
using v4d = double __attribute__((vector_size(32)));
using v4i = std::int64_t __attribute__((vector_size(32)));
template <int W>
struct VectorTypes;
template <>
struct VectorTypes<2> {
  using d = v2d;
  using i = v2i;
};
template <>
struct VectorTypes<4> {
  using d = v4d;
  using i = v4i;
};
using v8d = double __attribute__((vector_size(64)));
using v8i = std::int64_t __attribute__((vector_size(64)));
template <>
struct VectorTypes<8> {
  using d = v8d;
  using i = v8i;
};

// The engine's helpers return vectors of four and eight doubles; they are always inlined into the
// AVX2 and AVX-512 entry points, so the baseline calling convention for such vectors never
// applies. (The compiler
// reports it at the end of the file, so the warning stays off from here on.)
#pragma GCC diagnostic ignored "-Wpsabi"

// W calls advanced in lock-step, one per lane of a vector of W doubles. The vector operations are
// the scalar solver's, lane by lane (IEEE addition, subtraction, multiplication, division and
// square root round each lane exactly as the scalar instruction would, and nothing is contracted
// into fused multiply-adds); the mathematics functions and the lookup are called per lane.
//
// Lane values that change at every iteration come back from the per-lane calls as scalars and are
// assembled into vectors lane by lane, and per-lane constants are replaced in a vector by a
// select in registers: a vector loaded from memory just written piecewise would wait for the
// pieces to reach the cache.
template <int W>
struct Lanes {
  using vd = typename VectorTypes<W>::d;
  using vi = typename VectorTypes<W>::i;

  template <std::size_t... I>
  static LANES_INLINE vd splat_(double x, std::index_sequence<I...>) {
    return vd{(static_cast<void>(I), x)...};
  }
  static LANES_INLINE vd splat(double x) { return splat_(x, std::make_index_sequence<W>{}); }
  template <std::size_t... I>
  static LANES_INLINE vd gather_(const double (&v)[W], std::index_sequence<I...>) {
    return vd{v[I]...};
  }
  static LANES_INLINE vd gather(const double (&v)[W]) {
    return gather_(v, std::make_index_sequence<W>{});
  }
  template <std::size_t... I>
  static LANES_INLINE vi splat_i_(std::int64_t x, std::index_sequence<I...>) {
    return vi{(static_cast<void>(I), x)...};
  }
  static LANES_INLINE vi splat_i(std::int64_t x) {
    return splat_i_(x, std::make_index_sequence<W>{});
  }
  template <std::size_t... I>
  static LANES_INLINE vi iota_(std::index_sequence<I...>) {
    return vi{static_cast<std::int64_t>(I)...};
  }
  static LANES_INLINE vi iota() { return iota_(std::make_index_sequence<W>{}); }
  static LANES_INLINE vd vsqrt(const vd& x) {
    // Pairs with the SSE2 instruction: the helper is compiled for the baseline, where the AVX one
    // may not be named; inlined into a wider entry point it becomes that entry point's code.
    vd r;
    for (int i = 0; i < W; i += 2) {
      const v2d h =
          reinterpret_cast<v2d>(_mm_sqrt_pd(reinterpret_cast<__m128d>(v2d{x[i], x[i + 1]})));
      r[i] = h[0];
      r[i + 1] = h[1];
    }
    return r;
  }
  static LANES_INLINE vd vabs(const vd& x) {
    return reinterpret_cast<vd>(reinterpret_cast<vi>(x) & std::int64_t{0x7fffffffffffffff});
  }
  static LANES_INLINE bool any(const vi& mask) {
    std::int64_t m = 0;
    for (int i = 0; i < W; ++i) m |= mask[i];
    return m != 0;
  }
  static LANES_INLINE void set(vd& v, int lane, double x) { v = iota() == lane ? splat(x) : v; }

  // A call whose element needs the bracketed search (calc_mod::element_needs_resolve), set aside
  // with everything its lane held so that the lane can take other work meanwhile.
  struct Parked {
    const Call* call;
    std::size_t count, elem;
    double cp;
    calc_mod::Element element;
    double a_start, ap_start;
  };

  // Per lane: the call, its element count, the element, the row of the last lookup (the row
  // search of a lookup gives the same row from any start when it walks; a lane keeps its row from
  // element to element, where the angles of attack change little), the power coefficient summed
  // so far and the element's scalar constants.
  const Table& table;
  std::span<const Call> calls;
  std::atomic<std::size_t>& next;
  Activity& activity;
  const Call* call[W] = {};
  std::size_t count[W] = {};
  std::size_t elem[W] = {};
  int row[W];
  double cp[W] = {};
  double B[W] = {};
  double r_s[W] = {};
  double lr_s[W] = {};
  double ci_s[W] = {};
  double sigma_s[W] = {};
  double setting_s[W] = {};
  double a_start[W] = {};  // the factors the element started from
  double ap_start[W] = {};
  // Per lane as vectors: induction factors, iterations, element and call constants.
  vd a = splat(calc_mod::kStartA), ap = splat(0.0);
  vi its = splat_i(0);
  vd lr = splat(1.0), sigma = splat(1.0), bomr = splat(1.0), setting = splat(0.0);
  vd ci = splat(1.0), Uv = splat(1.0), rtip = splat(1.0);
  // Results of the per-lane calls; lanes without a call keep harmless values.
  double phi_s[W], log_re_s[W], sphi_s[W], cphi_s[W], acos_s[W], cl_s[W], cd_s[W];
  std::vector<Parked> parked;
  std::size_t parked_next = 0;
  unsigned active = 0;  // lanes with a call

  LANES_INLINE Lanes(const Table& t, std::span<const Call> c, std::atomic<std::size_t>& n,
                     Activity& act)
      : table(t), calls(c), next(n), activity(act) {
    for (int l = 0; l < W; ++l) {
      row[l] = 1;
      phi_s[l] = log_re_s[l] = sphi_s[l] = cphi_s[l] = acos_s[l] = 0.5;
      cl_s[l] = cd_s[l] = 0.0;
    }
  }

  // Element e of lane l's call, or the first one after it with a blade: the constants of the
  // scalar solver's element loop. Elements without a blade are finished on the way as the
  // scalar solver finishes them (not iterated, no load, the factors passed on unchanged).
  // False when the call has no element left.
  LANES_INLINE bool start_element(int l, std::size_t e) {
    const Call& c = *call[l];
    for (; e < count[l] && !calc_mod::has_blade(c.chord[e]); ++e) {
      if (!c.alpha.empty()) {
        c.alpha[e] = calc_mod::undisturbed_alpha(c.lambda * c.r[e], c.twist[e] + c.theta);
      }
      if (e < c.iterations.size()) c.iterations[e] = 0;
    }
    if (e == count[l]) return false;
    const double ri = c.r[e];
    const double cc = c.chord[e];
    elem[l] = e;
    r_s[l] = ri;
    lr_s[l] = c.lambda * ri;
    ci_s[l] = cc;
    sigma_s[l] = B[l] * cc / kPi / ri / 2.0;
    setting_s[l] = c.twist[e] + c.theta;
    a_start[l] = a[l];
    ap_start[l] = ap[l];
    its = iota() == l ? splat_i(0) : its;
    set(lr, l, lr_s[l]);
    set(sigma, l, sigma_s[l]);
    set(bomr, l, B[l] * (1.0 - ri));
    set(setting, l, setting_s[l]);
    set(ci, l, cc);
    return true;
  }

  // Call c, with n elements, into lane l from element e on, with the factors a0, ap0 and the
  // power coefficient cp0 of the elements before e. False (and CP written) when no element
  // with a blade is left.
  LANES_INLINE bool begin_call(int l, const Call& c, std::size_t n, std::size_t e, double a0,
                               double ap0, double cp0) {
    call[l] = &c;
    count[l] = n;
    cp[l] = cp0;
    B[l] = static_cast<double>(c.Numb);
    set(a, l, a0);
    set(ap, l, ap0);
    set(Uv, l, c.U);
    set(rtip, l, c.rtip);
    if (start_element(l, e)) return true;
    *c.CP = cp0;
    return false;
  }

  // Work for lane l: the next call of the list with an element to iterate (calls without one
  // get their CP on the way), else a call set aside, solved again where it stopped and
  // resumed from its next element. Without either, the lane is idle from now on.
  LANES_INLINE void fill(int l) {
    for (std::size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < calls.size();) {
      const Call& c = calls[k];
      const std::size_t n = element_count(c);
      if (n == 0) {
        *c.CP = 0.0;
        continue;
      }
      if (begin_call(l, c, n, 0, calc_mod::kStartA, 0.0, 0.0)) return;
    }
    while (parked_next < parked.size()) {
      const Parked p = parked[parked_next++];
      const Call& c = *p.call;
      const calc_mod::Mended m = calc_mod::mend(p.element, p.a_start, p.ap_start);
      ++activity.resolved;
      if (!c.alpha.empty()) c.alpha[p.elem] = m.alpha;
      double cp0 = p.cp;
      if (m.end != calc_mod::ElementEnd::kUnloaded) {
        const double G = p.element.B * m.W * m.W * p.element.chord * c.dr / kPi;
        cp0 = cp0 + p.element.lr * G * (m.cl * m.sphi - m.cd * m.cphi);
      }
      if (begin_call(l, c, p.count, p.elem + 1, m.a, m.ap, cp0)) return;
    }
    active &= ~(1u << l);
  }

  // The values of the current iteration of every lane: those an element is finished from, and
  // the inflow, Reynolds number and tip-loss argument passed between its phases.
  struct Iterate {
    vd phi, aoa, Wv, cl, cd, sphi, cphi;
    vi converged, done;
  };
  Iterate cur;
  vd x_, re_, f_;

  // One iteration of the element of every active lane, in phases: the scalar solver's
  // operations, with the per-lane calls made lane by lane so that the calls of another group of
  // lanes can be placed between them (see run).
  LANES_INLINE void prepare() {
    x_ = (1.0 - a) / (1.0 + ap) / lr;
    const vd va = (1.0 - a) * (1.0 - a);
    const vd vt = (1.0 + ap) * lr;
    cur.Wv = vsqrt(va + vt * vt);
    re_ = Uv * cur.Wv * ci * rtip / calc_mod::kNu;
  }
  LANES_INLINE void angle(int l) {
    if ((active & (1u << l)) == 0) return;
    phi_s[l] = std::atan(x_[l]);
    log_re_s[l] = std::log10(aerofoil::re_held(re_[l]));
  }
  LANES_INLINE void after_angles() {
    cur.phi = gather(phi_s);
    cur.aoa = cur.phi * 180.0 / kPi - setting;
  }
  LANES_INLINE void sines(int l) {
    if ((active & (1u << l)) == 0) return;
    sphi_s[l] = std::sin(phi_s[l]);
    cphi_s[l] = std::cos(phi_s[l]);
    lookup(table, log_re_s[l], cur.aoa[l], row[l], cl_s[l], cd_s[l]);
  }
  LANES_INLINE void after_sines() {
    cur.cl = gather(cl_s);
    cur.cd = gather(cd_s);
    cur.sphi = gather(sphi_s);
    cur.cphi = gather(cphi_s);
    f_ = bomr / cur.sphi / 2.0;
  }
  LANES_INLINE void tip(int l) {
    if ((active & (1u << l)) == 0) return;
    acos_s[l] = std::acos(std::exp(-std::fabs(f_[l])));
  }
  LANES_INLINE void update() {
    if (active == 0) return;
    ++activity.steps;
    activity.lane_steps += static_cast<std::uint64_t>(__builtin_popcount(active));
    const vd F = 2.0 * gather(acos_s) / kPi;
    const vd normal = cur.cl * cur.cphi + cur.cd * cur.sphi;
    const vd CT = (1.0 - a) * (1.0 - a) * sigma * normal / (cur.sphi * cur.sphi);
    const vi high = CT > calc_mod::kHighInduction * F;
    vd a_new = 1.0 / (4.0 * F * (cur.sphi * cur.sphi) / (sigma * normal) + 1.0);
    if (any(high)) {
      const vd a_high =
          (18.0 * F - 20.0 - 3.0 * vsqrt(CT * (50.0 - 36.0 * F) + 12.0 * F * (3.0 * F - 4.0))) /
          (36.0 * F - 50.0);
      a_new = high ? a_high : a_new;
    }
    const vd tang = cur.cl * cur.sphi - cur.cd * cur.cphi;
    const vd ap_new = 1.0 / (4.0 * F * cur.sphi * cur.cphi / (sigma * tang) - 1.0);
    cur.converged = (vabs(a - a_new) < calc_mod::kTolA) & (vabs(ap - ap_new) < calc_mod::kTolAp);
    a = cur.converged ? a : (a + a_new) / 2.0;
    ap = cur.converged ? ap : (ap + ap_new) / 2.0;
    its += 1;
    cur.done = cur.converged | (its >= calc_mod::kMaxIterations);
    if (!any(cur.done)) return;
    for (int l = 0; l < W; ++l) {
      if ((active & (1u << l)) != 0 && cur.done[l] != 0) finish(l);
    }
  }

  // Lane l's element is done: its iterations and angle of attack, then its share of the power,
  // and the lane goes on to the next element, call or call set aside. An element whose
  // iteration did not end in a windmill state is set aside with its call, to be solved again by
  // the scalar solver's own function for it (calc_mod::mend) when the list runs out; the lane
  // meanwhile takes the next call.
  LANES_INLINE void finish(int l) {
    const Call& c = *call[l];
    const std::size_t e = elem[l];
    if (e < c.iterations.size()) c.iterations[e] = static_cast<std::int32_t>(its[l]);
    if (calc_mod::element_needs_resolve(a[l], ap[l], cur.phi[l], cur.converged[l] != 0))
        [[unlikely]] {
      parked.push_back({&c,
                        count[l],
                        e,
                        cp[l],
                        {B[l], r_s[l], ci_s[l], setting_s[l], lr_s[l], sigma_s[l], c.U, c.rtip},
                        a_start[l],
                        ap_start[l]});
      ++activity.set_aside;
      fill(l);
      return;
    }
    if (!c.alpha.empty()) c.alpha[e] = cur.aoa[l];
    const double w = cur.Wv[l];
    const double G = B[l] * w * w * ci_s[l] * c.dr / kPi;
    cp[l] = cp[l] + lr_s[l] * G * (cur.cl[l] * cur.sphi[l] - cur.cd[l] * cur.cphi[l]);
    if (!start_element(l, e + 1)) {
      *c.CP = cp[l];
      fill(l);
    }
  }

  // Two groups of W lanes, the second half an iteration behind the first. atan and sincos store
  // the floating-point status register on entry, which waits until every floating-point
  // operation in flight has finished; what one group does without such calls (the tip loss, the
  // update of the induction factors and the next inflow) is placed right after the calls of the
  // other group, where it overlaps them instead of waiting for them or holding them up.
  static LANES_INLINE void run(const Table& table, std::span<const Call> calls,
                               std::atomic<std::size_t>& next, Activity& activity) {
    Lanes A(table, calls, next, activity);
    Lanes B(table, calls, next, activity);
    for (Lanes* g : {&A, &B}) {
      g->active = (1u << W) - 1;
      for (int l = 0; l < W; ++l) g->fill(l);
      g->prepare();
    }
    for (int l = 0; l < W; ++l) A.angle(l);
    A.after_angles();
    for (int l = 0; l < W; ++l) A.sines(l);
    A.after_sines();
    // Each half turn: the angles of one group with the other's tip loss, then the sines and
    // lookups of the one with the other's update after its first sincos and the other's next
    // inflow after its second.
    Lanes* one = &B;
    Lanes* other = &A;
    while ((A.active | B.active) != 0) {
      for (int l = 0; l < W; ++l) {
        one->angle(l);
        other->tip(l);
      }
      one->after_angles();
      one->sines(0);
      other->update();
      one->sines(1);
      other->prepare();
      for (int l = 2; l < W; ++l) one->sines(l);
      one->after_sines();
      std::swap(one, other);
    }
  }
};

__attribute__((target("avx2"), flatten)) void run_avx2(const Table& table,
                                                       std::span<const Call> calls,
                                                       std::atomic<std::size_t>& next,
                                                       Activity& activity) {
  Lanes<4>::run(table, calls, next, activity);
}

// Eight lanes in the AVX-512 registers: twice the calls in flight per step for the processor to
// overlap, and the vector arithmetic of eight lanes in one instruction each.
__attribute__((target("avx512f,avx512dq,avx512vl,avx2"), flatten)) void run_avx512(
    const Table& table, std::span<const Call> calls, std::atomic<std::size_t>& next,
    Activity& activity) {
  Lanes<8>::run(table, calls, next, activity);
}

__attribute__((flatten)) void run_sse2(const Table& table, std::span<const Call> calls,
                                       std::atomic<std::size_t>& next, Activity& activity) {
  Lanes<2>::run(table, calls, next, activity);
}

#endif  // ROTORFORGE_LANES

}  // namespace

bool available(Engine e) noexcept {
  switch (e) {
    case Engine::Scalar:
      return true;
    case Engine::Sse2:
      return ROTORFORGE_LANES != 0;
    case Engine::Avx2:
#if ROTORFORGE_LANES
      // The detection may be asked for before the run-time library's constructors have run.
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") != 0;
#else
      return false;
#endif
    case Engine::Avx512:
#if ROTORFORGE_LANES
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512dq") != 0 &&
             __builtin_cpu_supports("avx512vl") != 0 && __builtin_cpu_supports("avx2") != 0;
#else
      return false;
#endif
  }
  return false;
}

Engine fastest() noexcept {
  static const Engine chosen = available(Engine::Avx512) ? Engine::Avx512
                               : available(Engine::Avx2) ? Engine::Avx2
                               : available(Engine::Sse2) ? Engine::Sse2
                                                         : Engine::Scalar;
  return chosen;
}

namespace {
// The lanes of the engine picked by choose(); 0 for the default.
std::atomic<int> g_chosen_lanes{0};

// The engines' activity, summed over every thread.
struct ActivityTotals {
  std::atomic<std::uint64_t> steps{0}, slots{0}, lane_steps{0}, set_aside{0}, resolved{0};
  void add(const Activity& a) noexcept {
    steps.fetch_add(a.steps, std::memory_order_relaxed);
    slots.fetch_add(a.slots, std::memory_order_relaxed);
    lane_steps.fetch_add(a.lane_steps, std::memory_order_relaxed);
    set_aside.fetch_add(a.set_aside, std::memory_order_relaxed);
    resolved.fetch_add(a.resolved, std::memory_order_relaxed);
  }
  Activity read() const noexcept {
    return {steps.load(std::memory_order_relaxed), slots.load(std::memory_order_relaxed),
            lane_steps.load(std::memory_order_relaxed), set_aside.load(std::memory_order_relaxed),
            resolved.load(std::memory_order_relaxed)};
  }
};
ActivityTotals g_activity;
}  // namespace

Engine chosen() noexcept {
  const int lanes = g_chosen_lanes.load(std::memory_order_relaxed);
  return lanes == 0 ? fastest() : static_cast<Engine>(lanes);
}

void choose(Engine e) noexcept {
  g_chosen_lanes.store(available(e) ? static_cast<int>(e) : 0, std::memory_order_relaxed);
}

const char* name(Engine e) noexcept {
  static constexpr enum_names::Named<Engine> kNames[] = {{Engine::Scalar, "scalar"},
                                                         {Engine::Sse2, "sse2 (2 lanes)"},
                                                         {Engine::Avx2, "avx2 (4 lanes)"},
                                                         {Engine::Avx512, "avx512 (8 lanes)"}};
  return enum_names::name(e, kNames, "?");
}

void solve(Engine e, std::span<const Call> calls, std::atomic<std::size_t>& next) {
  if (!available(e)) e = Engine::Scalar;
#if ROTORFORGE_LANES
  if (e != Engine::Scalar) {
    const Table table = inspect_table();
    Activity activity;
    if (e == Engine::Avx512) {
      run_avx512(table, calls, next, activity);
    } else if (e == Engine::Avx2) {
      run_avx2(table, calls, next, activity);
    } else {
      run_sse2(table, calls, next, activity);
    }
    activity.slots = activity.steps * static_cast<std::uint64_t>(e);
    g_activity.add(activity);
    return;
  }
#endif
  run_scalar(calls, next);
}

Activity activity() noexcept {
  return g_activity.read();
}

void solve(Engine e, std::span<const Call> calls) {
  std::atomic<std::size_t> next{0};
  solve(e, calls, next);
}

}  // namespace calc_lanes
