#include "rotor/optgeo.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "blade/laws.h"
#include "rotor/calc_lanes.h"
#include "rotor/calc_mod.h"
#include "rotor/optgeo_detail.h"
#include "textio/textio.h"
#include "util/files.h"
#include "util/parallel.h"
#include "util/shared.h"

namespace geometry {

namespace {

using shared::kPi;

// Range and clamp factors and the narrowing divisor are single-precision literals: a search
// range starts at 10 % or 5 % either side of the coefficient as received and never leaves it,
// and each pass narrows the range around its best value to a step of the pass divided by 1.9.
constexpr double kWideLow = 0.9f;     // 0.8999999761581421
constexpr double kWideHigh = 1.1f;    // 1.100000023841858
constexpr double kTightLow = 0.95f;   // 0.949999988079071
constexpr double kTightHigh = 1.05f;  // 1.0499999523162842
constexpr double kNarrowing = 1.9f;   // 1.899999976158142

constexpr int kSweeps = 3;
// The sweeps an optimisation runs: kSweeps, unless a benchmark asked for fewer (set_sweeps).
std::atomic<int> g_sweeps{kSweeps};
constexpr int kPasses = 5;
constexpr int kTrialsPerPass = 11;
constexpr int kRatios = 51;

using files::kChordLaw;
using files::kTrialChordLaw;
using files::kTrialTwistLaw;
using files::kTwistLaw;

enum class Law { Chord, Twist };

// One coefficient's search: which coefficient, its initial range as factors of the received
// value, whether that range is set afresh in every sweep or only once and then carried from
// sweep to sweep, the clamp factors of the narrowing, and the starting best objective.
struct SearchRule {
  Law law;
  int k;  // 0-based coefficient of the law
  double init_lo, init_hi;
  bool each_sweep;
  double f_lo, f_hi;
  double start_best;
};

constexpr SearchRule kSearches[10] = {
    {Law::Chord, 0, kWideLow, kWideHigh, true, kWideLow, kWideHigh, -100000.0},
    {Law::Chord, 1, kTightLow, kTightHigh, false, kWideLow, kWideHigh, -100000.0},
    {Law::Chord, 2, kWideLow, kWideHigh, true, kWideLow, kWideHigh, -100000.0},
    {Law::Chord, 3, kTightLow, kTightHigh, false, kWideLow, kWideHigh, -100000.0},
    {Law::Chord, 4, kTightLow, kTightHigh, false, kWideLow, kWideHigh, -100000.0},
    {Law::Twist, 0, kTightLow, kTightHigh, false, kTightLow, kTightHigh, -1000.0},
    {Law::Twist, 1, kTightLow, kTightHigh, false, kTightLow, kTightHigh, -1000.0},
    {Law::Twist, 2, kTightLow, kTightHigh, false, kTightLow, kTightHigh, -1000.0},
    {Law::Twist, 3, kTightLow, kTightHigh, false, kTightLow, kTightHigh, -1000.0},
    {Law::Twist, 4, kTightLow, kTightHigh, true, kTightLow, kTightHigh, -1000.0},
};

Range initial_range(const SearchRule& rule, double v_in) {
  return {rule.init_lo * v_in, rule.init_hi * v_in};
}

// The range of every search, from the received laws.
using Ranges = std::array<Range, 10>;

Ranges initial_ranges(const Coeffs& a, const Coeffs& b) {
  Ranges ranges{};
  for (std::size_t s = 0; s < ranges.size(); ++s) {
    const SearchRule& rule = kSearches[s];
    const Coeffs& received = rule.law == Law::Chord ? a : b;
    ranges[s] = initial_range(rule, received[static_cast<std::size_t>(rule.k)]);
  }
  return ranges;
}

// The laws the optimisation leaves: the final blade's (the record of each law's last
// improvement, or the law as received) and the last trial record of each law.
struct LawFiles {
  Coeffs chord, twist;
  Coeffs trial_chord, trial_twist;

