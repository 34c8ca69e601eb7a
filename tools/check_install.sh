#!/usr/bin/env bash
# Installs a build three ways into scratch folders — `cmake --install`, the .tar.gz and the .deb
# that CPack makes (unpacked with dpkg-deb, not installed on this machine) — and in each one
# checks what a user does first: every companion's --version, rotorforge-init, the README's
# example session, rotorforge-plot, and a study of the shipped example run from a folder without
# Data/; that the private library lies in lib/rotorforge/ (and rotorforge-foil finds it there),
# bin/ holds programs only, and the licence is installed. The .deb must pass lintian without an
# error, and the .tar.gz unpack into the one folder the README names. Exit status 0 when all of
# it works.
#   tools/check_install.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
work=$(mktemp -d /tmp/rotorforge-install-XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check_install: $*" >&2
  exit 1
}

# Checks the installation whose programs are in $1/bin.
check_prefix() {
  local prefix=$1 name=$2
  local bin=$prefix/bin
  for program in rotorforge-init rotorforge-plot rotorforge-study rotorforge-foil; do
    [ -x "$bin/$program" ] || fail "$name: $program is not installed"
    [ "$("$bin/$program" --version)" = "$program $version" ] || fail "$name: $program --version"
  done
  [ -f "$prefix/share/rotorforge/Data/Liftsg6043.dat" ] || fail "$name: no shipped data"
  [ -f "$prefix/share/doc/rotorforge/README.md" ] || fail "$name: no README"
  grep -q "^License: Expat" "$prefix/share/doc/rotorforge/copyright" ||
    fail "$name: no copyright file"
  [ -f "$prefix/lib/rotorforge/librotorforge_nofpe.so" ] ||
    fail "$name: the private library is not in lib/rotorforge/"
  local stray
  stray=$(find "$bin" -type f ! -name 'rotorforge*' -o -type f -name '*.so*')
  [ -z "$stray" ] || fail "$name: bin/ holds more than programs: $stray"
  local session=$work/$name-session
  "$bin/rotorforge-init" "$session" >/dev/null
  if "$bin/rotorforge-init" "$session" 2>/dev/null; then
    fail "$name: rotorforge-init took a directory that holds a session"
  fi
  (cd "$session" &&
    printf '3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n6\n0\n' |
    "$bin/rotorforge" >console.txt) || fail "$name: the example session failed"
  grep -q "Average energy production E =" "$session/Result/Energy1.out" ||
    fail "$name: no energy in Result/Energy1.out"
  [ -s "$session/Result/blade.stl" ] || fail "$name: no STL"
  (cd "$session" && "$bin/rotorforge-plot" >/dev/null) || fail "$name: rotorforge-plot failed"
  [ -f "$session/Result/plots/index.html" ] || fail "$name: no picture page"
  # The importer gets as far as running XFOIL (a stand-in that fails) only when it has found its
  # preloaded library.
  local foil_err
  foil_err=$(cd "$session" && "$bin/rotorforge-foil" import naca2412 --no-install \
    --xfoil "$work/failing-xfoil" --reynolds 160000 --angles=-2,2,1 2>&1 >/dev/null || true)
  case "$foil_err" in
    *"XFOIL failed"*) ;;
    *) fail "$name: rotorforge-foil did not reach XFOIL: $foil_err" ;;
  esac
  mkdir "$work/$name-study"
  (cd "$work/$name-study" &&
    "$bin/rotorforge-study" "$prefix/share/rotorforge/examples/solid-or-hollow.toml" -o study \
      >/dev/null) || fail "$name: the example study failed"
  echo "$name: installed programs, data and README; init, example session, pictures and study work"
}

printf '#!/bin/sh\nexit 1\n' >"$work/failing-xfoil"
chmod +x "$work/failing-xfoil"

cmake --install "$build" --prefix "$work/cmake-install" >/dev/null
check_prefix "$work/cmake-install" "cmake --install"

(cd "$build" && cpack -G "TGZ;DEB" -B "$work/packages" >/dev/null) || fail "cpack failed"
mkdir "$work/tgz" "$work/deb"
tgz=$work/packages/rotorforge-$version-Linux.tar.gz
outside=$(tar -tzf "$tgz" | grep -v "^rotorforge-$version-Linux/" || true)
[ -z "$outside" ] || fail ".tar.gz: entries outside rotorforge-$version-Linux/: $outside"
tar -xzf "$tgz" -C "$work/tgz"
check_prefix "$work/tgz/rotorforge-$version-Linux" ".tar.gz"
deb=$(ls "$work"/packages/rotorforge_"$version"_*.deb)
[ "$(dpkg-deb -f "$deb" Package Version | tr '\n' ' ')" = "Package: rotorforge Version: $version " ] ||
  fail ".deb: wrong package fields"
dpkg-deb -x "$deb" "$work/deb"
check_prefix "$work/deb/usr" ".deb"
command -v lintian >/dev/null || fail "lintian is not installed (tools/install_deps.sh)"
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || {
  cat "$work/lintian.txt" >&2
  fail ".deb: lintian reports errors"
}
echo ".deb: lintian reports no error"
