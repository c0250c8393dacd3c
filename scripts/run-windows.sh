#!/usr/bin/env bash
# Starts the Windows program on Linux: cross-builds Velmora.exe and runs it
# under Wine with the Japanese ANSI code page 932 on the current display.
# On a machine with no display it says so and converts the bundled sample
# with the Windows console converter instead, into build/sample.csv.
#
#   scripts/run-windows.sh
#
# Installs mingw-w64, Wine and a Japanese font when missing (Debian 12, as
# root).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
. scripts/wine-env.sh

ensure_windows_tools
ensure_japanese_locale
build_windows >/dev/null

# A prefix of its own: windows here are managed by the desktop's window
# manager, unlike in the test prefix. A link pressed in the program opens the
# desktop's web browser.
use_wine_prefix "$PWD/build/wine-desktop"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
prepare_wine_prefix

if [ -z "${DISPLAY:-}" ]; then
  echo "画面（DISPLAY）がないため Velmora.exe を表示できません。同梱のサンプルをコンソール版で変換します。"
  echo "No display (DISPLAY is not set): converting the bundled sample with the console converter instead."
  wine build/mingw/velmora-convert.exe "$(winepath -w samples/sample.vcf)" \
    "$(winepath -w build)\\sample.csv" --overwrite </dev/null
  echo
  echo "== build/sample.csv (Shift_JIS, shown here as UTF-8):"
  iconv -f CP932 -t UTF-8 build/sample.csv
  exit 0
fi
exec wine build/mingw/app/Velmora.exe
