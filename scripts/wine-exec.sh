#!/usr/bin/env bash
# Runs one Windows program of the build under Wine (CTest's cross-compiling emulator).
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-exec: WINEPREFIX is not set; run the tests through 'make test'" >&2
  exit 125
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
exec wine "$@"
