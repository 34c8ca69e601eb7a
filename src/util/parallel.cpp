#include "util/parallel.h"

#include "util/parallel_detail.h"

namespace parallel {
namespace {
std::atomic<unsigned> chosen{0};
}

unsigned threads() {
  const unsigned n = chosen.load(std::memory_order_relaxed);
  if (n != 0) return n;
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : hw;
}

void set_threads(unsigned n) { chosen.store(n, std::memory_order_relaxed); }

}  // namespace parallel
