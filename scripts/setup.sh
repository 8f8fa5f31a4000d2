#!/usr/bin/env bash
# Installs what the project needs to build, test and run, on Debian 12.
# Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev fonts-dejavu-core xvfb xauth
          dpkg-dev file gzip   # the Debian package: scripts/package.sh
          man-db systemd   # its tests render the manual pages and rate the service unit
          clang libclang-rt-14-dev   # clang and libFuzzer, for scripts/fuzz.sh
          libdtl-dev   # the line differences of the client's text comparison (header-only)
          libssl-dev)   # TLS between the clients and the server

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
