#!/usr/bin/env bash
# The console converter as a user runs it: exit statuses, where each line
# goes, relative paths, and the overwrite question without a terminal.
set -u
convert=$(realpath "$1")
sample=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1"; echo "  expected: $2"; echo "  actual:   $3"; failures=$((failures + 1))
  fi
}

"$convert" --help >"$dir/help" 2>&1; check "--help exits 0" 0 $?
grep -q "Usage: velmora-convert" "$dir/help"; check "--help in English" 0 $?
grep -q "使い方" "$dir/help"; check "--help in Japanese" 0 $?
"$convert" only-one.vcf >/dev/null 2>&1; check "one path is a wrong command line" 2 $?
"$convert" a.vcf b.csv --overwrite --append >/dev/null 2>&1; check "both choices is a wrong command line" 2 $?
"$convert" a.vcf b.csv --bogus >/dev/null 2>&1; check "unknown option" 2 $?

cp "$sample" "$dir/book.vcf"
(cd "$dir" && "$convert" book.vcf book.csv >out 2>err); check "relative paths convert" 0 $?
check "messages on standard output" "変換処理中...|変換が完了しました。|入力データ：5件、　出力データ：4件" "$(paste -sd'|' "$dir/out")"
check "nothing on standard error" "" "$(cat "$dir/err")"
size=$(wc -c <"$dir/book.csv")

"$convert" "$dir/book.vcf" "$dir/book.csv" </dev/null >"$dir/out" 2>"$dir/err"; check "cancel without a terminal ends normally" 0 $?
check "cancel adds no message" "" "$(cat "$dir/out")"
grep -q -- "--overwrite" "$dir/err"; check "cancel says how to choose" 0 $?
check "cancel leaves the file" "$size" "$(wc -c <"$dir/book.csv")"

"$convert" "$dir/book.vcf" "$dir/book.csv" --append >/dev/null 2>&1; check "append" 0 $?
check "append adds the rows without a header" $((size * 2 - 1130)) "$(wc -c <"$dir/book.csv")"

"$convert" "$dir/missing.vcf" "$dir/x.csv" >"$dir/out" 2>"$dir/err"; check "a failed run exits 1" 1 $?
check "the reason goes to standard error" "変換元ファイルがありません。" "$(cat "$dir/err")"

printf '\xfe\xff\x00B' >"$dir/be.vcf"
"$convert" "$dir/be.vcf" "$dir/be.csv" >"$dir/out" 2>"$dir/err"; check "unsupported encoding exits 1" 1 $?
check "failure lines" "変換処理中...|変換処理に失敗しました。" "$(paste -sd'|' "$dir/out")"

# The account of what the CSV file leaves out.
data=$(dirname "$(realpath "$0")")/data
cp "$data/account_every_reason.vcf" "$dir/every.vcf"
"$convert" "$dir/every.vcf" "$dir/plain.csv" >"$dir/plain.out" 2>&1; check "every reason converts" 0 $?
"$convert" "$dir/every.vcf" "$dir/report.csv" --report >"$dir/report.out" 2>&1; check "--report converts" 0 $?
check "--report writes the same CSV" 0 "$(cmp -s "$dir/plain.csv" "$dir/report.csv"; echo $?)"
check "without --report only the run's lines" "変換処理中...|変換が完了しました。|入力データ：6件、　出力データ：2件" \
  "$(paste -sd'|' "$dir/plain.out")"
{ cat "$dir/plain.out"; echo; cat "$data/account_every_reason.account.txt"; } >"$dir/expected.out"
check "--report adds the account after the run's lines" 0 "$(cmp -s "$dir/expected.out" "$dir/report.out"; echo $?)"
"$convert" --check "$dir/every.vcf" >"$dir/check.out" 2>&1; check "--check exits 0" 0 $?
check "--check prints only the account, every reason" 0 \
  "$(cmp -s "$data/account_every_reason.account.txt" "$dir/check.out"; echo $?)"
"$convert" --check "$sample" >"$dir/check.out" 2>&1
check "--check on the sample" 0 "$(cmp -s "$data/sample.account.txt" "$dir/check.out"; echo $?)"
"$convert" --check "$(dirname "$sample")/smartphone.vcf" >"$dir/check.out" 2>&1
check "--check on the smartphone sample" 0 "$(cmp -s "$data/smartphone.account.txt" "$dir/check.out"; echo $?)"
before=$(ls "$dir" | wc -l)
(cd "$dir" && "$convert" --check book.vcf >/dev/null 2>&1); check "--check writes no file" "$before" "$(ls "$dir" | wc -l)"
"$convert" --check "$dir/missing.vcf" >"$dir/out" 2>"$dir/err"; check "--check on a missing source exits 1" 1 $?
check "--check says why" "変換元ファイルがありません。" "$(cat "$dir/err")"
check "--check prints no account then" "" "$(cat "$dir/out")"
"$convert" --check "$dir/be.vcf" >"$dir/out" 2>"$dir/err"; check "--check on UTF-16BE exits 1" 1 $?
check "--check gives the run's error text" "変換元ファイルの文字コードに対応していません。" "$(cat "$dir/err")"
"$convert" --check a.vcf b.csv >/dev/null 2>&1; check "--check takes one path" 2 $?
"$convert" --check a.vcf --append >/dev/null 2>&1; check "--check writes nothing to append to" 2 $?

# The layout.
"$convert" a.vcf b.csv --layout modern >/dev/null 2>"$dir/err"; check "an unknown layout is a wrong command line" 2 $?
grep -q "classic か full" "$dir/err"; check "an unknown layout names the two" 0 $?
"$convert" a.vcf b.csv --layout >/dev/null 2>&1; check "--layout without a name" 2 $?
phone=$(dirname "$sample")/smartphone.vcf
"$convert" "$phone" "$dir/full.csv" --layout full >/dev/null 2>&1; check "--layout full converts" 0 $?
check "--layout full writes the full layout" 0 "$(cmp -s "$data/smartphone.full.csv" "$dir/full.csv"; echo $?)"
"$convert" "$phone" "$dir/classic.csv" --layout classic >/dev/null 2>&1
check "--layout classic is the default" 0 "$(cmp -s "$data/smartphone.expected.csv" "$dir/classic.csv"; echo $?)"
"$convert" --check "$phone" --layout full >"$dir/check.out" 2>&1; check "--check --layout full" 0 $?
check "the full layout loses nothing of the smartphone sample" \
  "書き出されない連絡先 / Contacts not written: 0件|一部が書き出されない連絡先 / Written contacts that lost something: 0件" \
  "$(grep "連絡先 / " "$dir/check.out" | paste -sd'|')"
grep -q "ADR with no free column: 0件" "$dir/check.out"; check "the full layout's account counts addresses" 0 $?

echo "$((47 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
