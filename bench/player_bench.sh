#!/usr/bin/env bash
# The player's figures (bench/driver/player_bench.cpp): first frames of a
# crouton and of a 20-crouton preview, a 1080p25 H.264 clip played in real
# time into 640x360 (processor share, dropped frames), memory; and the
# anchor: ffmpeg decoding and scaling the same clip to 640x360 as fast as it
# can, in processor seconds.
#
#   bash bench/player_bench.sh [BUILD_DIR]
# Build first: cmake --build BUILD_DIR --target cw_player_bench
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
program=$build/bench/cw_player_bench
[ -x "$program" ] || { echo "build it first: cmake --build $build --target cw_player_bench" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/cw-player-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

ff() { ffmpeg -nostdin -v error -y "$@"; }
for i in $(seq 0 19); do
    ff -f lavfi -i "testsrc=size=640x360:rate=25:duration=4" -f lavfi -i "sine=frequency=$((300 + i * 20)):duration=4" \
       -c:v libx264 -preset veryfast -c:a aac -shortest "$work/small$i.mp4"
done
ff -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=10" -f lavfi -i "sine=frequency=440:duration=10" \
   -c:v libx264 -preset veryfast -c:a aac -shortest "$work/big.mp4"

export CLIPWEAVER_TMPROOT=$work/tmp
"$program" "$work"

# The anchor: ffmpeg's processor seconds for the 8 s the player played.
anchor=$( { /usr/bin/time -f "%U %S" ffmpeg -nostdin -v error -threads 2 -t 8 -i "$work/big.mp4" \
            -vf scale=640:360 -f null - ; } 2>&1 | tail -1 )
echo "anchor: ffmpeg decodes and scales the same 8 s to 640x360 in $(echo "$anchor" | awk '{print $1 + $2}') processor seconds"
