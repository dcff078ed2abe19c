#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, one per parser) with clang's libFuzzer
# under AddressSanitizer and UBSan into build-fuzz/, and runs each for the
# given number of seconds (20 by default), starting from its seed corpus in
# fuzz/corpus/<target>. New inputs go to build-fuzz/corpus/<target>; a crash
# leaves its input in build-fuzz/ and ends the script with an error.
# Without clang it says so and does nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz: clang++ not found; the fuzz targets are skipped."
    exit 0
fi
# clang without its libFuzzer runtime (Debian's libclang-rt-*-dev) cannot
# build them either.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
    'extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }' > "$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1; then
    echo "fuzz: clang++ cannot link libFuzzer here; the fuzz targets are skipped."
    exit 0
fi
targets=(pattern_fuzz command_line_fuzz crouton_file_fuzz project_file_fuzz probe_answers_fuzz script_fuzz)
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCW_FUZZ=ON \
      -DCW_WITH_QT=OFF -DCW_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
for target in "${targets[@]}"; do
    mkdir -p "build-fuzz/corpus/$target"
    echo "fuzz: $target for ${seconds}s"
    # Absolute folders: the targets work in a folder of their own.
    (cd build-fuzz && "./fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$PWD/$target-" "$PWD/corpus/$target" "$PWD/../fuzz/corpus/$target" 2>&1 \
        | grep -E "^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|ERROR)" || true)
    if ls "build-fuzz/$target-"* >/dev/null 2>&1; then
        echo "fuzz: $target found a problem; see build-fuzz/$target-*"
        exit 1
    fi
done
