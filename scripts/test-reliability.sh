#!/usr/bin/env bash
# Reliability tests: the test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (with the fuzz regressions and the
# allocation-failure test), the test suite under valgrind's memcheck, a
# bounded run of every fuzz target, and the fault matrix through the console
# converter.
#
# Usage: scripts/test-reliability.sh [asan] [valgrind] [fuzz] [faults]
#   With no stage named, all four run in this order.
#   VELMORA_FUZZ_SECONDS  seconds per fuzz target (default 60).
#
# A longer fuzzing session (an hour per target), keeping its corpus in
# build/asan/fuzz-corpus for the next run:
#   VELMORA_FUZZ_SECONDS=3600 bash scripts/test-reliability.sh fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(asan valgrind fuzz faults)
wants() { local s; for s in "${stages[@]}"; do [ "$s" = "$1" ] && return 0; done; return 1; }
for s in "${stages[@]}"; do
  case "$s" in asan|valgrind|fuzz|faults) ;; *) echo "unknown stage: $s (asan, valgrind, fuzz, faults)"; exit 2 ;; esac
done

fuzz_seconds=${VELMORA_FUZZ_SECONDS:-60}
fuzz_targets=(fuzz_reader fuzz_decoders fuzz_tokens)
# Stop at the first error of any kind; a leak fails the run at exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build_asan() {
  ensure_packages cmake ninja-build clang libclang-rt-14-dev googletest libgtest-dev
  cmake --preset asan >/dev/null
  cmake --build --preset asan
}

if wants asan || wants fuzz; then
  echo "== sanitizer build (clang, AddressSanitizer + UndefinedBehaviorSanitizer)"
  build_asan
fi

if wants asan; then
  echo "== test suite, fuzz regressions and allocation-failure test under the sanitizers"
  ctest --preset asan
fi

if wants valgrind || wants faults; then
  echo "== native build"
  build_native
fi

if wants valgrind; then
  ensure_packages valgrind
  echo "== test suite under valgrind memcheck"
  valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect build/native/tests/velmora_tests --gtest_brief=1
  echo "== console converter under valgrind memcheck"
  scratch=$(mktemp -d)
  valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect build/native/velmora-convert samples/sample.vcf "$scratch/sample.csv"
  rm -rf "$scratch"
fi

if wants fuzz; then
  echo "== fuzzing, ${fuzz_seconds} s per target"
  corpus=build/asan/fuzz-corpus
  findings=build/asan/fuzz-findings
  mkdir -p "$findings"
  # The reader starts from whole address books; the decoders from values and
  # the token split from property lines (the first byte of each seed picks the
  # codes or the separator and is chosen to match).
  mkdir -p "$corpus"/{fuzz_reader,fuzz_decoders,fuzz_tokens}
  cp tests/data/*.vcf samples/*.vcf "$corpus/fuzz_reader/"
  n=0
  for book in tests/data/*.vcf samples/*.vcf; do
    while IFS= read -r line || [ -n "$line" ]; do
      line=${line%$'\r'}
      n=$((n + 1))
      printf '\x06%s' "$line" >"$corpus/fuzz_tokens/seed-$n"  # ";" with escapes, no limit
      value=${line#*:}
      printf '\x08%s' "$value" >"$corpus/fuzz_decoders/seed-$n-qp"  # QUOTED-PRINTABLE, UTF-8
      printf '\x01%s' "$value" >"$corpus/fuzz_decoders/seed-$n-base64"  # BASE64, no charset
    done <"$book"
  done
  # One fuzzing process per core on each target, sharing its corpus (each
  # takes up what the others found every second), so that the minute gives
  # as many runs as the machine can make.
  workers=$(nproc)
  total=0
  for target in "${fuzz_targets[@]}"; do
    # The reader converts a whole book in each run: books of at most 512
    # bytes (a few contacts, any property) give it nearly three times the runs
    # of the seeds' whole books in the same time, and reach more of the core.
    length=()
    [ "$target" = fuzz_reader ] && length=(-max_len=512)
    pids=()
    for worker in $(seq 1 "$workers"); do
      "build/asan/fuzz/$target" -max_total_time="$fuzz_seconds" -timeout=10 "${length[@]}" \
        -dict=fuzz/vcard.dict -artifact_prefix="$findings/$target-" -print_final_stats=1 \
        "$corpus/$target" >"$findings/$target.$worker.log" 2>&1 &
      pids+=($!)
    done
    runs=0
    failed=()
    for worker in $(seq 1 "$workers"); do
      status=0
      wait "${pids[$((worker - 1))]}" || status=$?
      log="$findings/$target.$worker.log"
      count=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
      runs=$((runs + ${count:-0}))
      [ "$status" -eq 0 ] || failed+=("$log")
    done
    echo "$target: $runs executions in $workers processes"
    if [ ${#failed[@]} -gt 0 ]; then
      for log in "${failed[@]}"; do
        echo "finding in $log"
        grep -E "ERROR|property broken|SUMMARY|Test unit written" "$log" | head -20 || true
      done
      echo "A finding: keep the input as fuzz/regressions/$target/<name> and name it in fuzz/regressions/README.md"
      exit 1
    fi
    total=$((total + runs))
  done
  echo "fuzzing: $total executions without a finding"
fi

if wants faults; then
  echo "== fault matrix"
  ensure_packages util-linux coreutils libc-bin
  bash tests/faults/fault_matrix.sh build/native/velmora-convert
fi

echo "== reliability tests passed: ${stages[*]}"
