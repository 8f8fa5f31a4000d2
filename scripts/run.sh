#!/usr/bin/env bash
# Sets up the machine, builds, and starts the server in the console.
# Extra arguments go to the server (for example --workdir DIR --root DIR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" normal
server="$top/build/normal/apps/wexmoor"
if [ ! -x "$server" ]; then
  echo "The server program is not built yet: $server is missing." >&2
  exit 1
fi
exec "$server" --headless "$@"
