#!/usr/bin/env bash
# Captures every page of Corvane in English and Vietnamese, light and dark, into
# BUILD_DIR/screenshots/pages/, on a private Xvfb in a prefix of its own (made once, kept between
# runs): its window settings and the commands it sends reach no window of `make run`. The pages
# are opened from outside by sending the window the same commands its sidebar sends.
# Usage: scripts/screenshots.sh BUILD_DIR
set -euo pipefail
BUILD_DIR=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/wine-env.sh"
. "$ROOT/scripts/run-prefix.sh"
export WINEPREFIX="$BUILD_DIR_ABS/wine/screenshots-prefix"
export HOME="$BUILD_DIR_ABS/wine/screenshots-home"

EXE="$BUILD_DIR_ABS/Corvane.exe"
POST="$BUILD_DIR_ABS/tools/post_command.exe"
OUT="$BUILD_DIR_ABS/screenshots/pages"

finish() {
  wine_prefix_release
  xvfb_stop
}
trap finish EXIT
trap 'exit 130' INT TERM

xvfb_start
wine_prefix_reuse screenshots own
# No window manager on the private display: Wine places the windows itself (this prefix only).
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
  >"$BUILD_DIR_ABS/wine/unmanaged.reg"
wine regedit /S "Z:$BUILD_DIR_ABS/wine/unmanaged.reg" >/dev/null 2>&1

rm -rf "$OUT"
mkdir -p "$OUT"
# Command of each page, in sidebar order, and a name for its picture.
pages=(100:overview 101:cleanup 102:customization 103:privacy 104:startup 105:performance
       106:advanced 107:backups 317:options 321:admin 303:donate 305:licenses 304:about 333:updates)
status=0
for language in en vi; do
  for theme in light dark; do
    wine "$EXE" --language "$language" --theme "$theme" &
    app=$!
    window=$(corvane_window "$app")
    if [ -z "$window" ]; then
      echo "screenshots: the window did not appear ($language, $theme)" >&2
      status=1
      continue
    fi
    sleep 1
    index=0
    for entry in "${pages[@]}"; do
      id=${entry%%:*}
      name=${entry#*:}
      index=$((index + 1))
      if ! wine "$POST" "$id" >/dev/null 2>&1; then
        echo "screenshots: command $id was not taken ($language, $theme)" >&2
        status=1
        continue
      fi
      # Pages that list the system start a background job: let it finish and paint.
      case "$name" in startup|advanced) sleep 3 ;; *) sleep 0.6 ;; esac
      import -window "$window" "$OUT/$(printf '%s-%s-%02d-%s' "$language" "$theme" "$index" "$name").png"
    done
    wine "$POST" 306 >/dev/null 2>&1 || true
    for _ in $(seq 1 100); do
      kill -0 "$app" 2>/dev/null || break
      sleep 0.1
    done
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
  done
done
echo "screenshots: $(ls "$OUT" | wc -l) pictures in $OUT"
exit $status
