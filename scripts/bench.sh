#!/usr/bin/env bash
# Velmora's benchmark kit (see bench/README.md).
#
#   scripts/bench.sh                  end-to-end: converts generated 10 MB and
#                                     100 MB address books of both styles with
#                                     CRLF and LF line ends and checks the
#                                     speed, scale and memory targets
#   scripts/bench.sh micro [ARGS...]  the micro-benchmarks of the hot paths;
#                                     ARGS go to Google Benchmark, for example
#                                     --benchmark_filter=Base64
#
# Both build the "bench" preset first (Release, benchmarks on) into build/bench.
# The books are generated into build/bench-data and reused by later runs;
# delete that folder to regenerate them. Settings, from the environment:
#   BENCH_RUNS   measured runs per book, the median is reported (default 5;
#                3 when a single conversion of the book takes over 20 s)
#   BENCH_SIZES  book sizes, smallest first (default "10M 100M"; K, M and G
#                count 1024, 1024^2 and 1024^3 bytes)
#   BENCH_SEED   generator seed (default 4)
#
# Speeds are in MB/s with 1 MB = 10^6 bytes. Times are wall-clock times of the
# whole child process, converter and one-pass limit alike, measured side by
# side: in every run the limit program reads the book once, then the converter
# converts it. Peak memory is the child's maximum resident set (wait4).
# The targets are reported PASS or FAIL; the script still exits 0 (it is a
# measurement, not a test). It exits non-zero only when the build fails or a
# conversion fails.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

build_dir=build/bench
data_dir=build/bench-data

build_bench() {
  ensure_packages cmake ninja-build g++ libbenchmark-dev
  local log
  if ! log=$(cmake --preset bench 2>&1 && cmake --build --preset bench 2>&1); then
    echo "$log"
    echo "== the bench build failed" >&2
    exit 1
  fi
}

if [ "${1:-}" = micro ]; then
  shift
  build_bench
  exec "$build_dir/bench/velmora-micro" "$@"
