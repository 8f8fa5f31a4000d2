#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz, writes their seed corpora and runs each
# target (or the targets named after SECONDS) for SECONDS (default 30). Fails on the
# first finding, which libFuzzer leaves as crash-*/timeout-*/leak-* in
# build/fuzz/findings/<target>/; keep it under fuzz/regressions/<target>/ so that
# every build replays it.
set -euo pipefail
seconds=${1:-30}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${WEX_FUZZ_BUILD:-$top/build/fuzz}
"$top/scripts/setup.sh"

targets=(fuzz_message fuzz_record_lines fuzz_store_records fuzz_users_file fuzz_certificate
         fuzz_client_records fuzz_trees fuzz_requests fuzz_connection fuzz_client_replies
         fuzz_client_link)
[ $# -gt 1 ] && targets=("${@:2}")
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWEX_FUZZ=ON -DWEX_BUILD_UI=OFF -DWEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target wex_fuzz_seeds "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/fuzz/wex_fuzz_seeds" "$build/fuzz/seeds"
for target in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$target"
  findings="$build/fuzz/findings/$target"
  mkdir -p "$corpus" "$findings"
  inputs=("$corpus" "$build/fuzz/seeds/$target")
  [ -d "$top/fuzz/regressions/$target" ] && inputs+=("$top/fuzz/regressions/$target")
  # The server's threads keep messages in flight between inputs, which libFuzzer's
  # per-input leak check takes for leaks; the replay in the sanitizer build checks
  # them for leaks once, at exit.
  leaks=1
  case "$target" in fuzz_requests|fuzz_connection|fuzz_client_replies) leaks=0 ;; esac
  echo "== $target: ${seconds}s =="
  (cd "$build" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
     -detect_leaks=$leaks -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" "${inputs[@]}")
done
