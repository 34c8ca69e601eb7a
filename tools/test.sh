#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a normal optimised build (then installed and
# packaged, and the install run), then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer. Tests labelled `external` drive outside
# programs (XFOIL, GNU parallel, Slurm) whose own code the sanitizers do not see; they run in the
# first pass only, and so do the exhaustive identity tests (label slow): the sanitizer build
# leaves both out (ROTORFORGE_EXTERNAL and ROTORFORGE_EXHAUSTIVE off) and does not compile them.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DROTORFORGE_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
# The install and the packages: they install into scratch folders and run the example.
tools/check_install.sh build
# The sanitizer build is optimised lightly and keeps only line tables for its reports: the whole
# run took 12 min of processor time this way against 17 with -O2 -g, and the sanitized tests still
# run in about a minute.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DBUILD_TESTING=ON -DROTORFORGE_SANITIZE=ON -DROTORFORGE_BENCH=OFF -DROTORFORGE_WERROR=ON \
  -DROTORFORGE_EXHAUSTIVE=OFF -DROTORFORGE_EXTERNAL=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE "external|slow"
