#!/usr/bin/env bash
# The fault matrix: what the console converter shows and what it leaves on
# disk when the source or the destination cannot be used, when the file
# system fills up, when the source does not fit in memory, and for malformed
# sources. Every case checks the exit status, the exact lines on standard
# output and standard error, the exact bytes of the destination afterwards,
# and that the source was not modified; a table of all cases is printed.
#
# Usage: fault_matrix.sh VELMORA_CONVERT
#        fault_matrix.sh --wine VELMORA_CONVERT.EXE VELMORA_FILE_HOLDER.EXE
#
# With --wine the Windows converter runs under Wine (in the prefix and with
# the code page the caller set up, see scripts/wine-env.sh), given Windows
# paths; another program holding a file is velmora_file_holder.exe, which
# opens it without sharing, or letting others only read it. The cases that
# need POSIX means (flock, running as another user, resource limits) run
# natively only.
#
# Permissions do not stop root, so the unreadable-source and read-only-
# destination cases run the converter as the user "nobody" (setpriv) when
# this script runs as root. The full file system is a file-size limit
# (RLIMIT_FSIZE through prlimit): a write past it fails the way a write to a
# full disk does; where a file system can be mounted, an 8 KiB tmpfs fills up
# for real as well. "Larger than memory" is a sparse file bigger than the memory
# the system has available, and a smaller one under an address-space limit.
set -u

windows=""
if [ "${1:-}" = --wine ]; then
  windows=yes
  shift
