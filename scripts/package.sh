#!/usr/bin/env bash
# Sets up the machine, builds what the package holds (the programs, their pages and
# icons; no tests, benchmarks or fuzz targets) in build/package-build and makes the
# Debian package build/package/wexmoor_<version>_<architecture>.deb with CPack.
# Install it with
#   sudo apt install ./build/package/wexmoor_*.deb
# The package's Maintainer is WEX_MAINTAINER ("Name <address>"), else
# "$DEBFULLNAME <$DEBEMAIL>" when DEBEMAIL is set.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
maintainer=${WEX_MAINTAINER:-}
if [ -z "$maintainer" ] && [ -n "${DEBEMAIL:-}" ]; then
  maintainer="${DEBFULLNAME:-Wexmoor administrators} <$DEBEMAIL>"
fi
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEX_WARNINGS_AS_ERRORS=ON -DWEX_BUILD_TESTS=OFF -DWEX_BUILD_BENCH=OFF
       -DWEX_FUZZ=OFF)
if [ -n "$maintainer" ]; then
  flags+=("-DWEX_PACKAGE_MAINTAINER=$maintainer")
else
  flags+=(-UWEX_PACKAGE_MAINTAINER)   # the default, whatever an earlier run set
fi
cmake -S "$top" -B "$top/build/package-build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$top/build/package-build" -j "$(nproc)"
rm -f "$top"/build/package/*.deb
cpack --config "$top/build/package-build/CPackConfig.cmake" -B "$top/build/package" >/dev/null
ls "$top"/build/package/*.deb
