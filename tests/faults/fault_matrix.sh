#!/usr/bin/env bash
# The fault matrix: what the console converter shows and leaves on disk for
# the faults that need a real operating system: files held by another program,
# permissions, a file-size limit, a real full file system, sources larger than
# memory, standard input that is no terminal. Those that need none (failing
# reads and writes, a full disk, folders where files are expected, missing
# files) are unit tests through a file system in memory (run_faults_test.cpp).
# Each case checks the exit status, the exact lines on standard output and
# error, the destination's bytes afterwards and that the source is unchanged.
# The texts and the CSV header come from the program's sources through
# velmora_fault_texts, which the build puts into tests/ beside the converter.
#
# Usage: fault_matrix.sh VELMORA_CONVERT
#        fault_matrix.sh --wine VELMORA_CONVERT.EXE VELMORA_FILE_HOLDER.EXE
# With --wine the Windows converter runs under Wine (set up by the caller, see
# scripts/wine-env.sh) with Windows paths, and velmora_file_holder.exe holds
# files; the cases that need POSIX means (flock, another user, resource
# limits) run natively only, as "nobody" (setpriv) when run as root.
set -u

windows=""
if [ "${1:-}" = --wine ]; then windows=yes; shift; fi
texts_program="$(dirname "$1")/tests/velmora_fault_texts${windows:+.exe}"
[ -x "$texts_program" ] || { echo "missing $texts_program: build the tests first"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-faults.XXXXXX")
chmod 755 "$work"  # the cases run as "nobody" must reach their files
holder="" mounted="" drive="" linked=""  # drive: the Wine drive letter linked to the folder $linked
trap 'release_file; unlink_drive; [ -z "$mounted" ] || umount "$mounted"; rm -rf "$work"' EXIT
if [ -n "$windows" ]; then
  convert=$(realpath "$1") file_holder=$(realpath "$2")
  texts() { wine "$texts_program" "$@"; }
else
  convert="$work/velmora-convert"  # a copy that "nobody" can run wherever the build lives
  cp "$1" "$convert" && chmod 755 "$convert"
  texts() { "$texts_program" "$@"; }
fi

# The path as the converter is given it: under Wine the drive linked to the
# folder $linked, or Z:, which maps the root folder.
windows_path() {
  local path=$1
  if [ -n "$drive" ] && [ "${path#"$linked"/}" != "$path" ]; then path="$drive/${path#"$linked"/}"; else path="z:$path"; fi
  printf '%s' "${path//\//\\}"
}
run_converter() { # SOURCE DESTINATION OPTION...
  if [ -z "$windows" ]; then "${runner[@]}" "$convert" "$@"; return; fi
  local source destination
  source=$(windows_path "$1") destination=$(windows_path "$2") && shift 2
  wine "$convert" "$source" "$destination" "$@"
}
# Under Wine: the folder $1 becomes a drive of its own (its letter in $drive).
link_drive() {
  local letter
  for letter in v w x y; do
    [ -e "$WINEPREFIX/dosdevices/$letter:" ] || { linked=$1 drive="$letter:"; ln -s "$1" "$WINEPREFIX/dosdevices/$drive"; return; }
  done
  echo "no free drive letter in $WINEPREFIX"; exit 1
}
unlink_drive() { if [ -n "$drive" ]; then rm -f "$WINEPREFIX/dosdevices/$drive"; drive=""; fi; }

# row NAME: the contact line of a contact with only a name, in column 1 of 95.
row() { printf ',"%s"' "$1"; printf ',%.0s' {1..93}; printf '\r\n'; }
# A file's identity for the before/after checks: its bytes, or for a file too
# big to read in a test its size and modification time.
fingerprint() { if [ ! -e "$1" ]; then echo absent; elif [ "$(stat -c %s "$1")" -gt 100000000 ]; then stat -c '%s, %Y' "$1"
  else sha256sum <"$1"; fi; }
size_of() { if [ -e "$1" ]; then echo "$(stat -c %s "$1") B"; else echo absent; fi; }
as_nobody() { if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; else "$@"; fi; }

# run_case DESCRIPTION WHAT-THE-DESTINATION-HOLDS-AFTER
# Reads: src, dst, options (array), runner (array, command prefix), status,
# out and err (arrays of the lines expected on stdout and stderr), expected
# (file of the destination's bytes afterwards, or "absent"), max_seconds.
failures=0 cases=0 table=()
defaults() { options=() runner=() out=() err=() status=0 expected=absent max_seconds=""; }
run_case() {
  local description=$1 after_words=$2 problems=() source_before dest_before started actual seconds
  cases=$((cases + 1))
  source_before=$(fingerprint "$src") dest_before=$(size_of "$dst") started=$(date +%s)
  run_converter "$src" "$dst" "${options[@]}" </dev/null >"$work/out" 2>"$work/err"
  actual=$? seconds=$(($(date +%s) - started))
  [ "$actual" -eq "$status" ] || problems+=("exit status $actual, expected $status")
  cmp -s "$work/out" <(if [ ${#out[@]} -gt 0 ]; then printf '%s\n' "${out[@]}"; fi) ||
    problems+=("standard output: $(paste -sd'|' "$work/out")")
  cmp -s "$work/err" <(if [ ${#err[@]} -gt 0 ]; then printf '%s\n' "${err[@]}"; fi) ||
    problems+=("standard error: $(paste -sd'|' "$work/err")")
  if [ "$expected" = absent ]; then [ ! -e "$dst" ] || problems+=("the destination exists ($(size_of "$dst"))")
  else cmp -s "$dst" "$expected" || problems+=("destination bytes differ: $(cmp "$dst" "$expected" 2>&1 | head -1)"); fi
  [ "$(fingerprint "$src")" = "$source_before" ] || problems+=("the source changed")
  [ -z "$max_seconds" ] || [ "$seconds" -le "$max_seconds" ] || problems+=("took ${seconds} s, over ${max_seconds} s")
  local shown verdict=ok  # repeated lines are shown once with their count
  shown=$(uniq -c "$work/out" | sed -E 's/^ *1 //; s/^ *([0-9]+) (.*)/\2 ×\1/' | paste -sd'/' | sed 's#/# / #g')
  [ -s "$work/err" ] && shown="${shown:+$shown; }stderr: $(paste -sd' ' "$work/err")"
  if [ ${#problems[@]} -gt 0 ]; then
    verdict=FAIL failures=$((failures + 1)) && echo "FAIL: $description" && printf '  %s\n' "${problems[@]}"
  fi
  table+=("| $cases | $description | $actual | ${shown:-(nothing)} | $dest_before | $(size_of "$dst"): $after_words | $verdict |")
  defaults
}
defaults

fresh_dst() { rm -rf "$work/dst"; mkdir -p "$work/dst"; chmod 777 "$work/dst"; dst="$work/dst/out.csv"; }
expect() { expected="$work/expected.$cases"; cat >"$expected"; }  # the destination's bytes afterwards

# Another program holds the file $1 open: "none" lets no one else open it,
# "read" lets others read it but not write it, as a spreadsheet showing the
# file does. Natively a lock (flock, exclusive or shared) held by another
# process; under Wine, velmora_file_holder.exe. Returns once the file is held.
hold_file() {
  local kind=-x i said=""
  if [ -n "$windows" ]; then
    coproc HOLDER { exec wine "$file_holder" "$(windows_path "$1")" "$2"; }
    holder=$HOLDER_PID && read -r said <&"${HOLDER[0]}"
    [ "${said%$'\r'}" = holding ] && return || { echo "velmora_file_holder.exe could not open $1"; exit 1; }
  fi
  [ "$2" = read ] && kind=-s
  (exec 9<"$1"; flock "$kind" 9; exec sleep 60) &
  holder=$!
  for ((i = 0; i < 100; i++)); do flock -n -x "$1" true 2>/dev/null || return 0; sleep 0.05; done
  echo "could not take the lock on $1"; exit 1
}
release_file() {
  [ -n "$holder" ] || return 0
  # The holder under Wine lets go at the end of its input.
  if [ -n "$windows" ]; then exec {HOLDER[1]}>&-; else kill "$holder" 2>/dev/null; fi
  wait "$holder" 2>/dev/null; holder=""
}

# The texts as the converter prints them, each in $text_NAME, and the header.
while IFS=$'\t' read -r name value; do printf -v "text_$name" '%b' "${value%$'\r'}"; done < <(texts messages)
[ -n "${text_converting:-}" ] || { echo "no texts from $texts_program"; exit 1; }
header="$work/header.csv" && texts header >"$header"
counts() { printf "$text_countsFormat" "$1" "$2"; }
book="$work/book.vcf"  # three contacts, each a line of 101 bytes
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:%s\r\nEND:VCARD\r\n' one two six >"$book"
old="$work/old.csv" && { cat "$header"; row old; } >"$old"  # what an earlier conversion left

# ---- Files held by another program, permissions, no terminal
for held in "source none" "destination none" "destination read"; do
  fresh_dst; src="$book"; cp "$old" "$dst"
  if [ "${held% *}" = source ]; then hold_file "$src" none; err=("$text_sourceUnreadable")
  else hold_file "$dst" "${held#* }"; err=("$text_destinationUnwritable"); fi
  options=(--overwrite) status=1 out=("$text_converting" "$text_failed") expected="$old"
  [ "${held#* }" = none ] && how="held open by another program, no sharing" ||
    how="open in another program that lets others read only (a spreadsheet)"
  run_case "${held% *} $how, --overwrite" "unchanged, not truncated"
  release_file
done
if [ -z "$windows" ]; then
  fresh_dst; cp "$book" "$work/locked.vcf"; chmod 000 "$work/locked.vcf"; src="$work/locked.vcf"
  runner=(as_nobody) status=1 out=("$text_converting" "$text_failed") err=("$text_sourceUnreadable")
  run_case "source unreadable (mode 000, run as nobody)" "not created"
  for mode in --overwrite --append; do
    fresh_dst; chmod 755 "$work/dst"; src="$book"; cp "$old" "$dst"; chmod 444 "$dst"
    runner=(as_nobody) options=("$mode") status=1 out=("$text_converting" "$text_failed") err=("$text_destinationUnwritable")
    expected="$old"
    run_case "destination read-only (mode 444, run as nobody), $mode" "unchanged"
  done
fi
fresh_dst; src="$book"; cp "$old" "$dst"
err=("$text_destinationExists") expected="$old"
run_case "Cancel: destination exists, no option, standard input not a terminal" "unchanged"

# ---- The destination's file system fills up
if [ -z "$windows" ]; then
  # Past the file-size limit a write fails (SIGXFSZ ignored) as on a full disk.
  fresh_dst; src="$book"
  runner=(prlimit --fsize=$(($(wc -c <"$header") + 101 + 40))) status=1
  out=("$text_converting" "$text_rowFailed" "$text_rowFailed" "$text_completed" "$(counts 3 1)")
  expect < <(cat "$header"; row one)
  run_case "file-size limit midway (room for header, 1 line and 40 bytes), new file" "header and line 1; no part of line 2"
fi
# The root of an empty drive (a new memory card) is a folder to write into,
# though a search of it finds no entry at all, not even "." and "..".
if [ -n "$windows" ]; then
  mkdir -p "$work/card"; link_drive "$work/card"
  src="$book" dst="$work/card/out.csv"
  out=("$text_converting" "$text_completed" "$(counts 3 3)")
  expect < <(cat "$header"; row one; row two; row six)
  run_case "destination in the root of an empty drive" "header and 3 lines"
  unlink_drive
fi
# A real full disk where a small file system can be mounted (root outside a
# restricted container): an 8 KiB tmpfs, a book of 100 contacts. Under Wine
# it is a drive of its own, as a full USB stick would be.
full="$work/full" && mkdir -p "$work/full"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=8k velmora-full "$full" 2>/dev/null; then
  mounted="$full"
  [ -z "$windows" ] || link_drive "$full"
  big_book="$work/book100.vcf" && printf 'BEGIN:VCARD\r\nN:c%03d\r\nEND:VCARD\r\n' {1..100} >"$big_book"
  for i in $(seq -f %03g 1 100); do row "c$i"; done >"$work/rows100.csv"
  mkdir "$full/csv"  # the files go into a folder of the drive
  for mode in new --append; do
    rm -f "$full/csv/out.csv"
    src="$big_book" dst="$full/csv/out.csv" base="$header" base_words="header"
    if [ "$mode" = --append ]; then cp "$old" "$dst"; base="$old" base_words="old bytes unchanged" options=(--append); fi
    fit=$(((8192 - $(stat -c %s "$base")) / 102))
    status=1 out=("$text_converting")
    for ((i = fit; i < 100; i++)); do out+=("$text_rowFailed"); done
    out+=("$text_completed" "$(counts 100 "$fit")")
    expect < <(cat "$base" "$work/rows100.csv" | head -c $(($(stat -c %s "$base") + fit * 102)))
    run_case "8 KiB file system (tmpfs) full midway, ${mode/new/new file}" "$base_words, $fit whole lines, no part of the next"
  done
  unlink_drive && umount "$full" && mounted=""
else
  cases=$((cases + 1)) && echo "skipped: the 8 KiB file system cases, mounting a file system is not allowed here"
  table+=("| $cases | 8 KiB file system (tmpfs) full midway | | skipped: mounting is not allowed here | | | skipped |")
fi

# ---- Sources that do not fit in memory
available=$(($(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo) * 1024))
fresh_dst; src="$work/huge.vcf" && truncate -s $((available * 2)) "$src" || echo "FAIL: cannot make a sparse file of $((available * 2)) bytes in $work"
status=1 out=("$text_converting" "$text_failed") err=("$text_sourceUnreadable") max_seconds=5
run_case "source (sparse) twice as large as the available memory" "not created"
rm -f "$src"
if [ -z "$windows" ]; then
  fresh_dst; src="$work/big.vcf" && truncate -s $((1024 * 1024 * 1024)) "$src" || echo "FAIL: cannot make a sparse file of 1 GiB in $work"
  runner=(prlimit --as=$((256 * 1024 * 1024))) status=1 out=("$text_converting" "$text_failed") max_seconds=5
  err=("$text_sourceUnreadable")
  run_case "1 GiB source under a 256 MiB address-space limit" "not created"
  rm -f "$src"
fi

printf '\n| # | fault | exit | messages shown | destination before | destination after | |\n|---|---|---|---|---|---|---|\n'
printf '%s\n' "${table[@]}" ""
echo "fault matrix: $((cases - failures)) of $cases cases passed"
[ "$failures" -eq 0 ]
