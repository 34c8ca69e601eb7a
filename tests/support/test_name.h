// Temporary directories whose names tell which test made them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/workdir.h"

namespace support {

// `prefix` followed by the running test's suite and name (when a test runs), '/' made '_'.
inline std::string test_prefix(std::string prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info != nullptr) prefix += std::string(info->test_suite_name()) + "_" + info->name() + "_";
  for (char& c : prefix) {
    if (c == '/') c = '_';
  }
  return prefix;
}

// A directory of kind Dir (ScratchDir, WorkDir or SessionDir from workdir.h) named after the
// running test.
template <class Dir>
class TestDir : public Dir {
 public:
  TestDir() : Dir(test_prefix("rotorforge_")) {}
};

// A fresh working directory holding Temp/ and Result/ for the lifetime of the object.
using TestWorkDir = TestDir<WorkDir>;

}  // namespace support
