#include "util/parallel.h"

#include <sched.h>
#include <unistd.h>

#include <memory>

#include "util/parallel_detail.h"

namespace parallel {
namespace {

std::atomic<unsigned> chosen{0};

// Set on a thread while it runs a round of a pool: a round started from there runs inline.
thread_local bool in_round = false;

class RoundFlag {
 public:
  RoundFlag() : outer_(in_round) { in_round = true; }
  ~RoundFlag() { in_round = outer_; }
  RoundFlag(const RoundFlag&) = delete;
  RoundFlag& operator=(const RoundFlag&) = delete;

 private:
  bool outer_;
};

}  // namespace

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

void set_threads(unsigned n) {
  chosen.store(n, std::memory_order_relaxed);
}

Pool::Pool(unsigned size) {
  const unsigned extra = size > 1 ? size - 1 : 0;
  threads_.reserve(extra);
  for (unsigned w = 1; w <= extra; ++w) threads_.emplace_back([this, w] { serve(w); });
}

Pool::~Pool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  start_.notify_all();
  for (auto& t : threads_) t.join();
}

void Pool::finish_one() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--pending_ == 0) done_.notify_one();
}

void Pool::serve(unsigned worker) {
  std::uint64_t served = 0;
  for (;;) {
    const std::function<void(unsigned)>* task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return stopping_ || round_ != served; });
      if (stopping_) return;
      served = round_;
      task = task_;
    }
    try {
      const RoundFlag flag;
      (*task)(worker);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
    }
    finish_one();
  }
}

void Pool::run(const std::function<void(unsigned)>& task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = &task;
    pending_ = static_cast<unsigned>(threads_.size());
    error_ = nullptr;
    ++round_;
  }
  start_.notify_all();
  std::exception_ptr own;
  try {
    const RoundFlag flag;
    task(0);
  } catch (...) {
    own = std::current_exception();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return pending_ == 0; });
  task_ = nullptr;
  if (own) std::rethrow_exception(own);
  if (error_) std::rethrow_exception(error_);
}

namespace {

// The program's pool, the process that started it and the lock that gives it to one round at a
// time.
std::mutex program_pool_mutex;
std::unique_ptr<Pool> program_pool;
pid_t program_pool_owner = 0;

}  // namespace

void on_workers(const std::function<void(unsigned)>& work) {
  const unsigned want = threads();
  if (want <= 1 || in_round) {
    work(0);
    return;
  }
  std::unique_lock<std::mutex> lock(program_pool_mutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    work(0);
    return;
  }
  // A child forked from the program has none of its parent's threads: the pool it inherited is
  // left alone (it cannot be joined) and the child starts its own.
  if (program_pool && program_pool_owner != getpid()) static_cast<void>(program_pool.release());
  if (!program_pool || program_pool->size() != want) {
    program_pool.reset();
    program_pool = std::make_unique<Pool>(want);
    program_pool_owner = getpid();
  }
  program_pool->run(work);
}

}  // namespace parallel
