// libFuzzer target: arbitrary records through the free-form reader (see harness.h for the input
// layout and the invariants checked).
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    fuzz::read_list_one(data, size);
  } catch (const fuzz::Failure& f) {
    std::fprintf(stderr, "read_list_fuzz: %s\n", f.what.c_str());
    std::abort();
  }
  return 0;
}