fi
here=$(cd "$(dirname "$0")" && pwd)
data=$(cd "$here/../data" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-faults.XXXXXX")
chmod 755 "$work"  # the cases run as "nobody" must reach their files
holder=""
mounted=""
drive=""  # the Wine drive letter linked to the small file system
cleanup() {
  release_file
  if [ -n "$drive" ]; then rm -f "$WINEPREFIX/dosdevices/$drive"; fi
  if [ -n "$mounted" ]; then umount "$mounted"; fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ -n "$windows" ]; then
  convert=$(realpath "$1")
  file_holder=$(realpath "$2")
else
  # A copy that "nobody" can run wherever the build lives.
  convert="$work/velmora-convert"
  cp "$1" "$convert"
  chmod 755 "$convert"
fi

# The path as the converter is given it: under Wine the drive that maps the
# small file system, or Z:, which maps the root folder.
windows_path() {
  local path=$1
  if [ -n "$drive" ] && [ "${path#"$full"/}" != "$path" ]; then
    path="$drive/${path#"$full"/}"
  else
    path="z:$path"
  fi
  printf '%s' "${path//\//\\}"
}
run_converter() { # SOURCE DESTINATION OPTION...
  if [ -n "$windows" ]; then
    local source destination
    source=$(windows_path "$1") destination=$(windows_path "$2")
    shift 2
    wine "$convert" "$source" "$destination" "$@"
  else
    "${runner[@]}" "$convert" "$@"
  fi
}

# Texts of the conversion run.
CONVERTING="変換処理中..."
FAILED="変換処理に失敗しました。"
DONE="変換が完了しました。"
NOTHING="出力対象データが1件もありませんでした。"
ROW_FAILED="vCard情報のCSV出力に失敗しました。"
HEADER_FAILED="ヘッダ情報のCSV出力に失敗しました。"
SOURCE_MISSING="変換元ファイルがありません。"
FOLDER_MISSING="変換先フォルダがありません。"
ENCODING="変換元ファイルの文字コードに対応していません。"
READ_1="変換元ファイルが読み込めません。"
READ_2="他で使用中もしくは破損している可能性があります。"
WRITE_1="変換先ファイルへ書き込めません。"
WRITE_2="他で使用中もしくは書込み禁止の可能性があります。"
EXISTS_1="変換先ファイルが既に存在します。--overwrite（上書き保存）か --append（追加保存）を指定して下さい。"
EXISTS_2="The destination exists: add --overwrite or --append."
counts() { printf '入力データ：%d件、　出力データ：%d件' "$1" "$2"; }

# The header line, written out from its column names.
names="肩書き,名,ミドル ネーム,姓,敬称,会社名,部署,役職,番地 (会社),住所 2 (会社),住所 3 (会社),\
市町村 (会社),都道府県 (会社),郵便番号 (会社),国 (会社)/地域,番地 (自宅),住所 2 (自宅),住所 3 (自宅),\
市町村 (自宅),都道府県 (自宅),郵便番号 (自宅),国 (自宅)/地域,番地 (その他),住所 2 (その他),住所 3 (その他),\
市町村 (その他),都道府県 (その他),郵便番号 (その他),国 (その他)/地域,秘書の電話,会社 FAX,会社電話,会社電話 2,\
コールバック,自動車電話,会社代表電話,自宅 FAX,自宅電話,自宅電話 2,ISDN,携帯電話,その他の FAX,その他の電話,\
ポケットベル,通常の電話,無線電話,TTY/TDD,テレックス,ID 番号,Web ページ,アカウント,イニシャル,\
インターネット空き時間情報,キーワード,その他住所私書箱,ディレクトリ サーバー,プライベート,マネージャー,メモ,\
ユーザー 1,ユーザー 2,ユーザー 3,ユーザー 4,会社 ID,会社住所私書箱,会社名フリガナ,記念日,経費情報,言語,参照事項,\
子供,支払い条件,事業所,自宅住所私書箱,趣味,場所,職業,姓フリガナ,性別,誕生日,電子メール アドレス,\
電子メールの種類,電子メール表示名,電子メール 2 アドレス,電子メール 2 の種類,電子メール 2 表示名,\
電子メール 3 アドレス,電子メール 3 の種類,電子メール 3 表示名,配偶者,秘書の氏名,秘密度,分類,名前フリガナ,優先度"
header="$work/header.csv"
{ printf '%s' "$names" | iconv -f UTF-8 -t CP932; printf '\r\n'; } >"$header"
if [ "$(wc -c <"$header")" -ne 1130 ]; then echo "the expected header is not 1130 bytes"; exit 1; fi

# row COLUMN VALUE ...: one contact line with the given columns quoted.
row() {
  local -A value=()
  while [ $# -gt 0 ]; do value[$1]=$2; shift 2; done
  local c
  for ((c = 0; c < 94; c++)); do
    if [ -n "${value[$c]+set}" ]; then printf '"%s"' "${value[$c]}"; fi
    printf ','
  done
  printf '\r\n'
}

# A file's identity for the before/after checks: its bytes, or for a file too
# big to read in a test its size and modification time.
fingerprint() {
  if [ ! -e "$1" ]; then echo absent
  elif [ -d "$1" ]; then echo folder
  elif [ "$(stat -c %s "$1")" -gt 100000000 ]; then stat -c '%s bytes, mtime %Y' "$1"
  else echo "$(stat -c %s "$1") bytes, sha256 $(sha256sum <"$1" | cut -c1-12)"
  fi
}
size_of() {
  if [ -d "$1" ]; then echo folder
  elif [ -e "$1" ]; then echo "$(stat -c %s "$1") B"
  else echo absent
  fi
}

as_nobody() {
  if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; else "$@"; fi
}

# run_case DESCRIPTION WHAT-THE-DESTINATION-HOLDS-AFTER
# Reads: src, dst, options (array), runner (array, command prefix), input
# (standard input), status, out (array of stdout lines), err (array of stderr
# lines), expected (file of the destination's bytes afterwards, or "absent"),
# max_seconds (optional).
failures=0
cases=0
table=()
run_case() {
  local description=$1 after_words=$2
  cases=$((cases + 1))
  local source_before dest_before
  source_before=$(fingerprint "$src")
  dest_before=$(size_of "$dst")
  local started ended actual
  started=$(date +%s%N)
  run_converter "$src" "$dst" "${options[@]}" <"${input:-/dev/null}" >"$work/out" 2>"$work/err"
  actual=$?
  ended=$(date +%s%N)
  local seconds=$(((ended - started) / 1000000000))
  local problems=()
  [ "$actual" -eq "$status" ] || problems+=("exit status $actual, expected $status")
  if [ ${#out[@]} -eq 0 ]; then : >"$work/out.expected"; else printf '%s\n' "${out[@]}" >"$work/out.expected"; fi
  if [ ${#err[@]} -eq 0 ]; then : >"$work/err.expected"; else printf '%s\n' "${err[@]}" >"$work/err.expected"; fi
  cmp -s "$work/out" "$work/out.expected" || problems+=("standard output: $(paste -sd'|' "$work/out")")
  cmp -s "$work/err" "$work/err.expected" || problems+=("standard error: $(paste -sd'|' "$work/err")")
  if [ "$expected" = absent ]; then
    [ ! -e "$dst" ] || problems+=("the destination exists ($(size_of "$dst"))")
  elif [ "$expected" = folder ]; then
    [ -d "$dst" ] && [ -z "$(ls -A "$dst")" ] || problems+=("the destination is no longer an empty folder")
  elif ! cmp -s "$dst" "$expected"; then
    problems+=("destination bytes differ: $(cmp "$dst" "$expected" 2>&1 | head -1)")
  fi
  [ "$(fingerprint "$src")" = "$source_before" ] || problems+=("the source changed")
  if [ -n "${max_seconds:-}" ] && [ "$seconds" -gt "$max_seconds" ]; then
    problems+=("took ${seconds} s, more than ${max_seconds} s")
  fi

  local shown
  # Repeated lines are shown once with their count.
  shown=$(awk 'NR > 1 && $0 != last { print (n > 1 ? last " ×" n : last); n = 0 }
               { last = $0; n++ } END { if (NR) print (n > 1 ? last " ×" n : last) }' "$work/out" |
          paste -sd'/' | sed 's#/# / #g')
  [ -s "$work/err" ] && shown="${shown:+$shown; }stderr: $(paste -sd' ' "$work/err")"
  local verdict=ok
  if [ ${#problems[@]} -gt 0 ]; then
    verdict=FAIL
    failures=$((failures + 1))
    echo "FAIL: $description"
    printf '  %s\n' "${problems[@]}"
  fi
  table+=("| $cases | $description | $actual | ${shown:-(nothing)} | $dest_before | $(size_of "$dst"): $after_words | $verdict |")
  # Every case starts from the same defaults.
  options=() runner=() input="" out=() err=() status=0 expected=absent max_seconds=""
}
options=() runner=() input="" out=() err=() status=0 expected=absent max_seconds=""

# Sources used below.
book="$work/book.vcf"  # three contacts, each a line of 101 bytes
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:%s\r\nEND:VCARD\r\n' one two six >"$book"
rows="$work/rows.csv"
{ row 1 one; row 1 two; row 1 six; } >"$rows"
old="$work/old.csv"  # what an earlier conversion left
{ cat "$header"; row 1 old; } >"$old"
old_size=$(stat -c %s "$old")
fresh_dst() { rm -rf "$work/dst"; mkdir -p "$work/dst"; chmod 777 "$work/dst"; }
# The destination's expected bytes afterwards, from standard input.
expect() { expected="$work/expected.$cases"; cat >"$expected"; }

# Another program holds the file $1 open: "none" lets no one else open it,
# "read" lets others read it but not write it, as a spreadsheet showing the
# file does. Natively that is a lock (flock, exclusive or shared) held by
# another process; under Wine, velmora_file_holder.exe. Returns once the file
# is held.
hold_file() {
  if [ -n "$windows" ]; then
    coproc HOLDER { exec wine "$file_holder" "$(windows_path "$1")" "$2"; }
    holder=$HOLDER_PID
    local said=""
    read -r said <&"${HOLDER[0]}" || true
    [ "${said%$'\r'}" = holding ] || { echo "velmora_file_holder.exe could not open $1"; exit 1; }
    return 0
  fi
  local kind=-x
  [ "$2" = read ] && kind=-s
  (exec 9<"$1"; flock "$kind" 9; exec sleep 60) &
  holder=$!
  local i
  for ((i = 0; i < 100; i++)); do
    flock -n -x "$1" true 2>/dev/null || return 0
    sleep 0.05
  done
  echo "could not take the lock on $1"; exit 1
}
release_file() {
  [ -n "$holder" ] || return 0
  if [ -n "$windows" ]; then
    # The holder lets go when its standard input ends.
    exec {HOLDER[1]}>&-
  else
    kill "$holder" 2>/dev/null
  fi
  wait "$holder" 2>/dev/null
  holder=""
}

# ---- The source
fresh_dst; src="$book" dst="$work/dst/out.csv"
cp "$old" "$dst"; hold_file "$src" none
options=(--overwrite) status=1 out=("$CONVERTING" "$FAILED") err=("$READ_1" "$READ_2")
expected="$old"
run_case "source held open by another program, no sharing, --overwrite" "unchanged"
release_file

fresh_dst; src="$work/missing.vcf" dst="$work/dst/out.csv"
status=1 err=("$SOURCE_MISSING")
run_case "source missing" "not created"

fresh_dst; mkdir -p "$work/x.vcf"; src="$work/x.vcf" dst="$work/dst/out.csv"
status=1 out=("$CONVERTING" "$FAILED") err=("$READ_1" "$READ_2")
run_case "source is a folder named x.vcf" "not created"

if [ -z "$windows" ]; then
fresh_dst; cp "$book" "$work/locked.vcf"; chmod 000 "$work/locked.vcf"
  src="$work/locked.vcf" dst="$work/dst/out.csv"
  runner=(as_nobody) status=1 out=("$CONVERTING" "$FAILED") err=("$READ_1" "$READ_2")
  run_case "source unreadable (mode 000, run as nobody)" "not created"
  
fi

# ---- The destination
fresh_dst; src="$book" dst="$work/no-such-folder/out.csv"
status=1 err=("$FOLDER_MISSING")
run_case "destination folder missing" "not created"

fresh_dst; mkdir "$work/dst/out.csv"; src="$book" dst="$work/dst/out.csv"
options=(--overwrite) status=1 out=("$CONVERTING" "$FAILED") err=("$WRITE_1" "$WRITE_2") expected=folder
run_case "destination is a folder named out.csv, --overwrite" "still an empty folder"

for sharing in none read; do
  fresh_dst; src="$book" dst="$work/dst/out.csv"
  cp "$old" "$dst"; hold_file "$dst" "$sharing"
  options=(--overwrite) status=1 out=("$CONVERTING" "$FAILED") err=("$WRITE_1" "$WRITE_2")
  expected="$old"
  if [ "$sharing" = none ]; then
    run_case "destination held open by another program, no sharing, --overwrite" "unchanged, not truncated"
  else
    run_case "destination open in another program that lets others read only (a spreadsheet), --overwrite" \
      "unchanged, not truncated"
  fi
  release_file
done

if [ -z "$windows" ]; then
  for mode in --overwrite --append; do
    fresh_dst; chmod 755 "$work/dst"; src="$book" dst="$work/dst/out.csv"
    cp "$old" "$dst"; chmod 444 "$dst"
    runner=(as_nobody) options=("$mode") status=1 out=("$CONVERTING" "$FAILED") err=("$WRITE_1" "$WRITE_2")
    expected="$old"
    run_case "destination read-only (mode 444, run as nobody), $mode" "unchanged"
  done

  # ---- The destination's file system fills up
  fresh_dst; src="$book" dst="$work/dst/out.csv"
  limit=$((1130 + 101 + 40))
  runner=(prlimit --fsize="$limit") status=1 out=("$CONVERTING" "$ROW_FAILED" "$ROW_FAILED" "$DONE" "$(counts 3 1)")
  expect < <(cat "$header" "$rows" | head -c $((1130 + 101)))
  run_case "file system full midway (room for header, 1 line and 40 bytes), new file" "header and line 1; no part of line 2"

  fresh_dst; src="$book" dst="$work/dst/out.csv"; cp "$old" "$dst"
  limit=$((old_size + 101 + 40))
  runner=(prlimit --fsize="$limit") options=(--append) status=1 out=("$CONVERTING" "$ROW_FAILED" "$ROW_FAILED" "$DONE" "$(counts 3 1)")
  expect < <(cat "$old" "$rows" | head -c $((old_size + 101)))
  run_case "file system full midway, --append" "old bytes unchanged, then line 1; no part of line 2"

  fresh_dst; src="$book" dst="$work/dst/out.csv"; cp "$old" "$dst"
  runner=(prlimit --fsize="$old_size") options=(--append) status=1
  out=("$CONVERTING" "$ROW_FAILED" "$ROW_FAILED" "$ROW_FAILED" "$NOTHING")
  expected="$old"
  run_case "file system already full, --append" "old bytes unchanged"

  fresh_dst; src="$book" dst="$work/dst/out.csv"
  runner=(prlimit --fsize=1000) status=1 out=("$CONVERTING" "$HEADER_FAILED")
  expect </dev/null
  run_case "file system full inside the header, new file" "empty: no part of a header"
fi

# Under Wine: the folder $1 becomes a drive of its own (its letter in
# $drive), and windows_path names the files in it on that drive.
link_drive() {
  full=$1
  local letter
  for letter in v w x y; do
    if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ]; then
      drive="$letter:"
      ln -s "$full" "$WINEPREFIX/dosdevices/$drive"
      return 0
    fi
  done
  echo "no free drive letter in $WINEPREFIX"; exit 1
}

# The root of an empty drive (a new memory card) is a folder to write into,
# though a search of it finds no entry at all, not even "." and "..".
if [ -n "$windows" ]; then
  mkdir -p "$work/card"
  link_drive "$work/card"
  src="$book" dst="$work/card/out.csv"
  out=("$CONVERTING" "$DONE" "$(counts 3 3)")
  expect < <(cat "$header" "$rows")
  run_case "destination in the root of an empty drive" "header and 3 lines"
  rm -f "$WINEPREFIX/dosdevices/$drive"; drive=""
fi

# A real full disk where a small file system can be mounted (root outside a
# restricted container): an 8 KiB tmpfs, a book of 100 contacts. Under Wine
# it is a drive of its own, as a full USB stick would be.
full="$work/full"
mkdir -p "$full"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=8k velmora-full "$full" 2>/dev/null; then
  mounted="$full"
  [ -z "$windows" ] || link_drive "$full"
  big_book="$work/book100.vcf"
  for i in $(seq 1 100); do printf 'BEGIN:VCARD\r\nN:c%03d\r\nEND:VCARD\r\n' "$i"; done >"$big_book"
  for i in $(seq 1 100); do row 1 "$(printf 'c%03d' "$i")"; done >"$work/rows100.csv"
  # The files go into a folder of the drive.
  mkdir "$full/csv"
  for mode in new --append; do
    rm -f "$full/csv/out.csv"
    src="$big_book" dst="$full/csv/out.csv"
    base="$header"
    if [ "$mode" = --append ]; then cp "$old" "$dst"; base="$old"; options=(--append); fi
    fit=$(((8192 - $(stat -c %s "$base")) / 102))
    status=1 out=("$CONVERTING")
    for ((i = fit; i < 100; i++)); do out+=("$ROW_FAILED"); done
    out+=("$DONE" "$(counts 100 "$fit")")
    [ "$mode" = new ] && base_words="header" || base_words="old bytes unchanged"
    expect < <(cat "$base" "$work/rows100.csv" | head -c $(($(stat -c %s "$base") + fit * 102)))
    run_case "8 KiB file system (tmpfs) full midway, ${mode/new/new file}" "$base_words, $fit whole lines, no part of the next"
  done
  if [ -n "$drive" ]; then rm -f "$WINEPREFIX/dosdevices/$drive"; drive=""; fi
  umount "$full"
  mounted=""
else
  echo "skipped: the 8 KiB file system cases, mounting a file system is not allowed here"
  cases=$((cases + 1))
  table+=("| $cases | 8 KiB file system (tmpfs) full midway | | skipped: mounting a file system is not allowed here | | | skipped |")
fi

# ---- The overwrite question
fresh_dst; src="$book" dst="$work/dst/out.csv"; cp "$old" "$dst"
err=("$EXISTS_1" "$EXISTS_2") expected="$old"
run_case "Cancel: destination exists, no option, standard input not a terminal" "unchanged"

# ---- Sources that do not fit in memory
available=$(($(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo) * 1024))
fresh_dst; src="$work/huge.vcf" dst="$work/dst/out.csv"
truncate -s $((available * 2)) "$src" || echo "FAIL: cannot make a sparse file of $((available * 2)) bytes in $work"
status=1 out=("$CONVERTING" "$FAILED") err=("$READ_1" "$READ_2") max_seconds=5
run_case "source (sparse) twice as large as the available memory" "not created"
rm -f "$src"

if [ -z "$windows" ]; then
  fresh_dst; src="$work/big.vcf" dst="$work/dst/out.csv"
  truncate -s $((1024 * 1024 * 1024)) "$src" || echo "FAIL: cannot make a sparse file of 1 GiB in $work"
  runner=(prlimit --as=$((256 * 1024 * 1024))) status=1 out=("$CONVERTING" "$FAILED") err=("$READ_1" "$READ_2")
  max_seconds=5
  run_case "1 GiB source under a 256 MiB address-space limit" "not created"
  rm -f "$src"
fi

# ---- Malformed sources
fresh_dst; cp "$data/binary_junk.vcf" "$work/junk.vcf"; src="$work/junk.vcf" dst="$work/dst/out.csv"
out=("$CONVERTING" "$NOTHING"); expect <"$header"
run_case "binary junk (4096 random bytes)" "header only"

fresh_dst; cp "$data/truncated_base64.vcf" "$work/b64.vcf"; src="$work/b64.vcf" dst="$work/dst/out.csv"
out=("$CONVERTING" "$DONE" "$(counts 1 1)")
expect < <(cat "$header"; row 1 a 58 ABC)
run_case "BASE64 value cut short (QUJDR), and a folded photo cut off by the end of the file" \
  "header, one line (note ABC); the cut-off contact is incomplete"

fresh_dst; cp "$data/qp_equals_at_end.vcf" "$work/qp.vcf"; src="$work/qp.vcf" dst="$work/dst/out.csv"
out=("$CONVERTING" "$DONE" "$(counts 1 1)")
expect < <(cat "$header"; row 1 $'a\x03' 58 $'x\x04')
run_case "QUOTED-PRINTABLE: \"=3\" at the end of a value, \"=\" soft break right before END:VCARD" \
  "header, one line (name a 0x03, note x 0x04)"

fresh_dst; src="$work/semicolons.vcf" dst="$work/dst/out.csv"
{
  printf 'BEGIN:VCARD\r\nN:a'; head -c 1000000 /dev/zero | tr '\0' ';'; printf 'z\r\n'
  printf 'NOTE:'; head -c 1000000 /dev/zero | tr '\0' ';'; printf '\r\nEND:VCARD\r\n'
} >"$src"
out=("$CONVERTING" "$DONE" "$(counts 1 1)") max_seconds=5
expect < <(cat "$header"; row 1 "a z" 58 "")
run_case "lines of a million \";\" (N and NOTE)" "header, one line (name \"a z\", empty note)"

fresh_dst; cp "$data/no_line_end.vcf" "$work/noend.vcf"; src="$work/noend.vcf" dst="$work/dst/out.csv"
out=("$CONVERTING" "$DONE" "$(counts 1 1)")
expect < <(cat "$header"; row 1 "a b")
run_case "LF line ends, no line end after END:VCARD" "header, one line"

fresh_dst; src="$work/oneline.vcf" dst="$work/dst/out.csv"
printf 'BEGIN:VCARD' >"$src"
out=("$CONVERTING" "$NOTHING"); expect <"$header"
run_case "a file without any line end (BEGIN:VCARD alone)" "header only"

fresh_dst; cp "$data/utf16be.vcf" "$work/be.vcf"; src="$work/be.vcf" dst="$work/dst/out.csv"
status=1 out=("$CONVERTING" "$FAILED") err=("$ENCODING")
run_case "UTF-16BE source" "not created"

echo
echo "| # | fault | exit | messages shown | destination before | destination after | |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${table[@]}"
echo
echo "fault matrix: $((cases - failures)) of $cases cases passed"
[ "$failures" -eq 0 ]
