#!/usr/bin/env bash
# Runs every benchmark program of the build under Wine, in the build tree's own bench prefix
# (made once, kept between runs; never the tests' prefix nor ~/.wine), on a private Xvfb display.
# Usage: scripts/bench.sh BUILD_DIR [benchmark arguments...]
# BENCH_ONLY="page_rebuild_bench launch_bench" runs only the benchmarks named.
set -euo pipefail
# Every process of the run (display, wineserver, benchmarks) shares one CPU, BENCH_CPU (the last
# one unless given; "none" leaves them free). Under Wine nearly every window, registry and file
# call is a round trip to the wineserver; between two idle CPUs of a virtual machine that trip
# costs several times what it costs on one, and it would dominate the figures.
if [ -z "${BENCH_PINNED:-}" ] && [ "${BENCH_CPU:-}" != "none" ] && command -v taskset >/dev/null; then
  export BENCH_PINNED=1
  exec taskset -c "${BENCH_CPU:-$(( $(nproc) - 1 ))}" "$0" "$@"
fi
BUILD_DIR=${1:-build}
shift || true
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/wine-env.sh"
export WINEPREFIX="$BUILD_DIR_ABS/wine/bench-prefix"
export HOME="$BUILD_DIR_ABS/wine/bench-home"
. "$ROOT/scripts/wine-prefix.sh"
. "$ROOT/scripts/xvfb.sh"

finish() {
  wine_prefix_release
  xvfb_stop
}
trap finish EXIT
trap 'exit 130' INT TERM

# Always a private Xvfb, whatever $DISPLAY says: the benchmarks' windows must not open on the
# user's screen, and their timings must not depend on what that display does meanwhile.
xvfb_start
wine_prefix_reuse bench own

status=0
for exe in "$BUILD_DIR_ABS"/bench/*.exe; do
  [ -f "$exe" ] || continue
  if [ -n "${BENCH_ONLY:-}" ] && [[ " $BENCH_ONLY " != *" $(basename "$exe" .exe) "* ]]; then continue; fi
  echo "bench: $(basename "$exe")"
  wine "$exe" "$@" || status=$?
done
exit $status
