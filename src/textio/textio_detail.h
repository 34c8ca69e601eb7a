// One free-form record as a string, for tests that compare a file with the records they expect.
#pragma once

#include <span>
#include <string>

#include "textio/textio.h"

namespace textio {

// The text of one free-form record holding `values`, without the line end. An empty list gives
// an empty string.
inline std::string free_record(std::span<const Out> values) {
  std::string out;
  append_free(out, values);
  return out;
}

}  // namespace textio
