#include "util/parallel.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <cstddef>
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

INSTANTIATE_TEST_SUITE_P(Threads, ParallelForEachIndex, ::testing::Values(1u, 2u, 5u));

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
