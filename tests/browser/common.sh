# Sourced by the browser tests: `browser_test_start BUILD_DIR SOURCE_DIR NAME` sets `build` and
# `src` (absolute), `chromium` (or stops the test when Chromium or Node is missing) and `work`, a
# new scratch folder named after NAME (the caller removes it); `new_session DIR` makes a working
# directory the way users make one, with rotorforge-init.
browser_test_start() {
  build=$(cd "$1" && pwd)
  src=$(cd "$2" && pwd)
  chromium=$(command -v chromium || command -v chromium-browser || true)
  if [ -z "$chromium" ] || ! command -v node >/dev/null; then
    echo "chromium or node missing (tools/install_deps.sh installs them)" >&2
    exit 1
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/rotorforge-$3-XXXXXX")
}

new_session() {
  "$build/rotorforge-init" "$1" > /dev/null
}
