// Running independent, numbered pieces of work on the machine's cores.
//
// Callers write each piece's result into its own slot and reduce the slots afterwards in index
// order, so every result is the same whatever the number of threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace parallel {

// Number of processors this process may run on (its affinity mask, as `nproc` counts them),
// at least 1. Every program sizes its threads and jobs by it.
unsigned allowed_processors();

// Number of threads used by for_each_index: allowed_processors(), unless a test or benchmark
// chose another (parallel_detail.h).
unsigned threads();

// Calls f(i) for every i in [0, n), on up to threads() threads; returns when all are done.
// An exception thrown by f is rethrown here (the first one caught).
template <class F>
void for_each_index(std::size_t n, F&& f) {
  const unsigned want = threads();
  const std::size_t workers = want < n ? want : n;
  if (workers <= 1) {
    for (std::size_t i = 0; i < n; ++i) f(i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::exception_ptr error;
  std::mutex error_mutex;
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < n;) {
      try {
        f(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(error_mutex);
        if (!error) error = std::current_exception();
      }
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(workers - 1);
  for (std::size_t t = 1; t < workers; ++t) pool.emplace_back(work);
  work();
  for (auto& t : pool) t.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace parallel
