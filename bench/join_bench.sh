#!/usr/bin/env bash
# What transitions cost: a project of 16 croutons of 4 s (taken in turn from
# 8 H.264 clips at 640x360, 25 frames a second, with AAC sound) rendered
# whole (bench/driver/join_bench.cpp: the main window's fields, the
# project's walk and its tools, as "_Render" does) into an .avi at 640x360,
# 915 kbit/s, 25 frames a second, once with a 1 s dissolve at every join
# and once with cuts, side by side in one run (the two alternate in each
# round, so they see the same load). Each line gives wall-clock and
# processor seconds of everything run, the output's length and frames, and
# the dissolves' ratios against the cuts; the machine's load comes first.
#
#   bash bench/join_bench.sh [BUILD_DIR] [CROUTONS] [KIND] [SECONDS]
# BUILD_DIR defaults to build (cmake --build BUILD_DIR --target cw_join_bench).
# ROUNDS=3 repeats the pair that many times; OUTPUT=mp4 renders .mp4 files.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
count=${2:-16}
kind=${3:-dissolve}
seconds=${4:-1}
rounds=${ROUNDS:-1}
extension=${OUTPUT:-avi}

program=$build/bench/cw_join_bench
[ -x "$program" ] || { echo "build it first: cmake --build $build --target cw_join_bench" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/cw-join-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
cp "$here"/data/*.png "$here"/data/*.mp3 "$work/home/"
export CLIPWEAVER_TMPROOT=$work/tmp
# Every render encodes every piece: kept pieces would make the pair unfair.
export CLIPWEAVER_NO_PIECE_CACHE=1
mkdir -p "$CLIPWEAVER_TMPROOT"

for i in 1 2 3 4 5 6 7 8; do
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi \
        -i "sine=frequency=$((200 + 50 * i)):sample_rate=44100" -t 4 -c:v libx264 -b:v 915k -maxrate 915k \
        -bufsize 1830k -c:a aac -b:a 192k "$work/clip$i.mp4"
done
clips=()
for ((k = 0; k < count; ++k)); do clips+=("$work/clip$((k % 8 + 1)).mp4"); done

# Runs a command; prints its wall-clock seconds and the processor seconds
# of everything it ran.
measure() {
    python3 - "$@" <<'PY'
import os, resource, subprocess, sys, time
start = time.monotonic()
code = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=os.environ.get("RUN_IN")).returncode
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
if code != 0:
    sys.exit("failed: %s" % " ".join(sys.argv[1:]))
print("%.3f %.3f" % (time.monotonic() - start, usage.ru_utime + usage.ru_stime))
PY
}

frames() { ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$1" 2>/dev/null || echo 0; }
length() { ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 "$1" 2>/dev/null || echo 0; }
ratio() { python3 -c "import sys; print('%.3f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
printf '%-24s %8s %8s %8s %7s   %s\n' run wall_s cpu_s length frames "ratios (wall cpu) against the cuts"
for ((round = 1; round <= rounds; ++round)); do
    rm -f "$work/cuts.$extension" "$work/joins.$extension"
    read -r cw cc < <(RUN_IN=$work/home measure "$program" "$work/cuts.$extension" cut 0 "${clips[@]}")
    read -r jw jc < <(RUN_IN=$work/home measure "$program" "$work/joins.$extension" "$kind" "$seconds" "${clips[@]}")
    printf '%-24s %8.2f %8.2f %8.2f %7s\n' "$count croutons, cuts" "$cw" "$cc" "$(length "$work/cuts.$extension")" \
        "$(frames "$work/cuts.$extension")"
    printf '%-24s %8.2f %8.2f %8.2f %7s   %s %s\n' "$count croutons, ${seconds} s $kind" "$jw" "$jc" \
        "$(length "$work/joins.$extension")" "$(frames "$work/joins.$extension")" "$(ratio "$jw" "$cw")" "$(ratio "$jc" "$cc")"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
