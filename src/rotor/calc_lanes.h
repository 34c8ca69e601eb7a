// The element solver run on many independent calls at once: each lane of a vector of doubles
// advances one call, so the mathematics functions of several calls overlap instead of waiting on
// one call's chain of dependent operations.
//
// Every lane performs exactly the operations of calc_mod::calc_counted, in the same order and in
// double precision, and calls the same atan, sincos, exp, acos and log10: the results (CP, every
// angle of attack, every iteration count) are those of the scalar solver, bit for bit, on every
// engine. A lane whose element converged (or reached the iteration limit) finishes it and goes on
// to its next element, or to the next call of the list, independently of the other lanes. An
// element whose iteration ends outside the windmill state (calc_mod::element_needs_resolve) is
// solved again in its lane by calc_mod::mend, the function the scalar solver uses for it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace calc_lanes {

// One solver call: the arguments of calc_mod::calc_counted. The element count is that of
// calc_counted (nbe, limited by the spans' sizes), except that an empty `alpha` means the angles
// of attack are not wanted and does not limit it. `iterations` may be empty too. The outputs must
// not overlap the inputs or another call's outputs.
struct Call {
  std::int64_t Numb = 0;
  std::int64_t nbe = 0;
  double dr = 0.0;
  double rtip = 0.0;
  std::span<const double> r;
  std::span<const double> twist;
  std::span<const double> chord;
  std::span<double> alpha;
  double U = 0.0;
  double lambda = 0.0;
  double theta = 0.0;
  double* CP = nullptr;  // receives the power coefficient; must not be null
  std::span<std::int32_t> iterations;
};

// The engines; the value is the number of lanes.
enum class Engine { Scalar = 1, Sse2 = 2, Avx2 = 4 };

// Whether this processor can run engine e (Scalar always).
bool available(Engine e) noexcept;
// The engine used by default: AVX2 when the processor has it, else SSE2 on x86-64, else Scalar.
Engine fastest() noexcept;
const char* name(Engine e) noexcept;

// The engine the program's solver loops use: fastest() unless choose() picked another (tests and
// benchmarks compare the engines through the optimiser and the sweeps). An engine that is not
// available is not chosen; choose(fastest()) restores the default.
Engine chosen() noexcept;
void choose(Engine e) noexcept;

// Solves the calls of `calls` taken one at a time, in order, from the shared counter `next`:
// several threads given the same list and counter share the work, each call solved once.
// Returns when the list is exhausted and the calls this thread took are done. An engine that is
// not available falls back to the scalar one.
void solve(Engine e, std::span<const Call> calls, std::atomic<std::size_t>& next);

// Solves every call of `calls` on this thread.
void solve(Engine e, std::span<const Call> calls);

}  // namespace calc_lanes
