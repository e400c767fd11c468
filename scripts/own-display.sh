#!/usr/bin/env bash
# Runs one command on a private Xvfb display of its own, started for it and ended after it.
# Tests whose input must not mix with other programs' use it: the X pointer and the X input
# focus are one per display, whatever Wine desktop a program is on.
# Usage: scripts/own-display.sh COMMAND [ARGUMENTS...]
set -uo pipefail
. "$(dirname "$0")/xvfb.sh"
trap xvfb_stop EXIT
trap 'exit 130' INT TERM

# The display ends by itself once its last client has gone.
xvfb_start -terminate || exit 1
status=0
"$@" || status=$?
# A Wine desktop of the command's own closes a moment after it; ending the display before that
# would break the desktop's connection (with a message in the command's output).
for _ in $(seq 50); do
  case $(cut -d' ' -f3 "/proc/$XVFB_PID/stat" 2>/dev/null) in ''|Z) break ;; esac
  sleep 0.1
done
exit $status
