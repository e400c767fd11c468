# Sourced after wine-env.sh: the build tree's run prefix (made once, kept between runs; never
# ~/.wine nor the tests' prefix, which each test run remakes), and how to find Corvane's window.
# The screenshot script sets a prefix of its own after this.
export WINEPREFIX="$BUILD_DIR_ABS/wine/run-prefix"
export HOME="$BUILD_DIR_ABS/wine/run-home"
. "$ROOT/scripts/wine-prefix.sh"
. "$ROOT/scripts/xvfb.sh"

# Prints the X window id of Corvane's main window once it is there (up to 20 s), or nothing when
# process PID ends first.
corvane_window() {
  local window= _
  for _ in $(seq 1 200); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Corvane 1.0"/ {print $1; exit}')
    [ -n "$window" ] && break
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  echo "$window"
}
