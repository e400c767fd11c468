# Sourced after wine-env.sh: makes a fresh private prefix for this run and keeps one
# wineserver alive until wine_prefix_stop. Windows 10, Task Scheduler running,
# "Segoe UI" mapped to an installed font with Vietnamese glyphs.
wine_prefix_start() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$HOME"
  mkdir -p "$WINEPREFIX" "$HOME"
  # Let the first boot finish completely (services hold their database until then),
  # then keep one server alive for the whole run.
  wineboot -i >/dev/null 2>&1
  wineserver -w
  wineserver -p
  wine winecfg -v win10 >/dev/null 2>&1
  local reg="$BUILD_DIR_ABS/wine/prefix-settings.reg"
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"Segoe UI"="DejaVu Sans"' \
    '"Segoe UI Semibold"="DejaVu Sans"' \
    '"Segoe UI Variable"="DejaVu Sans"' '' >"$reg"
  wine regedit /S "Z:$reg" >/dev/null 2>&1
  local out i
  for i in 1 2 3 4 5; do
    out=$(wine net start schedule 2>&1 || true)
    case "$out" in *"started successfully"*|*"already running"*) return 0 ;; esac
    sleep 1
  done
  echo "wine-prefix: the Task Scheduler service did not start: $out" >&2
  return 1
}

wine_prefix_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# A prefix kept between runs (run, screenshots, bench): made on first use, else its server is
# started. LABEL names the caller in the message.
wine_prefix_reuse() {
  if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
    echo "$1: preparing the prefix $WINEPREFIX (once)"
    wine_prefix_start
    touch "$WINEPREFIX/.corvane-ready"
  else
    wineserver -p
  fi
}
