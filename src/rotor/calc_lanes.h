// The element solver run on many independent calls at once: each lane of a vector of doubles
// advances one call, so the mathematics functions of several calls overlap instead of waiting on
// one call's chain of dependent operations.
//
// Every lane performs exactly the operations of calc_mod::calc_counted, in the same order and in
// double precision, and calls the same atan, sincos, exp, acos and log10: the results (CP, every
// angle of attack, every iteration count) are those of the scalar solver, bit for bit, on every
// engine. A lane whose element converged (or reached the iteration limit) finishes it and goes on
// to its next element, or to the next call of the list, independently of the other lanes. A call
// with an element whose iteration ends outside the windmill state (calc_mod::element_needs_resolve)
// is set aside, and its lane takes the next call of the list; when the list runs out, the calls
// set aside are taken up in the order they came: the element is solved again by calc_mod::mend,
// the function the scalar solver uses for it, and the call goes on in a lane from the next element.
// Each thread runs two groups of lanes half an iteration apart, so that what one group computes
// without calling atan or sincos overlaps the other group's calls to them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "rotor/calc_mod.h"

namespace calc_lanes {

// One solver call: the arguments of calc_mod::calc_counted, its inputs and its outputs. The
// element count is that of calc_counted (nbe, limited by the spans' sizes), except that an empty
// `alpha` means the angles of attack are not wanted and does not limit it. `iterations` may be
// empty too. The outputs must not overlap the inputs or another call's outputs.
struct Call : calc_mod::Inputs {
  std::span<double> alpha;
  double* CP = nullptr;  // receives the power coefficient; must not be null
  std::span<std::int32_t> iterations;
};

// The engines; the value is the number of lanes.
enum class Engine { Scalar = 1, Sse2 = 2, Avx2 = 4, Avx512 = 8 };
// Every engine, narrowest first.
inline constexpr Engine kEngines[] = {Engine::Scalar, Engine::Sse2, Engine::Avx2, Engine::Avx512};

// Whether this processor can run engine e (Scalar always).
bool available(Engine e) noexcept;
// The engine used by default: the widest the processor has (AVX-512, AVX2, SSE2 on x86-64), else
// Scalar.
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

// What the lane engines did, summed over every thread since the program started (the scalar
// engine counts nothing): steps of the vector iteration (one iteration of every lane), the lane
// slots they offered (steps times lanes) and how many of those advanced a call (lane_steps; the
// lane occupancy is lane_steps / slots), calls set aside for the bracketed search of an element
// while their lane went on with other calls, and elements solved again by it.
struct Activity {
  std::uint64_t steps = 0;
  std::uint64_t slots = 0;
  std::uint64_t lane_steps = 0;
  std::uint64_t set_aside = 0;
  std::uint64_t resolved = 0;
};
Activity activity() noexcept;

}  // namespace calc_lanes
