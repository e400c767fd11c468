#!/usr/bin/env bash
# Runs every benchmark program of the build under Wine, in the build tree's own bench prefix
# (made once, kept between runs; never the tests' prefix nor ~/.wine).
# Usage: scripts/bench.sh BUILD_DIR [benchmark arguments...]
set -euo pipefail
BUILD_DIR=${1:-build}
shift || true
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/wine-env.sh"
export WINEPREFIX="$BUILD_DIR_ABS/wine/bench-prefix"
export HOME="$BUILD_DIR_ABS/wine/bench-home"
. "$ROOT/scripts/wine-prefix.sh"
. "$ROOT/scripts/xvfb.sh"

finish() {
  wineserver -k >/dev/null 2>&1 || true
  xvfb_stop
}
trap finish EXIT
trap 'exit 130' INT TERM

# The page benchmark makes a real (hidden) window.
[ -n "${DISPLAY:-}" ] || xvfb_start
wine_prefix_reuse bench

status=0
for exe in "$BUILD_DIR_ABS"/bench/*.exe; do
  [ -f "$exe" ] || continue
  echo "bench: $(basename "$exe")"
  wine "$exe" "$@" || status=$?
done
exit $status
