#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, when missing.
# Sourced by ./run and ./test.
set -euo pipefail

STELLON_PACKAGES=(
  build-essential cmake pkg-config g++ clang libclang-rt-14-dev
  libgtest-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  libjpeg62-turbo-dev
  libcfitsio-dev fitsverify
  imagemagick librsvg2-bin
  desktop-file-utils appstream
  ccache
  xvfb dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0
)

stellon_install_packages() {
  local missing=()
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

stellon_jobs() { nproc 2>/dev/null || echo 2; }

# Configures and builds the tree in $1 with the extra CMake arguments that follow
# (only the targets in STELLON_BUILD_TARGETS, when set).
stellon_build() {
  local dir="$1"; shift
  local launcher=()
  if command -v ccache >/dev/null; then
    # Paths below the checkout's parent are hashed relative, so clones share the cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$STELLON_ROOT")}"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$STELLON_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
  local targets=()
  for t in ${STELLON_BUILD_TARGETS:-}; do targets+=(--target "$t"); done
  cmake --build "$dir" -j "$(stellon_jobs)" "${targets[@]}"
}
