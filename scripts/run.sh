#!/usr/bin/env bash
# Builds the console converter and converts an address book:
#   scripts/run.sh [SOURCE.vcf [DEST.csv]]
# Without arguments it converts the bundled sample into build/sample.csv and
# shows the result as UTF-8.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

build_native >/dev/null
source=${1:-samples/sample.vcf}
dest=${2:-build/$(basename "${source%.*}").csv}
status=0
build/native/velmora-convert "$source" "$dest" --overwrite || status=$?
if [ -f "$dest" ] && [ $# -eq 0 ]; then
  echo
  echo "== $dest (Shift_JIS, shown here as UTF-8):"
  iconv -f CP932 -t UTF-8 "$dest"
fi
exit $status
