#!/usr/bin/env bash
# Configures the cross build in BUILD_DIR when it is not configured yet.
set -euo pipefail
BUILD_DIR=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCORVANE_JSON_INCLUDE_DIR="$(cd "$BUILD_DIR/_deps/json-include" && pwd)" \
    -DCORVANE_IMGUI_DIR="$(cd "$BUILD_DIR/_deps/imgui" && pwd)" \
    -DCORVANE_GTEST_DIR=/usr/src/googletest >/dev/null
fi
