// Replays the fuzzers' seed inputs and every input a fuzzer ever failed on through the same
// harness bodies as the libFuzzer targets, so that they run in every build and under the
// sanitizers. Also pins the harness's reference oracles to known fields, so that a broken oracle
// cannot hide a fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/harness.h"

namespace {

namespace fs = std::filesystem;

using Harness = void (*)(const std::uint8_t*, std::size_t);

std::vector<fs::path> files_in(const fs::path& dir) {
  std::vector<fs::path> files;
  if (fs::is_directory(dir)) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
        files.push_back(entry.path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Runs every file of `dir`; returns how many ran.
std::size_t replay(const fs::path& dir, Harness harness) {
  const std::vector<fs::path> files = files_in(dir);
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(file.string());
    try {
      harness(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const fuzz::Failure& f) {
      ADD_FAILURE() << f.what;
    } catch (const std::exception& e) {
      ADD_FAILURE() << "exception escaped: " << e.what();
    }
  }
  return files.size();
}

const fs::path kRoot = ROTORFORGE_SOURCE_DIR;

TEST(FuzzReplay, ReadListSeeds) {
  EXPECT_GE(replay(kRoot / "fuzz" / "corpus_read_list", fuzz::read_list_one), 10u);
}

TEST(FuzzReplay, FormatSeeds) {
  EXPECT_GE(replay(kRoot / "fuzz" / "corpus_format", fuzz::format_one), 10u);
}

// Inputs the fuzzers failed on (the directories may be empty; every file in them must pass).
TEST(FuzzReplay, ReadListFailures) {
  replay(kRoot / "tests" / "fuzz_corpus" / "read_list", fuzz::read_list_one);
}

TEST(FuzzReplay, FormatFailures) {
  replay(kRoot / "tests" / "fuzz_corpus" / "format", fuzz::format_one);
}

// The printf-based field oracle gives the documented fields.
TEST(FuzzOracle, FixedAndIntegerFields) {
  struct Case {
    double v;
    int width, decimals;
    const char* field;
  };
  const Case cases[] = {
      {0.5, 14, 4, "        0.5000"},
      {0.12345, 15, 4, "         0.1235"},
      {-3.0, 15, 4, "        -3.0000"},
      {0.5, 5, 4, ".5000"},
      {-0.5, 6, 4, "-.5000"},
      {-0.00001, 7, 4, "-0.0000"},
      {0.5, 4, 4, "****"},
      {12345.0, 4, 0, "****"},
      {2.0, 3, 0, " 2."},
      {0.125, 0, 2, "0.12"},
      {0.375, 0, 2, "0.38"},
      {std::nan(""), 5, 1, "  NaN"},
      {-HUGE_VAL, 8, 1, "********"},
      {HUGE_VAL, 0, 3, "Infinity"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fuzz::ref_fixed(c.v, c.width, c.decimals), c.field)
        << c.v << " F" << c.width << "." << c.decimals;
  }
  EXPECT_EQ(fuzz::ref_integer(-12, 3), "-12");
  EXPECT_EQ(fuzz::ref_integer(1000, 3), "***");
  EXPECT_EQ(fuzz::ref_integer(7, 0), "7");
}

// The reference readers accept exactly the value texts of the free form.
TEST(FuzzOracle, ValueShapes) {
  const char* reals[] = {"1", "+1", "-1.", ".5", "1.5d3", "1.5D-3", "1.5E+3", "3.e2", "007"};
  for (const char* t : reals) EXPECT_TRUE(fuzz::ref_real_shape(t)) << t;
  const char* not_reals[] = {"",      ".",     "+",  "e3", "1e",  "1e+",    "inf", "nan",
                             "0x1p3", "1.5f3", "1 ", " 1", "1..", "1.5e3.", "--1"};
  for (const char* t : not_reals) EXPECT_FALSE(fuzz::ref_real_shape(t)) << t;
  std::int32_t i = 0;
  EXPECT_TRUE(fuzz::ref_int("-2147483648", i));
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_FALSE(fuzz::ref_int("2147483648", i));
  EXPECT_FALSE(fuzz::ref_int("1.0", i));
  double d = 0;
  EXPECT_FALSE(fuzz::ref_real("1e999", d));
  EXPECT_TRUE(fuzz::ref_real("1.5d3", d));
  EXPECT_EQ(d, 1500.0);
}

// The harness's own checks: they pass on known good values, they fire on a misused source, and
// the model mode builds real formats with values (not only refused or empty ones).
TEST(FuzzOracle, HarnessChecks) {
  EXPECT_NO_THROW(fuzz::check_real_spelling(0.1));
  EXPECT_NO_THROW(fuzz::check_real_spelling(12345678.0));
  EXPECT_NO_THROW(fuzz::check_real_spelling(1.0f / 3.0f));
  EXPECT_NO_THROW(fuzz::check_token("1.5d3"));
  EXPECT_NO_THROW(fuzz::check_fixed(0.5, 5, 4));
  EXPECT_NO_THROW(fuzz::check_integer(-12, 2));

  fuzz::VectorSource source("a\r\nb\r");
  std::string record;
  ASSERT_TRUE(source.next_record(record));
  EXPECT_EQ(record, "a");
  ASSERT_TRUE(source.next_record(record));
  EXPECT_EQ(record, "b");
  EXPECT_FALSE(source.next_record(record));
  EXPECT_THROW(source.next_record(record), fuzz::Failure);

  EXPECT_FALSE(fuzz::format_within_bounds("(F1001.2)"));
  EXPECT_FALSE(fuzz::format_within_bounds("(F1 0 0 1.2)"));
  // A tab ends a number: here 2 decimals, then a repeat count of almost 10^9.
  EXPECT_FALSE(fuzz::format_within_bounds("(F1.2\t0999999999X, 'a')"));
  EXPECT_TRUE(fuzz::format_within_bounds("(F10000000000.2)"));  // refused before allocating
  EXPECT_TRUE(fuzz::format_within_bounds("('99999', F1000.2)"));
  // The numbers add up to 5 * 1007 = 5035.
  EXPECT_FALSE(fuzz::format_within_bounds("(5F1000.2, 5F1000.2, 5F1000.2, 5F1000.2, 5F1000.2)"));

  std::size_t with_values = 0;
  for (const fs::path& file : files_in(kRoot / "fuzz" / "corpus_format")) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty() || bytes[0] != '!') continue;
    fuzz::ByteReader r(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 1, bytes.size() - 1);
    const fuzz::ModelRun run = fuzz::format_model(r);
    EXPECT_EQ(run.format.front(), '(') << run.format;
    if (run.values > 0 && !run.record.empty()) ++with_values;
  }
  EXPECT_GE(with_values, 3u);
}

}  // namespace
