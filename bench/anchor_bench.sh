#!/usr/bin/env bash
# The program against what a user would run instead, with the same encoder
# settings, measured side by side in one run:
#
# - renders: for each count of croutons (16 and 64 by default) of 4 s, taken
#   in turn from 8 H.264 clips at 640x360, 25 frames a second, 915 kbit/s
#   with AAC at 192 kbit/s, the whole program (clipweaver-script loads the
#   project and presses "_Render", the piece store off) writes each kind
#   (.avi and .mp4 by default) at 640x360, 25 frames a second, 915 kbit/s.
#   Its anchor is one ffmpeg run of the concat filter over the same
#   stretches with the encoder settings the render uses for that kind:
#     .avi   MPEG-4, mbd 2, trellis, rate tolerance a tenth of the rate,
#            every other source picture; MP3 sound at 192 kbit/s
#     .mp4   libx264 preset veryfast, subq 1, profile high, rate capped at
#            1.5 times the rate with a two-second buffer; AAC at 192 kbit/s
#     .webm  libvpx-vp9 realtime, cpu-used 8, row-mt; Opus at 128 kbit/s
#   The anchor runs just before its render, so both see the same load.
# - the probe: making croutons from N copies of a 30 s clip (the script adds
#   them one by one, less the same script adding none) against ffprobe run
#   on each copy.
#
# Each line gives wall-clock seconds, processor seconds of everything run,
# the peak of the memory all its processes held at once (sampled), the
# output's length, and for a render: wall and processor time against its
# anchor's, and its wall against its own processor time (0.5 is both of
# two cores busy throughout). The machine's load is printed with each round.
#
#   bash bench/anchor_bench.sh [BUILD_DIR] [COUNTS...]
# BUILD_DIR defaults to build (clipweaver-script must be built there).
# ROUNDS=3 repeats every measurement; KINDS="avi mp4 webm" picks the kinds;
# PROFILE=1 adds, for each render, where its time went (each ffmpeg and
# ffprobe run timed by a wrapper: runs, processor seconds by kind, the
# program's own, and the seconds fewer than two tools ran); REPEAT=1 renders
# each project a second time and says whether both decode to the same
# pictures and sound; AT_END=1 renders each project once more with its sound
# compressed by the finish alone, after the encodes (CLIPWEAVER_SOUND_AT_END=1),
# as the program did before it compressed it beside them.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(16 64)
rounds=${ROUNDS:-1}
probes=${PROBES:-10}
read -r -a kinds <<< "${KINDS:-avi mp4}"

work=$(mktemp -d "${TMPDIR:-/tmp}/cw-anchor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
source "$here/bench/bench_common.sh"
mkdir -p "$work/probe"
make_clips
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi -i "sine=sample_rate=44100" \
    -t 30 -c:v libx264 -b:v 915k -c:a aac -b:a 192k "$work/long.mp4"
for ((k = 1; k <= probes; ++k)); do cp "$work/long.mp4" "$work/probe/long$k.mp4"; done
# The anchors measure a render's own work, not the store's.
export CLIPWEAVER_NO_PIECE_CACHE=1

# With PROFILE=1, ffmpeg and ffprobe are wrappers that note each run.
if [ "${PROFILE:-0}" = 1 ]; then
    mkdir -p "$work/wrap"
    for tool in ffmpeg ffprobe; do
        real=$(command -v "$tool")
        cat > "$work/wrap/$tool" <<EOF
#!/bin/bash
start=\$EPOCHREALTIME
TIMEFORMAT="%U %S"
{ time "$real" "\$@" 2>&3 ; } 3>&2 2>"$work/wrap/t.\$\$"
code=\$?
kind=$tool
for word; do case \$word in comment=cwpiece*) kind=encode ;; -map_metadata) kind=finish ;; pipe:0) kind=sound ;; esac; done
echo "\$kind \$start \$EPOCHREALTIME \$(cat "$work/wrap/t.\$\$")" >> "$work/wrap/log"
rm -f "$work/wrap/t.\$\$"
exit \$code
EOF
        chmod +x "$work/wrap/$tool"
    done
fi

