#!/usr/bin/env bash
# Runs Velmora:
#   scripts/run.sh                      the Windows program under Wine (with a display),
#                                       or, without a display, the two bundled samples
#                                       (a feature phone's and a smartphone's export)
#                                       converted by the console converter, each with
#                                       the account of what the CSV file leaves out
#   scripts/run.sh SOURCE.vcf [DEST.csv]   converts an address book on the console
# Installs what it needs when missing (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

if [ $# -eq 0 ] && [ -n "${DISPLAY:-}" ]; then
  exec bash scripts/run-windows.sh
fi
if [ $# -eq 0 ]; then
  echo "画面（DISPLAY）がないため Velmora.exe を表示できません。同梱のサンプル2件をコンソール版で変換します。"
  echo "No display (DISPLAY is not set): converting the two bundled samples with the console converter instead."
fi

build_native >/dev/null
status=0
# Converts one book, with the account of what the CSV file leaves out after
# the run's lines.
convert() {
  local source=$1 dest=$2
  build/native/velmora-convert "$source" "$dest" --overwrite --report || status=$?
}
if [ $# -gt 0 ]; then
  convert "$1" "${2:-build/$(basename "${1%.*}").csv}"
  exit $status
fi
for source in samples/sample.vcf samples/smartphone.vcf; do
  dest=build/$(basename "${source%.*}").csv
  echo
  echo "== $source → $dest"
  convert "$source" "$dest"
  if [ -f "$dest" ]; then
    echo
    echo "== $dest (Shift_JIS, shown here as UTF-8):"
    iconv -f CP932 -t UTF-8 "$dest"
  fi
done
exit $status
