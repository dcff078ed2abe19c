#!/usr/bin/env bash
# The H.264 render's cost against the MPEG-4 one: the same croutons (4 s
# each at 640x480, 915 kbit/s, 25 frames a second) rendered through the
# command runner and its tools (bench/driver/render_lines.cpp) once into an
# .avi (MPEG-4 and MP3) and once into an .mp4 (H.264 and AAC), one after the
# other for each count in the same run. It prints the processor seconds of
# all the programs each render ran, their ratio, and each file's video bit
# rate against the one asked, as ffprobe measures it.
#
#   bash bench/codec_bench.sh [BUILD_DIR] [COUNTS...]
# BUILD_DIR defaults to build (the platform libraries must be built there); COUNTS to 16.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(16)

# The platform layer's libraries, each before the ones it uses.
libraries=()
for layer in tools process mui os; do
    libraries+=("$build/src/libcw_$layer.a")
    [ -f "${libraries[-1]}" ] || { echo "build the platform libraries first: cmake --build $build --target cw_tools cw_mui" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/cw-codec-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

driver=$work/render_lines
${CXX:-c++} -std=c++20 -O2 -I"$here/src" "$here/bench/driver/render_lines.cpp" "${libraries[@]}" -o "$driver"

# Eight different moving clips of 4 s with a camera's grain, H.264 with AAC
# sound, as a phone or camera gives them; croutons take them in turn.
for i in 1 2 3 4 5 6 7 8; do
    ffmpeg -nostdin -v error -y -f lavfi \
        -i "testsrc2=size=640x480:rate=25,hue=h=$((45 * i)),noise=alls=$((i % 4 * 2)):allf=t" -f lavfi \
        -i "sine=frequency=$((200 + 50 * i)):sample_rate=44100" -t 4 -c:v libx264 -preset veryfast -crf 18 \
        -c:a aac "$work/clip$i.mp4"
done

export CLIPWEAVER_TMPROOT=$work/tmp
mkdir -p "$CLIPWEAVER_TMPROOT"

# Runs a command; prints the processor seconds of everything it ran.
cpu() {
    python3 -c '
import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.3f" % (usage.ru_utime + usage.ru_stime))' "$@"
}

# The video stream's bit rate in kbit/s: its packets over its length.
kbits() {
    local length bytes
    length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1")
    bytes=$(ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 "$1" | awk '{ s += $1 } END { print s }')
    echo "$bytes * 8 / $length / 1000" | bc -l
}

printf '%8s %9s %9s %7s %10s %10s\n' croutons mpeg4_cpu h264_cpu ratio mpeg4_kbit h264_kbit
for n in "${counts[@]}"; do
    clips=()
    for ((k = 0; k < n; ++k)); do clips+=("$work/clip$((k % 8 + 1)).mp4"); done
    mpeg4=$(cd "$work" && cpu "$driver" "$work/out.avi" 4 640 480 "${clips[@]}" 2>/dev/null)
    h264=$(cd "$work" && RENDER_LINES_H264=1 cpu "$driver" "$work/out.mp4" 4 640 480 "${clips[@]}" 2>/dev/null)
    printf '%8d %9.2f %9.2f %7.3f %10.0f %10.0f   (asked 915)\n' "$n" "$mpeg4" "$h264" "$(echo "$h264 / $mpeg4" | bc -l)" \
        "$(kbits "$work/out.avi")" "$(kbits "$work/out.mp4")"
done
