#!/usr/bin/env bash
# Code page 932 in the Windows stage, run by scripts/test-windows.sh inside
# its Wine session:
#   1. the committed table (platform/cp932_table.cpp) equals a fresh dump of
#      Windows' own conversions;
#   2. the native converter and velmora-convert.exe write byte-identical CSV
#      files for two generated books holding every class of character that
#      converters treat differently (tests/code_page_books.cpp): UTF-8 values
#      with best-fit letters, JIS-variant dashes, NEC and IBM extensions,
#      characters outside the BMP and ill-formed sequences, and a UTF-16LE
#      source with the same characters.
#
#   scripts/test-code-page.sh NATIVE_VELMORA_CONVERT WORK_FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
native=$1
work=$2/code-page
books=build/native/tests/velmora_code_page_books
[ -x "$books" ] || build_native >/dev/null
status=0
echo "== code page 932: the table against Windows, and parity on every class of character"

bash scripts/cp932-table.sh --check || status=1

rm -rf "$work"
mkdir -p "$work/native" "$work/windows"
"$books" "$work"
for source in "$work"/*.vcf; do
  name=$(basename "${source%.*}")
  "$native" "$source" "$work/native/$name.csv" >/dev/null 2>&1 || true
  wine build/mingw/velmora-convert.exe "$(winepath -w "$source")" "$(winepath -w "$work/windows")\\$name.csv" \
    >/dev/null 2>&1 </dev/null || true
  if [ -s "$work/native/$name.csv" ] && cmp "$work/native/$name.csv" "$work/windows/$name.csv"; then
    echo "code page parity: $name.vcf: byte-identical"
  else
    echo "FAIL: code page parity: $name.vcf: the native and the Windows converter differ"
    status=1
  fi
done
exit $status
