#!/usr/bin/env bash
# Regenerates the six files of Data/ (and the records of filled angles) with rotorforge-foil into
# a scratch directory and compares them byte for byte with the shipped ones. Needs XFOIL
# (apt-get install xfoil) and a build in build/; takes a few minutes. Exit status 0 when all
# are identical.
set -euo pipefail
cd "$(dirname "$0")/.."
foil=${1:-build/rotorforge-foil}
out=$(mktemp -d /tmp/rotorforge-data-XXXXXX)
trap 'rm -rf "$out"' EXIT
for section in naca4412 tools/sections/sg6043.dat naca4432; do
  "$foil" import "$section" --data-dir "$out" --no-install
done
status=0
# The six data files, and the records of filled angles (NAME.fill) found on either side.
files="naca4412.dat Liftnaca4412.dat sg6043.dat Liftsg6043.dat naca4432.dat Liftnaca4432.dat"
for stem in naca4412 sg6043 naca4432; do
  if [ -e "Data/$stem.fill" ] || [ -e "$out/$stem.fill" ]; then files="$files $stem.fill"; fi
done
for f in $files; do
  if [ ! -e "Data/$f" ] || [ ! -e "$out/$f" ]; then
    echo "Data/$f: only on one side"
    status=1
  elif cmp -s "Data/$f" "$out/$f"; then
    echo "Data/$f: identical"
  else
    echo "Data/$f: differs"
    diff "Data/$f" "$out/$f" | head -20 || true
    status=1
  fi
done
exit $status