  Coeffs& best(Law law) { return law == Law::Chord ? chord : twist; }
  Coeffs& trial(Law law) { return law == Law::Chord ? trial_chord : trial_twist; }
};

// One record of five reals replaces the file's content. The free-form writer spells every
// double with the shortest digits that read back as the same double, so a reader of the file
// sees exactly these values.
void write_coeffs(const char* path, const Coeffs& c) {
  textio::OutFile file(path);
  file.write({c[0], c[1], c[2], c[3], c[4]});
  file.close();
}

// The four law files, each written once when the optimisation has ended.
void write_law_files(const LawFiles& f) {
  write_coeffs(kTrialChordLaw, f.trial_chord);
  write_coeffs(kTrialTwistLaw, f.trial_twist);
  write_coeffs(kChordLaw, f.chord);
  write_coeffs(kTwistLaw, f.twist);
}

// The trial record of coefficient k: the bests of the coefficients before it, the trial value,
// and the received values after it.
Coeffs trial_record(const Coeffs& bests, const Coeffs& received, int k, double v) {
  Coeffs rec = received;
  for (int i = 0; i < k; ++i) rec[static_cast<std::size_t>(i)] = bests[static_cast<std::size_t>(i)];
  rec[static_cast<std::size_t>(k)] = v;
  return rec;
}

// The preparation common to both implementations: design wind speed and its report, and every
// law set to the received ones, so that the result files hold this run's laws also when the
// optimisation stops before a law's first improvement.
DesignWind prepare(const Progress& progress, double Umid, const Coeffs& a, const Coeffs& b,
                   LawFiles& files) {
  const DesignWind wind = design_wind_speed(Umid);
  progress.design_wind(wind);
  files = {a, b, a, b};
  return wind;
}

// Ends search s of a sweep with its best objective: the first search's best is the sweep's
// reference, and a later search ending below it stops the optimisation (false) before its
// report.
bool finish_search(const Progress& progress, int s, double best_J, double& reference) {
  if (s == 0) {
    reference = best_J;
  } else if (best_J < reference) {
    return false;
  }
  progress.search_done(best_J);
  return true;
}

// The order of the searches, the same for both implementations: three sweeps over the ten
// coefficients, five narrowing passes per search. pass(rule, range, received, bests, best_J) makes
// one pass of eleven trials over `range`, updating the coefficient's best value in `bests` and
// the search's best objective; search_done(rule) runs after a search's last pass, before its
// report; chord_done(best_a) runs when a sweep's last chord search has ended.
template <class Pass, class SearchDone, class ChordDone>
void run_searches(const Progress& progress, const Coeffs& a, const Coeffs& b, Pass pass,
                  SearchDone search_done, ChordDone chord_done) {
  Coeffs best_a = a;
  Coeffs best_b = b;
  Ranges ranges = initial_ranges(a, b);
  const int sweeps = g_sweeps.load(std::memory_order_relaxed);
  for (int sweep = 0; sweep < sweeps; ++sweep) {
    double reference = 0.0;
    for (int s = 0; s < 10; ++s) {
      const SearchRule& rule = kSearches[s];
      const Coeffs& received = rule.law == Law::Chord ? a : b;
      Coeffs& bests = rule.law == Law::Chord ? best_a : best_b;
      const std::size_t k = static_cast<std::size_t>(rule.k);
      if (rule.each_sweep) ranges[s] = initial_range(rule, received[k]);

      double best_J = rule.start_best;
      for (int p = 0; p < kPasses; ++p) {
        pass(rule, ranges[s], received, bests, best_J);
        ranges[s] = narrow(ranges[s], bests[k], received[k], rule.f_lo, rule.f_hi);
      }
      search_done(rule);

      if (!finish_search(progress, s, best_J, reference)) return;
      if (s == 4) chord_done(best_a);
    }
  }
}

// The rating of a trial blade whose chord law falls below blade::kChordFloor somewhere between
// hub and tip: below every objective a blade can have and below every starting best objective,
// so it never counts as an improvement. A search whose every trial is refused thus ends below the
// sweep's reference objective and stops the optimisation, as any search that finds nothing at
// least as good does; the result files then hold the last accepted laws.
constexpr double kRefused = -std::numeric_limits<double>::infinity();

void check_elements(std::int64_t nbe) {
  if (nbe < 0) {
    throw textio::RunError(
        "optgeo: the number of blade elements is negative: " + std::to_string(nbe), 1);
  }
}

// The ten coefficients of a trial blade, bit for bit: two blades with equal keys have equal
// objectives.
using BladeKey = std::array<std::uint64_t, 10>;

BladeKey blade_key(const Coeffs& a, const Coeffs& b) {
  BladeKey key{};
  for (std::size_t i = 0; i < 5; ++i) {
    key[i] = std::bit_cast<std::uint64_t>(a[i]);
    key[i + 5] = std::bit_cast<std::uint64_t>(b[i]);
  }
  return key;
}

// Rates the trial blades of one pass. The blades are built from coefficients in memory and
// their 51 solver calls each are spread over the workers of the program's pool (started once for
// the whole optimisation), each advancing several calls at once on the lane engine (calc_lanes, the
// scalar solver's bits); each call writes its own slot and the objectives are summed afterwards in
// the order of the ratios, so the result does not depend on the number of threads or the engine.
// Blades already rated in this run are looked up instead.
class PassRater {
 public:
  PassRater(std::int64_t Numb, std::int64_t nbe, double rtip, double rhub, double U)
      : Numb_(Numb), nbe_(nbe), rtip_(rtip), rhub_(rhub), U_(U), x_hub_(rhub / rtip) {
    const std::size_t n = static_cast<std::size_t>(nbe);
    r_.resize(kTrialsPerPass * n);
    twist_.resize(kTrialsPerPass * (n + 1));
    chord_.resize(kTrialsPerPass * (n + 1));
    calls_.reserve(kTrialsPerPass * kRatios);
    iterations_.resize(kTrialsPerPass * kRatios * n);
    cp_.resize(kTrialsPerPass * kRatios);
  }

