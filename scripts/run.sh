#!/usr/bin/env bash
# Sets up the machine, builds, and runs the system from run/ (kept between runs):
# the server works in run/server (library run/server/library), the client in run/client.
# With a display: the windowed server and BrannockPublisher, until both are closed
# (Ctrl-C asks both to close in order). Without one: the server without windows,
# until Ctrl-C. Extra arguments go to the server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" normal
bin="$top/build/normal/apps"
for program in wexmoor brannockpublisher; do
  if [ ! -x "$bin/$program" ]; then
    echo "The program $program is not built: $bin/$program is missing." >&2
    exit 1
  fi
done

server_dir="$top/run/server"
client_dir="$top/run/client"
mkdir -p "$server_dir/library" "$client_dir"
[ -f "$client_dir/ErrorStringLookup.txt" ] || cp "$top/resources/ErrorStringLookup.txt" "$client_dir/"
server_args=(--workdir "$server_dir" --root "$server_dir/library" "$@")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the server without windows. The desktop clients and the server's" \
       "Administration menu need a display."
  echo "To make a user and its connection certificate, run this in another terminal while the server runs" \
       "(it asks for the password):"
  echo "  $bin/wexmoor admin --workdir $server_dir --root $server_dir/library add-user NAME $client_dir/NAME.wxc"
  exec "$bin/wexmoor" --headless "${server_args[@]}"
fi

"$bin/wexmoor" "${server_args[@]}" &
server=$!
"$bin/brannockpublisher" --workdir "$client_dir" &
client=$!
# Both programs close their windows in order on SIGTERM.
trap 'kill -TERM "$client" "$server" 2>/dev/null || true' INT TERM
# A trapped signal ends `wait` early: wait again until the program has really gone.
wait_for() {
  local rc=0
  while kill -0 "$1" 2>/dev/null; do
    if wait "$1"; then rc=0; else rc=$?; fi
  done
  return "$rc"
}
status=0
wait_for "$client" || status=$?
wait_for "$server" || status=$?
exit "$status"
