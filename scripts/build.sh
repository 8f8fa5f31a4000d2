#!/usr/bin/env bash
# Configures and builds one kind of build: "normal" (warnings as errors),
# "sanitize" (AddressSanitizer + UndefinedBehaviorSanitizer) or "thread"
# (ThreadSanitizer; the threaded libraries and their tests only), in build/<kind>.
set -euo pipefail
kind=${1:-normal}
# The folders whose code runs threads; their tests are what the thread build runs.
thread_suites=(wex_platform wex_common wex_server_store wex_server_engine
               wex_client_records wex_client_link wex_client_library wex_client_document wex_client_rules)
targets=()
top=$(cd "$(dirname "$0")/.." && pwd)
case "$kind" in
  normal)   flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEX_WARNINGS_AS_ERRORS=ON) ;;
  sanitize) flags=(-DCMAKE_BUILD_TYPE=Debug -DWEX_WARNINGS_AS_ERRORS=ON -DWEX_SANITIZE=ON -DWEX_BUILD_BENCH=OFF) ;;
  thread)   flags=(-DCMAKE_BUILD_TYPE=Debug -DWEX_WARNINGS_AS_ERRORS=ON -DWEX_THREAD_SANITIZE=ON -DWEX_BUILD_UI=OFF
                   -DWEX_BUILD_BENCH=OFF)
            targets=(--target "${thread_suites[@]/%/_tests}") ;;
  *) echo "usage: $0 [normal|sanitize|thread]" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$top/build/$kind" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$top/build/$kind" -j "$(nproc)" "${targets[@]}"
