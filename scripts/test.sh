#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

echo "== native build and unit/end-to-end tests"
build_native
ctest --preset native
