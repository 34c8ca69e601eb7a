#include "util/parallel.h"

#include <gtest/gtest.h>

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

TEST(ParallelThreads, ZeroRestoresTheHardwareCount) {
  parallel::set_threads(0);
  EXPECT_GE(parallel::threads(), 1u);
}

}  // namespace
