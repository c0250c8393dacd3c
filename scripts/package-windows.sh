#!/usr/bin/env bash
# The release package: cross-builds Velmora.exe and velmora-convert.exe and
# zips them with the Japanese and English read-me into
#   build/mingw/package/Velmora-1.0.0-win64.zip
#
#   scripts/package-windows.sh
#
# Installs mingw-w64 when missing (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

ensure_packages cmake ninja-build googletest g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$(nproc)" --target Velmora velmora-convert
(cd build/mingw && cpack --config CPackConfig.cmake)
ls -l build/mingw/package/*.zip
