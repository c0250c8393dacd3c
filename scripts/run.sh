#!/usr/bin/env bash
# Runs Velmora:
#   scripts/run.sh                      the Windows program under Wine (with a display),
#                                       or, without a display, the bundled sample
#                                       converted by the console converter, with the
#                                       account of what the CSV file leaves out
#   scripts/run.sh SOURCE.vcf [DEST.csv]   converts an address book on the console
# Installs what it needs when missing (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

if [ $# -eq 0 ] && [ -n "${DISPLAY:-}" ]; then
  exec bash scripts/run-windows.sh
fi
if [ $# -eq 0 ]; then
  echo "画面（DISPLAY）がないため Velmora.exe を表示できません。同梱のサンプルをコンソール版で変換します。"
  echo "No display (DISPLAY is not set): converting the bundled sample with the console converter instead."
  echo
fi

build_native >/dev/null
source=${1:-samples/sample.vcf}
dest=${2:-build/$(basename "${source%.*}").csv}
status=0
# With the account of what the CSV file leaves out after the run's lines.
build/native/velmora-convert "$source" "$dest" --overwrite --report || status=$?
if [ -f "$dest" ] && [ $# -eq 0 ]; then
  echo
  echo "== $dest (Shift_JIS, shown here as UTF-8):"
  iconv -f CP932 -t UTF-8 "$dest"
fi
exit $status
