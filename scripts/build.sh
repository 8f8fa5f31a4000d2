#!/usr/bin/env bash
# Configures and builds one kind of build: "normal" (warnings as errors) or
# "sanitize" (AddressSanitizer + UndefinedBehaviorSanitizer), in build/<kind>.
set -euo pipefail
kind=${1:-normal}
top=$(cd "$(dirname "$0")/.." && pwd)
case "$kind" in
  normal)   flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEX_WARNINGS_AS_ERRORS=ON) ;;
  sanitize) flags=(-DCMAKE_BUILD_TYPE=Debug -DWEX_WARNINGS_AS_ERRORS=ON -DWEX_SANITIZE=ON -DWEX_BUILD_BENCH=OFF) ;;
  *) echo "usage: $0 [normal|sanitize]" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$top/build/$kind" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$top/build/$kind" -j "$(nproc)"
