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

# `small_study DATA_DIR [TABLES]`: rotorforge-study on $work/study.toml, written from the title
# and tables on standard input, a site of mean wind 5 m/s, winds 3 ... 20 m/s and a 12 m hub at
# variable speed, then TABLES; its designs in $work/study, their sections from DATA_DIR.
small_study() {
  {
    cat
    printf '[site]\nmean_wind = 5\ncut_in = 3\ncut_out = 20\nhub_height = 12\n[variable_speed]\n'
    printf '%s' "${2:-}"
  } > "$work/study.toml"
  "$build/rotorforge-study" "$work/study.toml" -o "$work/study" --data-dir "$1" > /dev/null
}
