#!/usr/bin/env bash
# The Windows stage: cross-builds Velmora.exe, velmora-convert.exe and the
# test programs with mingw-w64, then, under Wine with the ANSI code page 932
# and a Japanese font on a virtual display, all with one Wine server,
#   1. runs the Windows build of the unit and end-to-end tests (velmora_tests)
#      and the dialog and Win32 platform tests (velmora_dialog_tests);
#   2. checks that velmora-convert.exe writes byte-identical CSV files and
#      prints the same lines as the native velmora-convert for every address
#      book in tests/data and samples;
#   3. checks that in a console the converter prints readable Japanese;
#   4. runs the fault matrix (tests/faults) through velmora-convert.exe.
#
#   scripts/test-windows.sh [NATIVE_VELMORA_CONVERT]
#
# Without an argument the native converter is built with the "native" preset.
# Installs what it needs when missing (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
. scripts/wine-env.sh

native=${1:-}
ensure_windows_tools
ensure_japanese_locale

if [ -z "$native" ]; then
  echo "== native console converter"
  build_native >/dev/null
  native=build/native/velmora-convert
fi
native=$(realpath "$native")

echo "== Windows build (mingw-w64)"
build_windows
for exe in build/mingw/app/Velmora.exe build/mingw/velmora-convert.exe; do
  # Only DLLs that every Windows has may be imported.
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  for dll in $imports; do
    case $dll in
      kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|shell32.dll|msvcrt.dll|advapi32.dll) ;;
      *) echo "FAIL: $exe imports $dll"; exit 1 ;;
    esac
  done
done

trap stop_wine_session EXIT
start_wine_session

echo "== Windows tests under Wine (code page 932)"
tests_status=0
ctest --preset mingw --timeout 300 || tests_status=$?

echo "== parity: velmora-convert.exe under Wine against the native velmora-convert"
work=build/parity
rm -rf "$work"
mkdir -p "$work/native" "$work/windows"
passed=0
failed=0
# Besides the test books and the samples, small books in every phone dialect.
mkdir -p "$work/books"
for style in feature carrier-a carrier-b carrier-c android smart iphone; do
  build/native/bench/velmora-genbook --style "$style" --contacts 300 "$work/books/$style.vcf" >/dev/null
done
# Every book in both layouts.
for layout in classic full; do
for source in tests/data/*.vcf samples/*.vcf "$work"/books/*.vcf; do
  name=$(basename "${source%.*}").$layout
  # A new destination each time, so that no overwrite question is asked.
  native_status=0
  "$native" "$source" "$work/native/$name.csv" --layout "$layout" >"$work/native/$name.out" 2>"$work/native/$name.err" ||
    native_status=$?
  windows_status=0
  wine build/mingw/velmora-convert.exe "$(winepath -w "$source")" "$(winepath -w "$work/windows")\\$name.csv" \
    --layout "$layout" >"$work/windows/$name.out" 2>"$work/windows/$name.err" </dev/null || windows_status=$?
  problems=()
  [ "$native_status" = "$windows_status" ] || problems+=("exit status $native_status vs $windows_status")
  for part in csv out err; do
    if [ -e "$work/native/$name.$part" ] || [ -e "$work/windows/$name.$part" ]; then
      cmp -s "$work/native/$name.$part" "$work/windows/$name.$part" || problems+=("$part differs")
    fi
  done
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $source ($layout): ${problems[*]}"
    for part in csv out err; do
      if ! cmp -s "$work/native/$name.$part" "$work/windows/$name.$part" 2>/dev/null; then
        cmp "$work/native/$name.$part" "$work/windows/$name.$part" || true
      fi
    done
  fi
done
done

echo "== parity: the account (--check) of velmora-convert.exe against the native one"
for layout in classic full; do
for source in samples/*.vcf tests/data/account_every_reason.vcf; do
  name=$(basename "${source%.*}").$layout
  native_status=0
  "$native" --check "$source" --layout "$layout" >"$work/native/$name.account" 2>&1 || native_status=$?
  windows_status=0
  wine build/mingw/velmora-convert.exe --check "$(winepath -w "$source")" --layout "$layout" \
    >"$work/windows/$name.account" 2>&1 </dev/null || windows_status=$?
  if [ "$native_status" = "$windows_status" ] && cmp "$work/native/$name.account" "$work/windows/$name.account"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: --check --layout $layout $source: exit status $native_status vs $windows_status"
  fi
done
done

bash scripts/test-code-page.sh "$native" "$work" || failed=$((failed + 1))

echo "== console: the converter's lines in a terminal"
# Under a pseudo-terminal the converter writes to the console, which shows
# characters; the Japanese lines must arrive readable, as on Windows.
console=$(script -qec "wine build/mingw/velmora-convert.exe '$(winepath -w samples/sample.vcf)' \
  '$(winepath -w "$work/windows")\\console.csv'" /dev/null </dev/null |
  sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d '\r')
expected=$(cat "$work/native/sample.classic.out")
if [ "$console" = "$expected" ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  echo "FAIL: console output differs:"
  printf '%s\n--- expected:\n%s\n' "$console" "$expected"
fi

echo "parity: $passed passed, $failed failed"

echo "== fault matrix: velmora-convert.exe under Wine"
faults_status=0
bash tests/faults/fault_matrix.sh --wine build/mingw/velmora-convert.exe \
  build/mingw/tests/windows/velmora_file_holder.exe || faults_status=$?

[ "$tests_status" -eq 0 ] || echo "FAIL: the Windows tests under Wine failed"
[ "$faults_status" -eq 0 ] || echo "FAIL: the fault matrix under Wine failed"
[ "$failed" -eq 0 ] && [ "$tests_status" -eq 0 ] && [ "$faults_status" -eq 0 ]
