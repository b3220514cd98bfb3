#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. This is what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
cd "$BUILD_DIR"
ctest --output-on-failure -j "${JOBS:-$(nproc)}" --timeout 600
