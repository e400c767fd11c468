# Sourced after wine-env.sh: the local HTTPS server that the update client's tests talk to.
# https_test_server_start launches it in the background; https_test_server_wait waits until it
# listens and exports CORVANE_TEST_HTTPS_SERVER (the Unix path of its description, server.json).
https_test_server_start() {
  HTTPS_TEST_SERVER_DIR="$BUILD_DIR_ABS/test-https"
  rm -rf "$HTTPS_TEST_SERVER_DIR"
  mkdir -p "$HTTPS_TEST_SERVER_DIR"
  python3 "$ROOT/tests/support/https_test_server.py" "$HTTPS_TEST_SERVER_DIR" \
    >"$HTTPS_TEST_SERVER_DIR/server.log" 2>&1 &
  HTTPS_TEST_SERVER_PID=$!
}

https_test_server_wait() {
  local i
  for i in $(seq 1 300); do
    if [ -s "$HTTPS_TEST_SERVER_DIR/server.json" ]; then
      export CORVANE_TEST_HTTPS_SERVER="$HTTPS_TEST_SERVER_DIR/server.json"
      return 0
    fi
    kill -0 "$HTTPS_TEST_SERVER_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "https-test-server: the server did not start:" >&2
  cat "$HTTPS_TEST_SERVER_DIR/server.log" >&2
  return 1
}

https_test_server_stop() {
  if [ -n "${HTTPS_TEST_SERVER_PID:-}" ]; then
    kill "$HTTPS_TEST_SERVER_PID" 2>/dev/null || true
    wait "$HTTPS_TEST_SERVER_PID" 2>/dev/null || true
    HTTPS_TEST_SERVER_PID=
  fi
}
