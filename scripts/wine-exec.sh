#!/usr/bin/env bash
# Runs one Windows program of the build under Wine (CTest's cross-compiling emulator).
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-exec: WINEPREFIX is not set; run the tests through 'make test'" >&2
  exit 125
fi
# The results file holds this run's results only: what an earlier run left (a CTest --repeat, say)
# is removed first, so a run that writes none is seen as such.
for argument in "$@"; do
  case $argument in --gtest_output=xml:Z:*) rm -f "${argument#--gtest_output=xml:Z:}" ;; esac
done
# The harness's seam for its own check: the test program named in CORVANE_TEST_WITHOUT_RESULTS
# (as CTest names it) ends at once with exit code 0, no output and no results file, as a program
# that dies on its way in would; the run must then fail and name it.
if [ -n "${CORVANE_TEST_WITHOUT_RESULTS:-}" ] && [ "$(basename "$1" .exe)" = "$CORVANE_TEST_WITHOUT_RESULTS" ]; then
  exit 0
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
exec wine "$@"
