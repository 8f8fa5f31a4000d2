#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test twice: a normal build
# with warnings as errors, then a sanitizer build. The suites include a replay of
# every fuzz target over its seeds and fuzz/regressions (scripts/fuzz.sh fuzzes).
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
# The thread build has only the threaded folders' tests, each labelled with its folder.
echo "== thread build =="
"$top/scripts/build.sh" thread
(cd "$top/build/thread" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j "$(nproc)" --timeout 600 -L .)
