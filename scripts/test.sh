#!/usr/bin/env bash
# Runs every test program under Wine in a fresh private prefix on a private display.
# Usage: scripts/test.sh BUILD_DIR [extra ctest arguments]
set -euo pipefail
BUILD_DIR=${1:-build}
shift || true
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/wine-env.sh"
. "$ROOT/scripts/wine-prefix.sh"
. "$ROOT/scripts/xvfb.sh"
. "$ROOT/scripts/https-test-server.sh"

finish() {
  https_test_server_stop
  wine_prefix_stop
  xvfb_stop
}
trap finish EXIT
trap 'exit 130' INT TERM

start=$(date +%s)
https_test_server_start
xvfb_start
wine_prefix_start
# The private Xvfb has no window manager: let Wine place its windows itself instead of waiting
# (two seconds per window) for a manager to acknowledge that a window was withdrawn.
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
  >"$BUILD_DIR_ABS/wine/unmanaged.reg"
wine_prefix_step wine regedit /S "Z:$BUILD_DIR_ABS/wine/unmanaged.reg"
https_test_server_wait
echo "test: prefix ready in $(( $(date +%s) - start )) s (display $DISPLAY)"

rm -rf "$BUILD_DIR_ABS/test-results" "$BUILD_DIR_ABS/ctest-junit.xml"
mkdir -p "$BUILD_DIR_ABS/test-results"
status=0

# The harness checks itself first, in a second or so: one real test program made to end at once
# with exit code 0 and no results (the seam of scripts/wine-exec.sh), which CTest counts as
# passed, must fail the summary under its own name, even with the results of an earlier run of it
# still lying there.
harness_check() {
  local name=services_text_test check="$BUILD_DIR_ABS/harness-check" code=0 judged=0
  local stale="$BUILD_DIR_ABS/test-results/$name.xml"
  rm -rf "$check" && mkdir -p "$check"
  printf '%s\n' '<testsuites><testsuite name="Stale">' \
    '<testcase classname="Stale" name="LeftByAnEarlierRun"/></testsuite></testsuites>' >"$stale"
  CORVANE_TEST_WITHOUT_RESULTS=$name ctest --test-dir "$BUILD_DIR_ABS" -R "^$name\$" \
    --output-junit "$check/ctest.xml" >"$check/ctest.txt" 2>&1 || code=$?
  python3 "$ROOT/scripts/test-summary.py" "$BUILD_DIR_ABS/test-results" "$check/ctest.xml" \
    >"$check/summary.txt" || judged=$?
  rm -f "$stale"
  if [ "$code" -ne 0 ] || ! grep -q "status=\"run\"" "$check/ctest.xml" 2>/dev/null; then
    echo "test: harness check: CTest did not run $name (exit code $code; $check/ctest.txt)"
    return 1
  fi
  if [ "$judged" -eq 0 ]; then
    echo "test: harness check: a test program that wrote no results passed the summary"
    return 1
  fi
  if ! grep -q "^summary: $name ended without writing its results\$" "$check/summary.txt"; then
    echo "test: harness check: the summary did not name $name, which wrote no results:"
    cat "$check/summary.txt"
    return 1
  fi
  rm -rf "$check"
  echo "test: harness check: a test program without results fails the run"
}
harness_check || status=1

# Each test program runs once: one that fails fails the run.
{
  ctest_status=0
  ctest --test-dir "$BUILD_DIR_ABS" --output-on-failure -j "$(nproc)" --output-junit "$BUILD_DIR_ABS/ctest-junit.xml" \
    "$@" || ctest_status=$?
  echo "$ctest_status" >"$BUILD_DIR_ABS/ctest-status.txt"
} 2>&1 | tee "$BUILD_DIR_ABS/ctest-output.txt"
ctest_status=$(cat "$BUILD_DIR_ABS/ctest-status.txt")
[ "$ctest_status" -eq 0 ] || status=$ctest_status

# The program's own self-tests on this display: the smoke test in both languages and themes, and
# the render stress test. Their reports are kept under BUILD_DIR/selftest/.
selftest_runs=()
mkdir -p "$BUILD_DIR_ABS/selftest"
run_selftest() {
  local name=$1 report=$2 code=0
  shift 2
  rm -f "$BUILD_DIR_ABS/$report"
  timeout 300 wine "$BUILD_DIR_ABS/Corvane.exe" "$@" >/dev/null 2>&1 || code=$?
  [ -f "$BUILD_DIR_ABS/$report" ] && mv -f "$BUILD_DIR_ABS/$report" "$BUILD_DIR_ABS/selftest/$report"
  selftest_runs+=("$name:$code:$BUILD_DIR_ABS/selftest/$report")
}
case " $* " in
  *" -R "*) ;;  # a run of chosen test programs leaves the self-tests out
  *)
    for language in en vi; do
      for theme in light dark; do
        run_selftest "smoke-$language-$theme" "ui-smoke-$language-$theme.json" --smoke-test \
          --language "$language" --theme "$theme"
      done
    done
    run_selftest render render-stress.json --render-test
    python3 "$ROOT/scripts/selftest-check.py" "$BUILD_DIR_ABS/test-results" \
      "$ROOT/src/ui/selftest/smoke_test.cpp" 1 "${selftest_runs[@]}" || status=1
    ;;
esac

echo "test: finished in $(( $(date +%s) - start )) s"
# CTest counts test programs; the last line counts the cases inside them and every
# skipped case is listed with its reason.
# A test program that CTest ran but that wrote no results is named and fails the run.
python3 "$ROOT/scripts/test-summary.py" "$BUILD_DIR_ABS/test-results" "$BUILD_DIR_ABS/ctest-junit.xml" || status=1
exit $status