  // Objectives of the blades (a[m], b[m]), m = 0 ... count - 1.
  void rate(int count, const Coeffs* a, const Coeffs* b, double* J, OptgeoStats& stats) {
    const std::size_t n = static_cast<std::size_t>(nbe_);
    BladeKey keys[kTrialsPerPass];
    int job_of[kTrialsPerPass];
    int jobs = 0;
    bool refused[kTrialsPerPass];
    for (int m = 0; m < count; ++m) {
      keys[m] = blade_key(a[m], b[m]);
      job_of[m] = -1;
      refused[m] = !blade::chord_law_buildable(a[m], x_hub_);
      if (refused[m]) {
        ++stats.refused;
        continue;
      }
      if (rated_.count(keys[m]) != 0) continue;
      for (int p = 0; p < m; ++p) {
        if (job_of[p] >= 0 && keys[p] == keys[m]) {
          job_of[m] = job_of[p];
          break;
        }
      }
      if (job_of[m] >= 0) continue;
      const int t = jobs++;
      job_of[m] = t;
      const std::size_t ts = static_cast<std::size_t>(t);
      blade::law_arrays(a[m], b[m], nbe_, rtip_, rhub_, std::span(r_).subspan(ts * n, n), dr_[t],
                        std::span(twist_).subspan(ts * (n + 1), n + 1),
                        std::span(chord_).subspan(ts * (n + 1), n + 1));
    }
    stats.trials += count;
    stats.rated += jobs;

    // The threads share one list of the pass's solver calls, each advancing several of them at
    // once on the lane engine. Each call writes its own slot (the angles of attack are not
    // wanted), so the sums below do not depend on the threads, the engine or the order of the
    // list. The list starts with the tip speed ratios that took the most iterations in the last
    // pass: the calls left over when the list runs out are then short ones, and few lanes idle
    // at the end of the pass.
    std::array<int, kRatios> order;
    for (int j = 0; j < kRatios; ++j) order[static_cast<std::size_t>(j)] = j;
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
      return cost_[static_cast<std::size_t>(x)] > cost_[static_cast<std::size_t>(y)];
    });
    calls_.clear();
    for (const int j : order) {
      for (int t = 0; t < jobs; ++t) {
        const std::size_t ts = static_cast<std::size_t>(t);
        const std::size_t slot = ts * kRatios + static_cast<std::size_t>(j);
        calls_.push_back(
            {{Numb_, nbe_, dr_[t], rtip_, std::span(r_).subspan(ts * n, n),
              std::span(twist_).subspan(ts * (n + 1), n + 1),
              std::span(chord_).subspan(ts * (n + 1), n + 1), U_, objective_lambda(j), 0.0},
             {},
             &cp_[slot],
             std::span(iterations_).subspan(slot * n, n)});
      }
    }
    if (!calls_.empty()) {
      std::atomic<std::size_t> next{0};
      parallel::on_workers(
          [&](unsigned) { calc_lanes::solve(calc_lanes::chosen(), calls_, next); });
      for (int j = 0; j < kRatios; ++j) {
        std::int64_t sum = 0;
        for (int t = 0; t < jobs; ++t) {
          const std::size_t slot =
              static_cast<std::size_t>(t) * kRatios + static_cast<std::size_t>(j);
          for (std::size_t i = 0; i < n; ++i) sum += iterations_[slot * n + i];
        }
        cost_[static_cast<std::size_t>(j)] = sum;
      }
    }

