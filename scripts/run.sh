#!/usr/bin/env bash
# Installs what is missing, builds, starts trovanti-service on 127.0.0.1 and the desktop client
# pointed at it. The service stops when the client exits.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
PORT=${TROVANTI_SERVICE_PORT:-8470}
DATA=${TROVANTI_SERVICE_DATA:-${XDG_DATA_HOME:-$HOME/.local/share}/trovanti-service}
mkdir -p "$DATA"

"$BUILD_DIR/service/trovanti-service" --bind 127.0.0.1 --port "$PORT" --data-dir "$DATA" &
SERVICE_PID=$!
trap 'kill "$SERVICE_PID" 2>/dev/null || true; wait "$SERVICE_PID" 2>/dev/null || true' EXIT

export TROVANTI_API_URL="http://127.0.0.1:$PORT/api/v1/"
export TROVANTI_PUSH_URL="http://127.0.0.1:$PORT/push/v1/"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<MSG
There is no display here, so the desktop window cannot open.
The service is running on 127.0.0.1:$PORT (Ctrl-C stops it). To go on:
  - run the window on a virtual display:  xvfb-run -a $BUILD_DIR/app/trovanti
  - or use the terminal client:           $BUILD_DIR/cli/trovanti-cli --help
MSG
  wait "$SERVICE_PID"
  exit 0
fi
"$BUILD_DIR/app/trovanti" "$@"
