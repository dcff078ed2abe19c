#!/usr/bin/env bash
# Rendering cost against its floor: for 8, 16, 32 and 64 croutons of 4 s at
# 640x480, a whole render through the command runner and its tools
# (bench/driver/render_lines.cpp: the program's own command lines, the joins
# and the finish to an .mp4) against the floor, one ffmpeg encode of each
# crouton at the same settings (MPEG-4 at 915 kbit/s, 640x480, 25 frames a
# second, AAC sound as the .mp4 carries it). Both are measured in the same
# run, one after the other for each count, as wall-clock seconds and as the
# processor seconds of all the programs they ran (steadier on a busy
# machine).
#
#   bash bench/render_bench.sh [BUILD_DIR] [COUNTS...]
# BUILD_DIR defaults to build (the platform libraries must be built there).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(8 16 32 64)

# The platform layer's libraries, each before the ones it uses.
libraries=()
for layer in tools process mui os; do
    libraries+=("$build/src/libcw_$layer.a")
    [ -f "${libraries[-1]}" ] || { echo "build the platform libraries first: cmake --build $build --target cw_tools cw_mui" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/cw-render-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

driver=$work/render_lines
${CXX:-c++} -std=c++20 -O2 -I"$here/src" "$here/bench/driver/render_lines.cpp" "${libraries[@]}" -o "$driver"

# Eight different clips of 4 s, H.264 with AAC sound; croutons take them in turn.
for i in 1 2 3 4 5 6 7 8; do
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x480:rate=25" -f lavfi \
        -i "sine=frequency=$((200 + 50 * i)):sample_rate=44100" -t 4 -c:v libx264 -preset veryfast \
        -c:a aac "$work/clip$i.mp4"
done

export CLIPWEAVER_TMPROOT=$work/tmp
mkdir -p "$CLIPWEAVER_TMPROOT"

# Runs a command; prints its wall-clock seconds and the processor seconds of
# everything it ran.
measure() {
    python3 -c '
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.3f %.3f" % (time.monotonic() - start, usage.ru_utime + usage.ru_stime))' "$@"
}

printf '%8s %9s %9s %7s %9s %9s %7s\n' croutons render_s floor_s ratio render_cpu floor_cpu ratio
for n in "${counts[@]}"; do
    clips=()
    for ((k = 0; k < n; ++k)); do clips+=("$work/clip$((k % 8 + 1)).mp4"); done

    read -r floor floorCpu < <(measure bash -c '
        for clip in "$@"; do
            ffmpeg -nostdin -v error -y -ss 0 -i "$clip" -t 4 -vf "scale=640:480,framestep=2,fps=25" \
                -c:v mpeg4 -b:v 915000 -mbd 2 -trellis 1 -c:a aac -b:a 192k -f mp4 "'"$work"'/floor.mp4"
        done' floor "${clips[@]}")

    read -r render renderCpu < <(cd "$work" && measure "$driver" "$work/out.mp4" 4 640 480 "${clips[@]}" 2>"$work/parts")
    printf '%8d %9.2f %9.2f %7.3f %9.2f %9.2f %7.3f   (%s)\n' "$n" "$render" "$floor" \
        "$(echo "$render / $floor" | bc -l)" "$renderCpu" "$floorCpu" "$(echo "$renderCpu / $floorCpu" | bc -l)" \
        "$(cat "$work/parts")"
done