# Where one render's time went, from the wrappers' log.
profile() {
    python3 - "$work/wrap/log" "$1" "$2" "$3" <<'EOF'
import collections, sys
log, began, wall, cpu = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
runs = [line.split() for line in open(log)]
kinds = collections.OrderedDict()
events = []
for kind, start, end, user, system in runs:
    count, seconds = kinds.get(kind, (0, 0.0))
    kinds[kind] = (count + 1, seconds + float(user) + float(system))
    events += [(float(start) - began, 1), (float(end) - began, -1)]
tools = sum(seconds for _, seconds in kinds.values())
# Seconds during which fewer than two tools ran, before the first encode,
# after the last, and between.
events.sort()
encodes = [(float(s) - began, float(e) - began) for k, s, e, *_ in runs if k == "encode"]
first = min(s for s, _ in encodes) if encodes else 0
last = max(e for _, e in encodes) if encodes else wall
running, at, alone = 0, 0.0, [0.0, 0.0, 0.0]
for time, step in events + [(wall, 0)]:
    if running < 2 and time > at:
        for part, (lo, hi) in enumerate(((0, first), (first, last), (last, wall))):
            alone[part] += max(0.0, min(time, hi) - max(at, lo))
    running += step
    at = time
print("   " + ", ".join("%s %d runs %.2f s" % (k, c, s) for k, (c, s) in kinds.items())
      + ", program %.2f s; fewer than two tools ran %.2f s before the first encode, %.2f s between, %.2f s after the last"
      % (cpu - tools, alone[0], alone[1], alone[2]))
EOF
}

printf '%-28s %8s %8s %8s %7s   %s\n' run wall_s cpu_s peak_MB length "ratios: wall, cpu to the anchor; wall to own cpu"
for ((round = 1; round <= rounds; ++round)); do
    echo "round $round, $(load)"
    for n in "${counts[@]}"; do
        for kind in "${kinds[@]}"; do
            anchor "$n" "$kind" "$work/anchor.$kind"
            read -r aw ac am < <(measure "${command[@]}")
            printf '%-28s %8.2f %8.2f %8.1f %7.2f\n' "ffmpeg concat $n .$kind" "$aw" "$ac" "$am" \
                "$(length "$work/anchor.$kind")"
            project "$n" "$work/out.$kind" "p$n$kind"
            rm -f "$work/out.$kind" "$work/wrap/log"
            began=$(date +%s.%N)
            if [ "${PROFILE:-0}" = 1 ]; then
                read -r w c m < <(PATH="$work/wrap:$PATH" RUN_IN=$work/home measure "$script" "$work/p$n$kind.script")
            else
                read -r w c m < <(RUN_IN=$work/home measure "$script" "$work/p$n$kind.script")
            fi
            printf '%-28s %8.2f %8.2f %8.1f %7.2f   %s %s; %s\n' "clipweaver $n .$kind" "$w" "$c" "$m" \
                "$(length "$work/out.$kind")" "$(ratio "$w" "$aw")" "$(ratio "$c" "$ac")" "$(ratio "$w" "$c")"
            [ "${PROFILE:-0}" = 1 ] && profile "$began" "$w" "$c"
            if [ "${AT_END:-0}" = 1 ]; then
                rm -f "$work/out.$kind"
                read -r ew ec em < <(CLIPWEAVER_SOUND_AT_END=1 RUN_IN=$work/home measure "$script" "$work/p$n$kind.script")
                printf '%-28s %8.2f %8.2f %8.1f %7.2f   %s %s; %s\n' "  sound compressed at end" "$ew" "$ec" "$em" \
                    "$(length "$work/out.$kind")" "$(ratio "$ew" "$aw")" "$(ratio "$ec" "$ac")" "$(ratio "$ew" "$ec")"
            fi
            if [ "${REPEAT:-0}" = 1 ]; then
                first=$(decoded "$work/out.$kind")
                rm -f "$work/out.$kind"
                (cd "$work/home" && "$script" "$work/p$n$kind.script" > /dev/null 2>&1)
                [ "$first" = "$(decoded "$work/out.$kind")" ] && echo "   rendered again: the same pictures and sound" \
                    || echo "   rendered again: DIFFERENT pictures or sound"
            fi
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
    rm -f "$work"/croutons/long*.cwcrouton
    cw=$(python3 -c "print('%.3f' % ($aw - $nw))")
    cc=$(python3 -c "print('%.3f' % ($ac - $nc))")
    printf '%-28s %8.2f %8.2f %8.1f\n' "ffprobe x$probes" "$pw" "$pc" "$pm"
    printf '%-28s %8.2f %8.2f %8.1f   ffprobe %s %s\n' "clipweaver new crouton x$probes" "$cw" "$cc" "$am" \
        "$(ratio "$cw" "$pw")" "$(ratio "$cc" "$pc")"
done
echo "after: $(load)"
