#!/usr/bin/env bash
# The program against what a user would run instead, measured side by side
# in one run:
#
# - renders: for each count of croutons (16 and 64 by default) of 4 s, taken
#   in turn from 8 H.264 clips at 640x360, 25 frames a second, 915 kbit/s
#   with AAC at 192 kbit/s, the whole program (clipweaver-script loads the
#   project and presses "_Render") writes an .avi and an .mp4 at 640x360, 25
#   frames a second, 915 kbit/s; the anchors are one ffmpeg run with the
#   concat filter over the same stretches with the same settings, once with
#   MPEG-4 and once with libx264 (both with AAC at 192 kbit/s). Each render is
#   set against both anchors.
# - the probe: making croutons from N copies of a 30 s clip (the script adds
#   them one by one, less the same script adding none) against ffprobe run
#   on each copy.
#
# Each line gives wall-clock seconds, processor seconds of everything run,
# and the peak of the memory all its processes held at once (sampled), and
# the ratios against the anchor.
#
#   bash bench/anchor_bench.sh [BUILD_DIR] [COUNTS...]
# BUILD_DIR defaults to build (clipweaver-script must be built there).
# ROUNDS=3 repeats every measurement that many times (the lines of one
# round come one after the other, so the anchors see the same load).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(16 64)
rounds=${ROUNDS:-1}
probes=${PROBES:-10}

