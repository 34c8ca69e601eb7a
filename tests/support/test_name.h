// Names of temporary directories that tell which test made them.
#pragma once

#include <gtest/gtest.h>

#include <string>

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

}  // namespace support
