#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test twice: a normal build
# with warnings as errors, then a sanitizer build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for kind in sanitize normal; do
  echo "== $kind build =="
  "$top/scripts/build.sh" "$kind"
  (cd "$top/build/$kind" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
done
