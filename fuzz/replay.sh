#!/usr/bin/env bash
# Runs a fuzz target once over every input kept in a regressions folder.
# Usage: replay.sh FUZZ_BINARY FOLDER
# An input listed in FOLDER/EXPECTED-FAILURES (one file name a line, "#"
# comments) is a known open finding: it must still fail, and says so.
set -u
binary=$1
folder=$2
status=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT
shopt -s nullglob
for input in "$folder"/*; do
  name=$(basename "$input")
  case "$name" in README*|EXPECTED-FAILURES) continue ;; esac
  if "$binary" -runs=1 "$input" >/dev/null 2>"$log"; then outcome=pass; else outcome=fail; fi
  expected=pass
  if [ -f "$folder/EXPECTED-FAILURES" ] && grep -qx "$name" <(sed 's/#.*//; s/[[:space:]]*$//' "$folder/EXPECTED-FAILURES"); then
    expected=fail
  fi
  if [ "$outcome" = "$expected" ]; then
    [ "$expected" = fail ] && echo "known finding still open: $(basename "$folder")/$name"
  else
    echo "REGRESSION: $(basename "$folder")/$name: expected $expected, got $outcome"
    [ "$outcome" = fail ] && tail -n 30 "$log"
    status=1
  fi
done
exit $status
