#!/usr/bin/env bash
# Pictures for the README, made from the current code: starts Velmora.exe
# under Wine on a virtual display, clicks through the start screen, picks the
# sample address book with the source chooser, converts it, opens the account
# from its line in the message list, and saves
#   docs/start-screen.png    the start screen
#   docs/main-window.png     the main window after the conversion
#   docs/account-window.png  the account of what the CSV file leaves out
#
#   scripts/screenshots.sh
#
# Installs what it needs when missing (Debian 12, as root), including the
# Japanese font that the Wine prefix uses in place of "MS UI Gothic", set up
# as for the run command.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
. scripts/wine-env.sh

ensure_windows_tools imagemagick
ensure_japanese_locale

echo "== Windows build (mingw-w64)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$(nproc)" --target Velmora velmora_screenshot_driver

trap stop_wine_session EXIT
start_wine_session

# The sample goes where a user keeps documents, so that the fields show an
# ordinary Windows path; an earlier result is removed so that no overwrite
# question is asked.
documents="$(winepath -u 'C:\users\Public\Documents' 2>/dev/null)"
mkdir -p "$documents"
cp samples/sample.vcf "$documents/sample.vcf"
rm -f "$documents/sample.csv"

shots=build/screenshots
rm -rf "$shots"
mkdir -p "$shots" docs

wine build/mingw/app/Velmora.exe >/dev/null 2>&1 </dev/null &
program=$!
status=0
wine build/mingw/tests/windows/velmora_screenshot_driver.exe 'C:\users\Public\Documents\sample.vcf' \
  "$(winepath -w "$shots")" </dev/null || status=$?
if [ "$status" -ne 0 ]; then
  echo "FAIL: clicking through Velmora.exe failed"
  wineserver -k 2>/dev/null || true
  wait "$program" || true
  exit 1
fi
wait "$program" || true

convert "$shots/start-screen.bmp" -strip docs/start-screen.png
convert "$shots/main-window.bmp" -strip docs/main-window.png
convert "$shots/account-window.bmp" -strip docs/account-window.png
echo "== the converted sample, as the program wrote it:"
iconv -f CP932 -t UTF-8 "$documents/sample.csv" | head -3 | cut -c1-120
echo "saved docs/start-screen.png, docs/main-window.png and docs/account-window.png"
