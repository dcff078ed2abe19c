#!/usr/bin/env bash
# Installs what is missing, builds both configurations and runs every test,
# checks the installed programs, then does the same tests under
# AddressSanitizer and UBSan, and runs each fuzz target for 20 seconds
# (scripts/fuzz.sh; skipped without clang).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

bash scripts/build.sh build
(cd build && ctest --output-on-failure -j"$jobs")
bash scripts/install-test.sh build

bash scripts/build.sh build-asan -DCW_SANITIZE=ON -DCW_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs")

bash scripts/fuzz.sh 20