script=$build/src/clipweaver-script
[ -x "$script" ] || { echo "build clipweaver-script first: cmake --build $build --target clipweaver-script" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/cw-anchor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/clips" "$work/croutons" "$work/probe" "$work/home"
cp "$here"/data/*.png "$here"/data/*.mp3 "$work/home/"
export CLIPWEAVER_TMPROOT=$work/tmp
mkdir -p "$CLIPWEAVER_TMPROOT"

for i in 1 2 3 4 5 6 7 8; do
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi \
        -i "sine=frequency=$((200 + 50 * i)):sample_rate=44100" -t 4 -c:v libx264 -b:v 915k -maxrate 915k \
        -bufsize 1830k -c:a aac -b:a 192k "$work/clips/clip$i.mp4"
done
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi -i "sine=sample_rate=44100" \
    -t 30 -c:v libx264 -b:v 915k -c:a aac -b:a 192k "$work/long.mp4"
for ((k = 1; k <= probes; ++k)); do cp "$work/long.mp4" "$work/probe/long$k.mp4"; done

# Runs a command in a session of its own; prints wall-clock seconds,
# processor seconds of everything it ran, and the peak resident memory of
# all its processes at once in MB (sampled every 20 ms).
measure() {
    python3 - "$@" <<'EOF'
import os, resource, subprocess, sys, time
start = time.monotonic()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         start_new_session=True, cwd=os.environ.get("RUN_IN"))
page = os.sysconf("SC_PAGE_SIZE")
peak = 0
while child.poll() is None:
    total = 0
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            if os.getsid(int(pid)) != child.pid:
                continue
            with open("/proc/%s/statm" % pid) as statm:
                total += int(statm.read().split()[1]) * page
        except (OSError, ValueError):
            pass
    peak = max(peak, total)
    time.sleep(0.02)
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
if child.returncode != 0:
    sys.exit("failed: %s" % " ".join(sys.argv[1:]))
print("%.3f %.3f %.1f" % (wall, usage.ru_utime + usage.ru_stime, peak / 1e6))
EOF
}

# The eight croutons, made the way a user makes them (not measured).
{
    for i in 1 2 3 4 5 6 7 8; do
        printf 'requester "%s" "clip%d.mp4"\nrequester "%s" "c%d.cwcrouton"\npress BUTTON_MAIN_NEWCROUTON\n' \
            "$work/clips" "$i" "$work/croutons" "$i"
    done
} > "$work/make.script"
(cd "$work/home" && "$script" "$work/make.script" > /dev/null 2>&1)

# A project of N croutons (640x360, 915 kbit/s, 25 frames a second) writing
# OUTPUT, and the script that renders it.
project() {
    local n=$1 output=$2 file=$3
    {
        printf 'Bench\n%s\n\n640\n360\n11\n6\n2\n25.000000\n%d\n' "$output" "$n"
        # A crouton file stands in one project once (it is locked).
        for ((k = 0; k < n; ++k)); do
            [ -f "$work/croutons/r$k.cwcrouton" ] || cp "$work/croutons/c$((k % 8 + 1)).cwcrouton" "$work/croutons/r$k.cwcrouton"
            printf '%s/croutons/r%d.cwcrouton\n' "$work" "$k"
        done
    } > "$work/$file.cwproj"
    printf 'requester "%s" "%s.cwproj"\npress BUTTON_MAIN_LOAD\npress BUTTON_MAIN_RENDER\n' "$work" "$file" \
        > "$work/$file.script"
}

# One ffmpeg run over the same stretches with the concat filter, into the
# array `command`.
anchor() {
    local n=$1 codec=$2 output=$3
    local inputs=() graph=""
    for ((k = 0; k < n; ++k)); do
        inputs+=(-t 4 -i "$work/clips/clip$((k % 8 + 1)).mp4")
        graph+="[$k:v:0][$k:a:0]"
    done
    graph+="concat=n=$n:v=1:a=1[v0][a],[v0]scale=640:360,fps=25[v]"
    local video=(-c:v mpeg4 -b:v 915k -mbd 2 -trellis 1)
    [ "$codec" = x264 ] && video=(-c:v libx264 -b:v 915k)
    command=(ffmpeg -nostdin -v error -y "${inputs[@]}" -filter_complex "$graph" -map "[v]" -map "[a]" \
        "${video[@]}" -c:a aac -b:a 192k "$output")
}

# The length of a file in seconds, as ffprobe reads it.
length() { ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 "$1" 2>/dev/null || echo 0; }

ratio() { python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }

printf '%-28s %8s %8s %8s %7s   %s\n' run wall_s cpu_s peak_MB length "ratios (wall cpu memory) against the anchors"
for ((round = 1; round <= rounds; ++round)); do
    for n in "${counts[@]}"; do
        anchor "$n" mpeg4 "$work/anchor.avi"
        read -r mw mc mm < <(measure "${command[@]}")
        anchor "$n" x264 "$work/anchor.mp4"
        read -r xw xc xm < <(measure "${command[@]}")
        printf '%-28s %8.2f %8.2f %8.1f %7.2f\n' "ffmpeg concat mpeg4 $n" "$mw" "$mc" "$mm" "$(length "$work/anchor.avi")"
        printf '%-28s %8.2f %8.2f %8.1f %7.2f\n' "ffmpeg concat libx264 $n" "$xw" "$xc" "$xm" "$(length "$work/anchor.mp4")"
        for extension in avi mp4; do
            project "$n" "$work/out.$extension" "p$n$extension"
            rm -f "$work/out.$extension"
            read -r w c m < <(RUN_IN=$work/home measure "$script" "$work/p$n$extension.script")
            printf '%-28s %8.2f %8.2f %8.1f %7.2f   mpeg4 %s %s %s   libx264 %s %s %s\n' "clipweaver $n .$extension" \
                "$w" "$c" "$m" "$(length "$work/out.$extension")" "$(ratio "$w" "$mw")" "$(ratio "$c" "$mc")" "$(ratio "$m" "$mm")" \
                "$(ratio "$w" "$xw")" "$(ratio "$c" "$xc")" "$(ratio "$m" "$xm")"
        done
    done

    # The probe: N croutons made from N copies of a 30 s clip, less the same
    # script making none, against ffprobe on each copy.
    : > "$work/none.script"
    : > "$work/probe.script"
    for ((k = 1; k <= probes; ++k)); do
        printf 'requester "%s" "long%d.mp4"\nrequester "%s" "long%d.cwcrouton"\npress BUTTON_MAIN_NEWCROUTON\n' \
            "$work/probe" "$k" "$work/croutons" "$k" >> "$work/probe.script"
    done
    read -r pw pc pm < <(measure bash -c 'for clip in "$@"; do ffprobe -v error -show_format -show_streams "$clip"; done' \
        probe "$work"/probe/long*.mp4)
    read -r nw nc nm < <(RUN_IN=$work/home measure "$script" "$work/none.script")
    read -r aw ac am < <(RUN_IN=$work/home measure "$script" "$work/probe.script")
    cw=$(python3 -c "print('%.3f' % ($aw - $nw))")
    cc=$(python3 -c "print('%.3f' % ($ac - $nc))")
    printf '%-28s %8.2f %8.2f %8.1f\n' "ffprobe x$probes" "$pw" "$pc" "$pm"
    printf '%-28s %8.2f %8.2f %8.1f   ffprobe %s %s\n' "clipweaver new crouton x$probes" "$cw" "$cc" "$am" \
        "$(ratio "$cw" "$pw")" "$(ratio "$cc" "$pc")"
done