fi
if [ $# -gt 0 ]; then
  sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
  exit 2
fi

runs=${BENCH_RUNS:-5}
read -r -a sizes <<< "${BENCH_SIZES:-10M 100M}"
seed=${BENCH_SEED:-4}
styles=(feature smart)
eols=(crlf lf)

build_bench
genbook=$build_dir/bench/velmora-genbook
scanlimit=$build_dir/bench/velmora-scanlimit
measure=$build_dir/bench/velmora-measure
convert=$build_dir/velmora-convert

mkdir -p "$data_dir"
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

book_path() { echo "$data_dir/$1-$2-$3-seed$seed.vcf"; }

echo "== books in $data_dir"
for size in "${sizes[@]}"; do
  for style in "${styles[@]}"; do
    for eol in "${eols[@]}"; do
      book=$(book_path "$style" "$eol" "$size")
      if [ -f "$book" ]; then
        echo "   reusing $book"
      else
        echo -n "   "
        "$genbook" --style "$style" --eol "$eol" --size "$size" --seed "$seed" "$book"
      fi
    done
  done
done

# Median of the numbers on standard input.
median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Results per book, keyed "style eol size".
declare -A bytes_of contacts_of conv_s limit_s peak_kib

echo "== converting with $convert, $runs runs per book (median)"
for size in "${sizes[@]}"; do
  for style in "${styles[@]}"; do
    for eol in "${eols[@]}"; do
      key="$style $eol $size"
      book=$(book_path "$style" "$eol" "$size")
      out=$work/out.csv
      bytes=$(stat -c %s "$book")

      # One conversion that is not measured: it warms the page cache, proves
      # that the converter succeeds, and tells how many contacts it read.
      start=$(date +%s%N)
      if ! messages=$("$convert" "$book" "$out" --overwrite 2>&1); then
        echo "$messages"
        echo "== converting $book failed" >&2
        exit 1
      fi
      warm_s=$(( ($(date +%s%N) - start) / 1000000000 ))
      contacts=$(grep -o '入力データ：[0-9]*' <<< "$messages" | grep -o '[0-9]*$' || true)
      [ -n "$contacts" ] || contacts=$(grep -a -c '^BEGIN:VCARD' "$book")
      n=$runs
      if [ "$warm_s" -gt 20 ] && [ "$n" -gt 3 ]; then n=3; fi

      conv_times=() limit_times=() peak=0
      for ((i = 0; i < n; i++)); do
        read -r t _ status < <("$measure" --quiet -- "$scanlimit" "$book")
        [ "$status" = 0 ] || { echo "== velmora-scanlimit failed on $book" >&2; exit 1; }
        limit_times+=("$t")
        read -r t kib status < <("$measure" --quiet -- "$convert" "$book" "$out" --overwrite)
        [ "$status" = 0 ] || { echo "== velmora-convert exited with $status on $book" >&2; exit 1; }
        conv_times+=("$t")
        if [ "$kib" -gt "$peak" ]; then peak=$kib; fi
      done
      bytes_of[$key]=$bytes
      contacts_of[$key]=$contacts
      conv_s[$key]=$(printf '%s\n' "${conv_times[@]}" | median)
      limit_s[$key]=$(printf '%s\n' "${limit_times[@]}" | median)
      peak_kib[$key]=$peak
      echo "   $(basename "$book"): $n runs"
    done
  done
done

small=${sizes[0]}
big=${sizes[${#sizes[@]}-1]}

echo
echo "== results ($(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))"
printf '%-30s %9s %9s %9s %12s %10s %11s %9s %9s\n' \
  book "size MB" "time s" "MB/s" contacts/s "peak MiB" "limit MB/s" "of limit" "time x"
for size in "${sizes[@]}"; do
  for style in "${styles[@]}"; do
    for eol in "${eols[@]}"; do
      key="$style $eol $size"
      scale=-
      if [ "$size" != "$small" ]; then
        scale=$(awk -v a="${conv_s[$key]}" -v b="${conv_s[$style $eol $small]}" 'BEGIN { printf "%.2f", a / b }')
      fi
      awk -v name="$(basename "$(book_path "$style" "$eol" "$size")")" -v bytes="${bytes_of[$key]}" \
          -v contacts="${contacts_of[$key]}" -v t="${conv_s[$key]}" -v lt="${limit_s[$key]}" \
          -v kib="${peak_kib[$key]}" -v scale="$scale" 'BEGIN {
        printf "%-30s %9.1f %9.3f %9.1f %12.0f %10.1f %11.1f %8.1f%% %9s\n",
          name, bytes / 1e6, t, bytes / 1e6 / t, contacts / t, kib / 1024, bytes / 1e6 / lt, lt / t * 100, scale }'
    done
  done
done
echo "(time x: this book's conversion time divided by that of the $small book of the same style and line end)"

echo
echo "== targets"
verdict() { # CONDITION(awk expression) TEXT
  if awk "BEGIN { exit !($1) }"; then echo "PASS  $2"; else echo "FAIL  $2"; fi
}
for eol in "${eols[@]}"; do
  key="feature $eol $big"
  conv=$(awk -v b="${bytes_of[$key]}" -v t="${conv_s[$key]}" 'BEGIN { printf "%.1f", b / 1e6 / t }')
  limit=$(awk -v b="${bytes_of[$key]}" -v t="${limit_s[$key]}" 'BEGIN { printf "%.1f", b / 1e6 / t }')
  verdict "$conv >= 0.25 * $limit" \
    "speed, feature $eol $big: $conv MB/s against a limit of $limit MB/s (at least 25%: $(awk "BEGIN { printf \"%.1f\", 0.25 * $limit }"))"
done
if [ "$small" != "$big" ]; then
  factor=$(awk -v a="${bytes_of[feature crlf $big]}" -v b="${bytes_of[feature crlf $small]}" 'BEGIN { printf "%.2f", 1.1 * a / b }')
  for style in "${styles[@]}"; do
    for eol in "${eols[@]}"; do
      ratio=$(awk -v a="${conv_s[$style $eol $big]}" -v b="${conv_s[$style $eol $small]}" 'BEGIN { printf "%.2f", a / b }')
      verdict "$ratio <= $factor" "linear, $style $eol: $big takes $ratio times as long as $small (at most $factor)"
    done
  done
else
  echo "n/a   linear: needs two sizes in BENCH_SIZES"
fi
for size in "${sizes[@]}"; do
  for style in "${styles[@]}"; do
    for eol in "${eols[@]}"; do
      key="$style $eol $size"
      read -r peak allowed < <(awk -v kib="${peak_kib[$key]}" -v b="${bytes_of[$key]}" \
        'BEGIN { printf "%.1f %.1f\n", kib / 1024, (1.5 * b + 16 * 1048576) / 1048576 }')
      verdict "$peak <= $allowed" "memory, $style $eol $size: peak $peak MiB (at most 1.5 x size + 16 MiB = $allowed MiB)"
    done
  done
done
for eol in "${eols[@]}"; do
  smart=$(awk -v b="${bytes_of[smart $eol $big]}" -v t="${conv_s[smart $eol $big]}" 'BEGIN { printf "%.1f", b / 1e6 / t }')
  feature=$(awk -v b="${bytes_of[feature $eol $big]}" -v t="${conv_s[feature $eol $big]}" 'BEGIN { printf "%.1f", b / 1e6 / t }')
  verdict "$smart >= $feature" "smartphone at least as fast as feature phone, $eol $big: $smart MB/s against $feature MB/s"
done
