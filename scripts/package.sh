#!/usr/bin/env bash
# Sets up the machine, builds (the normal build) and makes the Debian package
# build/package/wexmoor_<version>_<architecture>.deb with CPack. Install it with
#   sudo apt install ./build/package/wexmoor_*.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" normal
rm -f "$top"/build/package/*.deb
cpack --config "$top/build/normal/CPackConfig.cmake" -B "$top/build/package" >/dev/null
ls "$top"/build/package/*.deb
