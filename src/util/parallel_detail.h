// The thread count as a knob, for tests that compare one thread with many and for benchmarks.
#pragma once

namespace parallel {

// Makes threads() return n from now on; 0 restores the hardware's count.
void set_threads(unsigned n);

}  // namespace parallel
