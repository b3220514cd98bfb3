#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the benchmarks need.
# Idempotent: installs only what is missing and runs apt-get update only when it must.
set -euo pipefail

PKGS=(
  build-essential cmake pkg-config git
  qtbase5-dev libqt5sql5-sqlite qttools5-dev qttools5-dev-tools
  libcurl4-openssl-dev libssl-dev zlib1g-dev
  libmicrohttpd-dev libjsoncpp-dev liburiparser-dev libboost-all-dev
  libsqlite3-dev libgtest-dev libqrencode-dev
  fonts-roboto xvfb xauth curl nginx-light iproute2 util-linux
)

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
# nginx is only a reference for the benchmarks; keep the packaged service from running.
if command -v systemctl >/dev/null 2>&1; then $SUDO systemctl disable --now nginx >/dev/null 2>&1 || true; fi
$SUDO service nginx stop >/dev/null 2>&1 || true