    for (int m = 0; m < count; ++m) {
      const int t = job_of[m];
      if (t < 0) continue;
      auto found = rated_.find(keys[m]);
      if (found != rated_.end()) continue;  // a repeat of an earlier trial of this pass
      double sum = 0.0;
      for (int j = 0; j < kRatios; ++j)
        sum = objective_add(sum, cp_[static_cast<std::size_t>(t * kRatios + j)]);
      rated_.emplace(keys[m], sum);
    }
    for (int m = 0; m < count; ++m) J[m] = refused[m] ? kRefused : rated_.at(keys[m]);
  }

 private:
  std::int64_t Numb_, nbe_;
  double rtip_, rhub_, U_, x_hub_;
  std::vector<double> r_, twist_, chord_, cp_;
  std::vector<calc_lanes::Call> calls_;
  std::vector<std::int32_t> iterations_;      // of each element of each call
  std::array<std::int64_t, kRatios> cost_{};  // iterations of each ratio's calls in the last pass
  double dr_[kTrialsPerPass] = {};
  std::map<BladeKey, double> rated_;
};

}  // namespace

DesignWind design_wind_speed(double Umid) {
  DesignWind best{2.0, 0.0};
  for (int j = 0; j <= 100; ++j) {
    const double U = 2.0 + 24.0 * j / 100.0;
    const double q = U / (2.0 * Umid);
    const double E = U * U * U * (kPi * U / (2.0 * (Umid * Umid))) * std::exp(-kPi * (q * q));
    if (E > best.E) best = {U, E};
  }
  return best;
}

void set_sweeps(int n) {
  g_sweeps.store(n >= 1 && n <= kSweeps ? n : kSweeps, std::memory_order_relaxed);
}

double objective_lambda(int j) {
  return 5.0 + 8.0 * j / 50.0;
}

double objective_add(double J, double CP) {
  return J + CP * 8.0 / 50.0;
}

namespace {

// The objective of a trial blade: the area under its CP curve over tip speed ratios 5 ... 13,
// summed over 51 ratios. `in` is the blade at the design wind speed and setting angle 0; its tip
// speed ratio is set to each ratio in turn. alpha (nbe entries) is scratch for the solver.
double objective_with(Solver solver, calc_mod::Inputs in, std::span<double> alpha) {
  double J = 0.0;
  for (int j = 0; j < kRatios; ++j) {
    double CP = 0.0;
    in.lambda = objective_lambda(j);
    solver(in, alpha, CP);
    J = objective_add(J, CP);
  }
  return J;
}

}  // namespace

double trial_value(const Range& range, int m) {
  return (range.hi - range.lo) * m / 10.0 + range.lo;
}

Range narrow(const Range& range, double best, double v_in, double f_lo, double f_hi) {
  const double s = (range.hi - range.lo) / 10.0;
  Range next{best - s / kNarrowing, best + s / kNarrowing};
  if (next.lo < f_lo * v_in) next.lo = f_lo * v_in;
  if (next.hi > f_hi * v_in) next.hi = f_hi * v_in;
  return next;
}

blade::Laws optgeo(const Progress& progress, std::int64_t Numb, std::int64_t nbe, double rtip,
                   double rhub, double Umid, const Coeffs& a, const Coeffs& b) {
  OptgeoStats stats;
  return optgeo(progress, Numb, nbe, rtip, rhub, Umid, a, b, stats);
}

