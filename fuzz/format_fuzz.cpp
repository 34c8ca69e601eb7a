// libFuzzer target: format literals and values through the format-string writer and its field
// writers (see harness.h for the input layout and the invariants checked).
#include <cstdint>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::fuzz_target("format_fuzz", fuzz::format_one, data, size);
}
