#!/usr/bin/env bash
# Installs what the build and the Wine test harness need, only what is missing.
# Usage: scripts/deps.sh BUILD_DIR
set -euo pipefail
BUILD_DIR=${1:-build}
PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 xvfb
          nlohmann-json3-dev googletest fonts-dejavu-core openssl python3 xz-utils
          imagemagick x11-utils)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  as_root apt-get update -qq
  updated=1
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# nlohmann/json: only its own folder is visible to the cross compiler.
mkdir -p "$BUILD_DIR/_deps/json-include"
ln -sfn /usr/include/nlohmann "$BUILD_DIR/_deps/json-include/nlohmann"

# Dear ImGui 1.86 from Debian's source package.
IMGUI_DIR="$BUILD_DIR/_deps/imgui"
if [ ! -f "$IMGUI_DIR/imgui.cpp" ]; then
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "deps: adding a deb-src entry for Debian's source packages"
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    as_root tee /etc/apt/sources.list.d/corvane-deb-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    updated=0
  fi
  [ "$updated" -eq 1 ] || as_root apt-get update -qq
  work=$(mktemp -d)
  (cd "$work" && apt-get source --download-only imgui >/dev/null 2>&1)
  tarball=$(ls "$work"/imgui_*.orig.tar.* | head -n1)
  rm -rf "$IMGUI_DIR" && mkdir -p "$IMGUI_DIR"
  tar -xf "$tarball" -C "$IMGUI_DIR" --strip-components=1
  rm -rf "$work"
  grep -q 'IMGUI_VERSION ' "$IMGUI_DIR/imgui.h"
  echo "deps: Dear ImGui $(sed -n 's/^#define IMGUI_VERSION *"\(.*\)"/\1/p' "$IMGUI_DIR/imgui.h") unpacked"
fi
