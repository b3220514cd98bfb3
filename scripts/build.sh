#!/usr/bin/env bash
# Configures and builds everything out of tree in build/ (Release with debug info).
# Extra arguments go to the CMake configure step, e.g. -DTROVANTI_SANITIZE=address.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"
