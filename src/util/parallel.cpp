#include "util/parallel.h"

#include <sched.h>

#include "util/parallel_detail.h"

namespace parallel {
namespace {
std::atomic<unsigned> chosen{0};
}

unsigned allowed_processors() {
  // The affinity mask is what taskset, cgroups' cpusets and Slurm's --cpus-per-task restrict;
  // hardware_concurrency counts every core of the machine regardless.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return static_cast<unsigned>(n);
  }
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : hw;
}

unsigned threads() {
  const unsigned n = chosen.load(std::memory_order_relaxed);
  if (n != 0) return n;
  return allowed_processors();
}

void set_threads(unsigned n) { chosen.store(n, std::memory_order_relaxed); }

}  // namespace parallel
