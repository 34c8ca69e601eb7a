#!/usr/bin/env bash
# Regenerates the checked-in expected output of the end-to-end run from the current build.
# Run it only after checking that a change of the output is intended; review the diff.
#   tools/update_e2e_expected.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
exp=$root/tests/e2e/expected/full
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/rotorforge-init" "$work" > /dev/null
(cd "$work" && "$build/rotorforge" < "$exp/answers.txt" > console.txt)
cp "$work/console.txt" "$exp/console.txt"
for f in Result/Geometry.out Result/Energy1.out Result/Energy2.out Result/Energy3.out \
         Result/Energy4.out Result/3dgeo.dat Result/blade.stl Temp/Parameters.in \
         Temp/Parameterst.in Temp/Parameters1.in Temp/Parameterst1.in Temp/Profil.dat \
         Temp/graph.tmp Temp/graph1.tmp Temp/mpl.tmp; do
  mkdir -p "$exp/$(dirname "$f")"
  cp "$work/$f" "$exp/$f"
done
echo "updated $exp"
