// libFuzzer target: arbitrary records through the free-form reader (see harness.h for the input
// layout and the invariants checked).
#include <cstdint>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::fuzz_target("read_list_fuzz", fuzz::read_list_one, data, size);
}
