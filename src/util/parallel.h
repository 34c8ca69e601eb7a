// Running independent, numbered pieces of work on the machine's cores.
//
// Callers write each piece's result into its own slot and reduce the slots afterwards in index
// order, so every result is the same whatever the number of threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace parallel {

// Number of processors this process may run on (its affinity mask, as `nproc` counts them),
// at least 1. Every program sizes its threads and jobs by it.
unsigned allowed_processors();

// Number of threads used by for_each_index and on_workers: allowed_processors(), unless a test or
// benchmark chose another (parallel_detail.h).
unsigned threads();

// Threads started once and kept, waiting for work between the rounds given to them: a program
// that hands out many short rounds (the optimiser's passes) pays for starting threads once.
// The calling thread takes part in every round as worker 0.
class Pool {
 public:
  // A pool of `size` workers (at least 1): the caller and size - 1 threads.
  explicit Pool(unsigned size);
  ~Pool();
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  unsigned size() const noexcept { return static_cast<unsigned>(threads_.size()) + 1; }

  // One round: task(w) on every worker w = 0 ... size() - 1 at once (w = 0 on the calling
  // thread); returns when every call has returned. An exception thrown by a call is rethrown
  // here (the first one caught) after the others have returned. One round at a time, and
  // never from inside one of the pool's own rounds (on_workers guards against both).
  void run(const std::function<void(unsigned)>& task);

 private:
  void serve(unsigned worker);
  void finish_one();

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable done_;
  const std::function<void(unsigned)>* task_ = nullptr;
  std::uint64_t round_ = 0;  // rounds started; a thread serves each once
  unsigned pending_ = 0;     // threads still working on the current round
  bool stopping_ = false;
  std::exception_ptr error_;
};

// Calls work(w) on each worker of the program's pool, which has threads() workers and is kept
// from its first use to the end of the program (started again when threads() changes). `work`
// takes its pieces from a counter shared by the workers until none is left, so that the job is
// complete whichever workers run it: a call from inside a round (nested), or from a thread while
// the pool is busy with another thread's round, runs work(0) on the calling thread alone.
void on_workers(const std::function<void(unsigned)>& work);

// Calls f(i) for every i in [0, n), on up to threads() workers of the program's pool; returns
// when all are done. An exception thrown by f is rethrown here (the first one caught).
template <class F>
void for_each_index(std::size_t n, F&& f) {
  if (n == 0) return;
  if (n == 1 || threads() <= 1) {
    for (std::size_t i = 0; i < n; ++i) f(i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::exception_ptr error;
  std::mutex error_mutex;
  on_workers([&](unsigned) {
    for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < n;) {
      try {
        f(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(error_mutex);
        if (!error) error = std::current_exception();
      }
    }
  });
  if (error) std::rethrow_exception(error);
}

}  // namespace parallel
