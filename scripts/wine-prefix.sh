# Sourced after wine-env.sh: makes a fresh private prefix for this run and keeps one
# wineserver alive until wine_prefix_stop. Windows 10, Task Scheduler running,
# "Segoe UI" mapped to an installed font with Vietnamese glyphs.
# Runs one step of a preparation quietly; a failing step is named with its exit code.
wine_prefix_step() {
  local code=0
  "$@" >/dev/null 2>&1 || code=$?
  [ "$code" -eq 0 ] || echo "wine-prefix: '$*' failed with exit code $code" >&2
  return "$code"
}

wine_prefix_prepare() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$HOME"
  mkdir -p "$WINEPREFIX" "$HOME"
  # Let the first boot finish completely (services hold their database until then),
  # then keep one server alive for the whole run.
  wine_prefix_step wineboot -i || return
  wine_prefix_step wineserver -w || return
  wine_prefix_step wineserver -p || return
  wine_prefix_step wine winecfg -v win10 || return
  local reg="$BUILD_DIR_ABS/wine/prefix-settings.reg"
  mkdir -p "$(dirname "$reg")"
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"Segoe UI"="DejaVu Sans"' \
    '"Segoe UI Semibold"="DejaVu Sans"' \
    '"Segoe UI Variable"="DejaVu Sans"' '' >"$reg"
  wine_prefix_step wine regedit /S "Z:$reg" || return
  local out i
  for i in 1 2 3 4 5; do
    out=$(wine net start schedule 2>&1 || true)
    case "$out" in *"started successfully"*|*"already running"*) return 0 ;; esac
    sleep 1
  done
  echo "wine-prefix: the Task Scheduler service did not start: $out" >&2
  return 1
}

# A busy machine can make a step of Wine's own start-up fail now and then; the preparation (never
# a test) is made once more from the start before the run gives up.
wine_prefix_start() {
  wine_prefix_prepare && return 0
  echo "wine-prefix: preparing $WINEPREFIX once more from the start" >&2
  wine_prefix_prepare
}

wine_prefix_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# A prefix kept between runs (run, screenshots, bench), made on first use. LABEL names the
# caller in messages. A Wine server that already runs in the prefix belongs to other programs of
# it (a `make run` window in another terminal, say), and MODE says what the caller does then:
#   share  its programs join that server. When none runs, the one started here ends by itself
#          a few seconds after the last program in it, like any server `wine` starts, so a
#          later program that joined it is never cut off.
#   own    it needs the prefix to itself and stops with a sentence that says why. Otherwise it
#          keeps a server of its own alive until wine_prefix_release ends it.
# Only a server started here is ever ended (wine_prefix_release).
WINE_PREFIX_OWN_SERVER=0
wine_prefix_reuse() {
  local label=$1 mode=$2 code=0
  mkdir -p "$(dirname "$WINEPREFIX")"
  if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
    # One preparation at a time: a second run waits for the first to finish.
    exec 9>"$WINEPREFIX.lock"
    if ! flock -n 9; then
      echo "$label: waiting for another run to finish preparing $WINEPREFIX"
      flock 9
    fi
  fi
  if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
    mkdir -p "$WINEPREFIX"
    # The lock is not handed on: a server that outlived this script would hold it for good.
    wineserver -p 9>&- || code=$?
    if [ "$code" -eq 2 ]; then
      echo "$label: the prefix $WINEPREFIX is not ready, and a Wine server that this script did" \
        "not start runs in it; end its programs (WINEPREFIX=$WINEPREFIX wineserver -k) and try again" >&2
      return 1
    fi
    [ "$code" -eq 0 ] || return "$code"
    WINE_PREFIX_OWN_SERVER=1
    echo "$label: preparing the prefix $WINEPREFIX (once)"
    wine_prefix_start 9>&-
    touch "$WINEPREFIX/.corvane-ready"
    # A run waiting for the lock may join the server once it is free: end it before, not after.
    if [ "$mode" = share ]; then
      wine_prefix_release
    fi
    flock -u 9
    exec 9>&-
    return 0
  fi
  if [ "$mode" = share ]; then
    # -p3: the persistence of a server that `wine` starts on its own.
    wineserver -p3 || code=$?
    if [ "$code" -eq 2 ]; then
      echo "$label: joining the Wine server that already runs in $WINEPREFIX"
      return 0
    fi
    return "$code"
  fi
  wineserver -p || code=$?
  if [ "$code" -eq 2 ]; then
    echo "$label: a Wine server already runs in $WINEPREFIX: another program uses this prefix," \
      "which $label needs to itself; wait until it has ended (or end it with" \
      "WINEPREFIX=$WINEPREFIX wineserver -k) and try again" >&2
    return 1
  fi
  [ "$code" -eq 0 ] || return "$code"
  WINE_PREFIX_OWN_SERVER=1
}

# Ends the prefix's server if wine_prefix_reuse started it to keep; else leaves it alone.
wine_prefix_release() {
  if [ "$WINE_PREFIX_OWN_SERVER" -eq 1 ]; then
    WINE_PREFIX_OWN_SERVER=0
    wine_prefix_stop
  fi
}
