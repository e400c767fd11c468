#!/usr/bin/env bash
# Starts Corvane under Wine in the build tree's own run prefix (made once, kept between runs;
# never ~/.wine). With a display: on $DISPLAY, until the window is closed. Without one: on a
# private Xvfb, saves a screenshot to BUILD_DIR/screenshots/ once the window has painted, then
# closes the window. Programs already running in the prefix (another `make run` window, say)
# share its Wine server and are left alone.
# Usage: scripts/run.sh BUILD_DIR [Corvane arguments...]
set -euo pipefail
BUILD_DIR=${1:-build}
shift || true
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/wine-env.sh"
. "$ROOT/scripts/run-prefix.sh"

EXE="$BUILD_DIR_ABS/Corvane.exe"
[ -f "$EXE" ] || { echo "run: $EXE not built" >&2; exit 1; }

headless=0
finish() {
  wine_prefix_release
  [ "$headless" -eq 1 ] && xvfb_stop
  return 0
}
trap finish EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  headless=1
  xvfb_start
fi

wine_prefix_reuse run share

if [ "$headless" -eq 0 ]; then
  echo "run: Corvane on $DISPLAY"
  status=0
  wine "$EXE" "$@" || status=$?
  echo "run: Corvane ended with exit code $status"
  exit $status
fi

echo "run: no display; Corvane on a private Xvfb ($DISPLAY)"
# When this run started the prefix's server, Wine's desktop process lives on the private display
# and reports the display's end on the way out; that line is expected and left out.
wine "$EXE" "$@" 2> >(grep -v --line-buffered "^X connection to $DISPLAY broken" >&2) &
app=$!

window=$(corvane_window "$app")
if [ -z "$window" ]; then
  status=0
  wait "$app" || status=$?
  echo "run: the main window did not appear (exit code $status)" >&2
  exit 1
fi
# The first paint follows the window's appearance; give it a moment to settle.
sleep 1.5

mkdir -p "$BUILD_DIR_ABS/screenshots"
shot="$BUILD_DIR_ABS/screenshots/run-$(date +%Y%m%d-%H%M%S).png"
import -window "$window" "$shot"
echo "run: screenshot saved to $shot"

# Close it as a user would, through its own window's close request: the display is private,
# while other Corvane windows of the prefix may be open elsewhere.
python3 "$ROOT/scripts/close-window.py" "$window" || true
status=0
for _ in $(seq 1 100); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
  echo "run: Corvane did not close; ending it" >&2
  kill "$app" 2>/dev/null || true
  status=1
fi
wait "$app" || status=$?
echo "run: Corvane ended with exit code $status"
exit $status
