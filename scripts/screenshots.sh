#!/usr/bin/env bash
# Takes the screenshots of the three programs on a demo library, each program alone
# under a virtual display, maximised, once it is ready, and of each of the server's
# dialogs and its help window (wexmoor-NAME.png), of the client's history window and
# text comparison (brannock-history.png, brannock-compare.png), of Find in Library over
# the client (find-in-library.png), of the client's two most common notices
# (notice-server-gone.png, notice-failed-visit.png) and of the refusal of a server
# whose TLS certificate is not the pinned one (notice-wrong-fingerprint.png):
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

# Runs a program with --test-hooks under its own virtual display (start), writes it
# commands (send), waits until it has answered "ok" to a number of them (answered),
# and waits for it to end after its last command made it quit (finish); fails when a
# command does not answer "ok".
replies="$scratch/replies"
start() {
  program=$1
  local input="$scratch/input"
  rm -f "$input"
  mkfifo "$input"
  QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "$screen" \
      "$program" --test-hooks "${program_args[@]}" < "$input" > "$replies" 2> "$scratch/errors" &
  program_pid=$!
  exec 3> "$input"
  sent=0
}
send() {
  printf '%s\n' "$@" >&3
  sent=$((sent + $#))
}
failed() {
  echo "screenshots: $(basename "$program") did not answer every command:" >&2
  cat "$replies" "$scratch/errors" >&2
  exit 1
}
answered() {
  for _ in $(seq 600); do
    [ "$(grep -c '^ok' "$replies")" -ge "$sent" ] && return 0
    grep -q '^error' "$replies" && failed
    sleep 0.1
  done
  failed
}
finish() {
  wait "$program_pid" || true
  exec 3>&-
  [ "$(grep -c '^ok' "$replies")" -ge "$sent" ] || failed
}
drive() {
  start "$1"
  shift
  send "$@"
  finish
}

program_args=(--workdir "$scratch/server")
server_windows=()
for window in users groups rootpath address libraryname checkout about help; do
  server_windows+=("grab-dialog $window $out/wexmoor-$window.png")
done
drive "$build/apps/wexmoor" "wait-ready" "grab $out/wexmoor.png" "${server_windows[@]}" "quit"

"$build/apps/wexmoor" --headless --workdir "$scratch/server" > "$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q "Listening port is $port" "$scratch/server.log" && break; sleep 0.1; done

program_args=(--workdir "$scratch/brannock" --create-workdir)
# Then a document's history and the comparison of its two versions.
drive "$build/apps/brannock" "import $scratch/reader.wxc" "visit 0" "wait-idle" "select-project Drawings" \
      "wait-idle" "focus documents" "grab $out/brannock.png" \
      "dialog CFindInLibraryDlg set 1201 .txt click 1203 wait-enabled 1203 30 grab $out/find-in-library.png click 1208" \
      "command 32793" "select-project Manuals" "wait-idle" "select-document Operator-Guide.txt" \
      "dialog CHistoryDlg row 1001 0 grab $out/brannock-history.png also 1001 1 click 1004 await CCompareDlg click Close" \
      "dialog CCompareDlg grab $out/brannock-compare.png click Close" "command 32790" "quit"

# The publisher, then the two notices a user meets most: the server gone while a
# library is open, and a visit that finds no server.
program_args=(--workdir "$scratch/brannockpublisher" --create-workdir)
start "$build/apps/brannockpublisher"
send "import $scratch/editor.wxc" "visit 0" "wait-idle" "select-project Drawings" "wait-idle" "focus documents" \
     "grab $out/brannockpublisher.png"
answered
kill -KILL "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=
send "wait-closed 15" "grab-box $out/notice-server-gone.png" "visit 0" "wait-closed 15" \
     "grab-box $out/notice-failed-visit.png" "quit"
finish

# A certificate pinning the server's TLS key, then a renewed key: the client refuses the server.
admin=("$build/apps/wexmoor" admin --workdir "$scratch/server")
"${admin[@]}" tls-init > /dev/null
"${admin[@]}" set-tls optional > /dev/null
"${admin[@]}" certificate reader "$scratch/pinned.wxc" > /dev/null
"${admin[@]}" tls-init --renew > /dev/null
"$build/apps/wexmoor" --headless --workdir "$scratch/server" > "$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q "Listening port is $port" "$scratch/server.log" && break; sleep 0.1; done
program_args=(--workdir "$scratch/brannock-tls" --create-workdir)
drive "$build/apps/brannock" "import $scratch/pinned.wxc" "visit 0" "wait-closed 15" \
      "grab-box $out/notice-wrong-fingerprint.png" "quit"
echo "screenshots written to $out"
