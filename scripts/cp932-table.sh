#!/usr/bin/env bash
# The code page 932 table of the POSIX build, dumped from Windows' own
# conversions: builds scripts/cp932-table.cpp with mingw-w64 and runs it under
# Wine with the ANSI code page 932.
#
#   scripts/cp932-table.sh           regenerates platform/cp932_table.cpp
#   scripts/cp932-table.sh --check   fails when a fresh dump differs from it
#
# Run inside the Wine session of scripts/test-windows.sh, or on its own (it
# then starts one). Installs what it needs when missing (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
. scripts/wine-env.sh

table=platform/cp932_table.cpp
if [ -z "${WINEPREFIX:-}" ]; then
  ensure_windows_tools
  ensure_japanese_locale
  trap stop_wine_session EXIT
  start_wine_session
fi

mkdir -p build/cp932
x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -static -o build/cp932/cp932-table.exe scripts/cp932-table.cpp
wine build/cp932/cp932-table.exe >build/cp932/cp932_table.cpp </dev/null

if [ "${1:-}" = --check ]; then
  if ! cmp -s build/cp932/cp932_table.cpp "$table"; then
    echo "FAIL: $table differs from a fresh dump of Windows' code page 932 (regenerate: bash scripts/cp932-table.sh)"
    diff "$table" build/cp932/cp932_table.cpp | head -20 || true
    exit 1
  fi
  echo "code page 932 table: equal to a fresh dump"
else
  cp build/cp932/cp932_table.cpp "$table"
  echo "wrote $table"
fi
