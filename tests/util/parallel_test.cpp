#include "util/parallel.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

#include "util/parallel_detail.h"

namespace {

class ParallelForEachIndex : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override { parallel::set_threads(GetParam()); }
  void TearDown() override { parallel::set_threads(0); }
};

TEST_P(ParallelForEachIndex, EveryIndexExactlyOnce) {
  EXPECT_EQ(parallel::threads(), GetParam());
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{1000}}) {
    std::vector<std::atomic<int>> calls(n);
    parallel::for_each_index(n, [&](std::size_t i) { calls[i].fetch_add(1); });
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(calls[i].load(), 1) << "n " << n << " i " << i;
  }
}

TEST_P(ParallelForEachIndex, AThrownExceptionReachesTheCaller) {
  EXPECT_THROW(parallel::for_each_index(64,
                                        [](std::size_t i) {
                                          if (i == 5) throw std::runtime_error("piece 5");
                                        }),
               std::runtime_error);
  // The threads are joined: the next call runs normally.
  std::atomic<int> calls{0};
  parallel::for_each_index(10, [&](std::size_t) { calls.fetch_add(1); });
  EXPECT_EQ(calls.load(), 10);
}

// The program's pool keeps its threads from round to round: many rounds are served by the same
// threads() threads, each round calling every worker index once.
TEST_P(ParallelForEachIndex, ThePoolKeepsItsThreadsAcrossRounds) {
  std::mutex m;
  std::set<pid_t> ids;  // kernel thread ids, not reused soon (pthread ids are)
  for (int round = 0; round < 50; ++round) {
    std::vector<std::atomic<int>> seen(GetParam());
    parallel::on_workers([&](unsigned w) {
      seen[w].fetch_add(1);
      std::lock_guard<std::mutex> lock(m);
      ids.insert(gettid());
    });
    for (unsigned w = 0; w < GetParam(); ++w) ASSERT_EQ(seen[w].load(), 1) << "worker " << w;
  }
  EXPECT_EQ(ids.size(), GetParam());
}

// A round started from inside a round runs on the calling thread alone, and still does all the
// work it was given.
TEST_P(ParallelForEachIndex, NestedWorkRunsInline) {
  std::vector<std::atomic<int>> calls(8 * 100);
  parallel::for_each_index(8, [&](std::size_t i) {
    parallel::for_each_index(100, [&](std::size_t j) { calls[i * 100 + j].fetch_add(1); });
  });
  for (std::size_t k = 0; k < calls.size(); ++k) ASSERT_EQ(calls[k].load(), 1) << k;
}

INSTANTIATE_TEST_SUITE_P(Threads, ParallelForEachIndex, ::testing::Values(1u, 2u, 5u));

// A child forked after the program's pool started (a companion starting a program) has no
// worker threads; work it hands out still gets done, on a pool of its own.
TEST(ParallelPool, AForkedChildRunsOnAPoolOfItsOwn) {
  parallel::set_threads(2);
  parallel::for_each_index(4, [](std::size_t) {});
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(30);  // a child waiting for its parent's threads ends here
    std::atomic<int> calls{0};
    parallel::for_each_index(100, [&](std::size_t) { calls.fetch_add(1); });
    _exit(calls.load() == 100 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  parallel::set_threads(0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// A pool of its own: an exception in any worker reaches the caller after the round, and the
// pool serves the next round normally.
TEST(ParallelPool, AnExceptionEndsTheRoundAndThePoolGoesOn) {
  parallel::Pool pool(3);
  ASSERT_EQ(pool.size(), 3u);
  for (unsigned thrower = 0; thrower < 3; ++thrower) {
    std::atomic<int> ran{0};
    EXPECT_THROW(pool.run([&](unsigned w) {
      ran.fetch_add(1);
      if (w == thrower) throw std::runtime_error("worker");
    }),
                 std::runtime_error);
    EXPECT_EQ(ran.load(), 3);
  }
  std::atomic<int> ran{0};
  pool.run([&](unsigned) { ran.fetch_add(1); });
  EXPECT_EQ(ran.load(), 3);
}

// A process pinned to one processor (taskset -c 0, a Slurm task with --cpus-per-task=1) runs one
// thread, not one per core of the machine.
TEST(ParallelThreads, CountTheProcessorsTheAffinityMaskAllows) {
  cpu_set_t old_set;
  ASSERT_EQ(sched_getaffinity(0, sizeof old_set, &old_set), 0);
  int first = 0;
  while (!CPU_ISSET(first, &old_set)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  parallel::set_threads(0);
  const unsigned pinned = parallel::threads();
  ASSERT_EQ(sched_setaffinity(0, sizeof old_set, &old_set), 0);
  EXPECT_EQ(pinned, 1u);
  EXPECT_EQ(parallel::threads(), static_cast<unsigned>(CPU_COUNT(&old_set)));
}

}  // namespace
