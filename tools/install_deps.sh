#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this machine lacks: the
# compiler and GoogleTest for rotorforge; Google Benchmark for bench/; CLI11 and toml++ for the
# companion programs; XFOIL for aerofoil import; GNU parallel and a one-node Slurm for the study
# engines; xmllint for the picture tests; Chromium and Node for the test that loads the pages
# in a real browser; lintian for the check of the .deb; cpp-httplib, nlohmann-json and three.js
# for rotorforge-studio. Does nothing when everything is there.
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
for p in libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libtomlplusplus-dev \
         slurmctld slurmd slurm-client munge libcpp-httplib-dev nlohmann-json3-dev libjs-three \
         pkg-config; do
  dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
done
command -v xmllint >/dev/null || need+=(libxml2-utils)
command -v xfoil >/dev/null || need+=(xfoil)
command -v parallel >/dev/null || need+=(parallel)
command -v chromium >/dev/null || need+=(chromium)
command -v node >/dev/null || need+=(nodejs)
command -v lintian >/dev/null || need+=(lintian)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
