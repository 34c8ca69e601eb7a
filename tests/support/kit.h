// The support names most subsystem tests work with, for a test namespace to take in one using
// directive: bit-exact comparison of doubles, whole files read and written, and a working
// directory named after the running test.
#pragma once

#include <filesystem>

#include "support/bits.h"
#include "support/test_name.h"
#include "support/workdir.h"

namespace support::kit {

namespace fs = std::filesystem;

using support::same_bits;
using support::slurp;
using support::spit;

// The working directory of a test: Temp/ and Result/, named after the test.
using WorkDir = support::TestWorkDir;

}  // namespace support::kit