// The searches as optgeo_reference does them, with three exact shortcuts:
//  * the eleven trials of a pass are rated together (each trial's record depends only on the
//    range and on bests fixed during the pass), then taken in the order m = 0 ... 10;
//  * a blade bit-identical to one rated before gets that objective;
//  * a search's last trial record and the record of its last improvement are kept once per
//    search, not after every trial (nothing reads them in between).
blade::Laws optgeo(const Progress& progress, std::int64_t Numb, std::int64_t nbe, double rtip,
                   double rhub, double Umid, const Coeffs& a_received, const Coeffs& b,
                   OptgeoStats& stats) {
  check_elements(nbe);
  const Coeffs a = blade::hold_chord_law(a_received, rhub / rtip);
  stats.held = a != a_received;
  LawFiles files;
  const DesignWind wind = prepare(progress, Umid, a, b, files);
  PassRater rater(Numb, nbe, rtip, rhub, wind.U);

  Coeffs trial_a = a;  // the last trial records
  Coeffs trial_b = b;
  Coeffs best_record{};  // the record of the search's last improvement
  bool improved_any = false;
  const auto pass = [&](const SearchRule& rule, const Range& range, const Coeffs& received,
                        Coeffs& bests, double& best_J) {
    const bool chord_law = rule.law == Law::Chord;
    Coeffs rec_a[kTrialsPerPass];
    Coeffs rec_b[kTrialsPerPass];
    double values[kTrialsPerPass];
    for (int m = 0; m < kTrialsPerPass; ++m) {
      values[m] = trial_value(range, m);
      const Coeffs rec = trial_record(bests, received, rule.k, values[m]);
      rec_a[m] = chord_law ? rec : trial_a;
      rec_b[m] = chord_law ? trial_b : rec;
    }
    double J[kTrialsPerPass];
    rater.rate(kTrialsPerPass, rec_a, rec_b, J, stats);

    int improved = -1;
    for (int m = 0; m < kTrialsPerPass; ++m) {
      if (J[m] > best_J) {
        best_J = J[m];
        bests[static_cast<std::size_t>(rule.k)] = values[m];
        improved = m;
      }
    }
    if (improved >= 0) {
      best_record = chord_law ? rec_a[improved] : rec_b[improved];
      improved_any = true;
    }
    Coeffs& trial = chord_law ? trial_a : trial_b;
    trial = chord_law ? rec_a[kTrialsPerPass - 1] : rec_b[kTrialsPerPass - 1];
  };
  const auto search_done = [&](const SearchRule& rule) {
    const bool chord_law = rule.law == Law::Chord;
    if (improved_any) files.best(rule.law) = best_record;
    files.trial(rule.law) = chord_law ? trial_a : trial_b;
    improved_any = false;
  };
  run_searches(progress, a, b, pass, search_done, [&](const Coeffs& best_a) {
    trial_a = best_a;
    files.trial_chord = trial_a;
  });
  write_law_files(files);
  return {files.chord, files.twist};
}

blade::Laws optgeo_reference(const Progress& progress, std::int64_t Numb, std::int64_t nbe,
                             double rtip, double rhub, double Umid, const Coeffs& a,
                             const Coeffs& b) {
  return optgeo_reference(progress, Numb, nbe, rtip, rhub, Umid, a, b, &calc_mod::calc);
}

blade::Laws optgeo_reference(const Progress& progress, std::int64_t Numb, std::int64_t nbe,
                             double rtip, double rhub, double Umid, const Coeffs& a_received,
                             const Coeffs& b, Solver solver) {
  check_elements(nbe);
  const double x_hub = rhub / rtip;
  const Coeffs a = blade::hold_chord_law(a_received, x_hub);
  LawFiles files;
  const DesignWind wind = prepare(progress, Umid, a, b, files);
  const std::size_t n = static_cast<std::size_t>(nbe);
  std::vector<double> r(n), twist(n + 1), chord(n + 1), alpha(n);
  double dr = 0.0;

  const auto pass = [&](const SearchRule& rule, const Range& range, const Coeffs& received,
                        Coeffs& bests, double& best_J) {
    for (int m = 0; m < kTrialsPerPass; ++m) {
      const double v = trial_value(range, m);
      const Coeffs rec = trial_record(bests, received, rule.k, v);
      files.trial(rule.law) = rec;
      double J = kRefused;
      if (blade::chord_law_buildable(files.trial_chord, x_hub)) {
        blade::law_arrays(files.trial_chord, files.trial_twist, nbe, rtip, rhub, r, dr, twist,
                          chord);
        J = objective_with(solver, {Numb, nbe, dr, rtip, r, twist, chord, wind.U, 0.0, 0.0}, alpha);
      }
      if (J > best_J) {
        best_J = J;
        bests[static_cast<std::size_t>(rule.k)] = v;
        files.best(rule.law) = rec;
      }
    }
  };
  run_searches(
      progress, a, b, pass, [](const SearchRule&) {},
      [&](const Coeffs& best_a) { files.trial_chord = best_a; });
  write_law_files(files);
  return {files.chord, files.twist};
}

}  // namespace geometry
