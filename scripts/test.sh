#!/usr/bin/env bash
# Builds everything and runs every test:
#   0. the layout of every C++ file against .clang-format;
#   1. the native build: unit, end-to-end and console-converter tests;
#   2. reliability: the suite under AddressSanitizer and UndefinedBehaviorSanitizer,
#      once under valgrind, bounded fuzzing, allocation failures, the fault matrix;
#   3. the Windows build under Wine: the same suite, the dialogs, and parity
#      of the Windows console converter with the native one.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

echo "== layout (.clang-format)"
ensure_packages clang-format
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== native build and unit/end-to-end tests"
build_native
ctest --preset native

echo "== reliability"
bash scripts/test-reliability.sh

echo "== Windows build under Wine"
bash scripts/test-windows.sh build/native/velmora-convert
