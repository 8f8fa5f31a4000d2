#!/usr/bin/env bash
# Takes the screenshots of the three programs on a demo library, each program alone
# under a virtual display, maximised, once it is ready, and of each of the server's
# dialogs and its help window (wexmoor-NAME.png):
#   scripts/screenshots.sh [BUILD_FOLDER] [OUTPUT_FOLDER]
# (defaults: build/normal and build/screenshots). Needs xvfb-run (scripts/setup.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/normal}" && pwd)
out=${2:-$top/build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
scratch=$(mktemp -d)
server_pid=
cleanup() {
  [ -z "$server_pid" ] || kill -TERM "$server_pid" 2>/dev/null || true
  [ -z "$server_pid" ] || wait "$server_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

screen="-screen 0 1280x800x24"
port=$("$build/testsupport/demo/make_demo_library" "$scratch/server" "$scratch/server/library" "$scratch" 0)

# Runs a program with --test-hooks under its own virtual display, writing it the
# given commands (the last one makes it quit); fails when a command does not answer "ok".
drive() {
  local program=$1
  shift
  local replies="$scratch/replies" input="$scratch/input"
  rm -f "$input"
  mkfifo "$input"
  QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "$screen" \
      "$program" --test-hooks "${program_args[@]}" < "$input" > "$replies" 2> "$scratch/errors" &
  local pid=$!
  exec 3> "$input"
  printf '%s\n' "$@" >&3
  wait "$pid" || true
  exec 3>&-
  if [ "$(grep -c '^ok' "$replies")" -lt $# ]; then
    echo "screenshots: $(basename "$program") did not answer every command:" >&2
    cat "$replies" "$scratch/errors" >&2
    exit 1
  fi
}

program_args=(--workdir "$scratch/server")
server_windows=()
for window in users rootpath address libraryname checkout about help; do
  server_windows+=("grab-dialog $window $out/wexmoor-$window.png")
done
drive "$build/apps/wexmoor" "wait-ready" "grab $out/wexmoor.png" "${server_windows[@]}" "quit"

"$build/apps/wexmoor" --headless --workdir "$scratch/server" > "$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q "Listening port is $port" "$scratch/server.log" && break; sleep 0.1; done

for client in brannockpublisher:editor brannock:reader; do
  program=${client%%:*}
  user=${client##*:}
  program_args=(--workdir "$scratch/$program")
  drive "$build/apps/$program" "import $scratch/$user.wxc" "visit 0" "wait-idle" "select-project Drawings" \
        "wait-idle" "focus documents" "grab $out/$program.png" "quit"
done
echo "screenshots written to $out"
