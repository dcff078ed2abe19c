#!/usr/bin/env bash
# The render loop with the piece store: render, change one crouton, render
# again. For a project of N croutons (64 by default) of 4 s at 640x360
# (bench_common.sh), each kind (.mp4 and .avi by default) is rendered
#   first      with an empty store (against a render with the store off);
#   unchanged  again with nothing changed;
#   end        again after one crouton's end moved a second earlier;
#   moved      again after one crouton moved to another place;
#   title      again after one crouton was given a title (its sound is as
#              it was);
# each by a fresh clipweaver-script, as a user would start it. Crouton k
# is clip k mod 8 from its (k div 8)th frame, so no two croutons share a
# piece; the output's length shows a render that failed. Each line
# gives wall-clock and processor seconds and their ratios to the first
# render's; the store's size after the runs closes the round.
#
#   bash bench/store_bench.sh [BUILD_DIR] [N]
# ROUNDS=3 repeats it; KINDS="mp4" picks the kinds.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
n=${2:-64}
rounds=${ROUNDS:-1}
read -r -a kinds <<< "${KINDS:-mp4 avi}"

work=$(mktemp -d "${TMPDIR:-/tmp}/cw-store-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
source "$here/bench/bench_common.sh"
make_clips

# The crouton file's length set to SECONDS (its whole-second line, the
# second whole number after the source's lines, and its time to the frame,
# the second of the last three lines).
set_length() {
    python3 - "$1" "$2" <<'EOF'
import sys
path, seconds = sys.argv[1], sys.argv[2]
lines = open(path).read().rstrip("\n").split("\n")
numbers = [i for i, line in enumerate(lines) if i > 1 and line.strip().isdigit()]
lines[numbers[1]] = seconds
lines[-2] = "%.6f" % (float(seconds) - float(lines[-3]))
open(path, "w").write("\n".join(lines) + "\n")
EOF
}

# Makes every crouton of the project its own stretch: crouton k starts
# k div 8 frames into its clip (its times to the frame after the file's
# last line), so that no two croutons share a piece.
distinct_croutons() {
    for ((k = 0; k < n; ++k)); do
        python3 - "$work/croutons/r$k.cwcrouton" "$((k / 8))" <<'EOF'
import sys
path, frames = sys.argv[1], int(sys.argv[2])
lines = open(path).read().rstrip("\n").split("\n")
start = frames * 0.04
lines += ["%.6f" % start, "%.6f" % (4 - start), "%.6f" % 4]
open(path, "w").write("\n".join(lines) + "\n")
EOF
    done
}

# Gives the crouton file a title (after its times to the frame).
add_title() {
    printf 'TitleShown=yes\nTitle=Clipweaver\n' >> "$1"
}

# Moves the project's crouton FROM (from 0) to the place TO.
move_crouton() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, source, target = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
lines = open(path).read().rstrip("\n").split("\n")
head, croutons = lines[:10], lines[10:]
croutons.insert(target, croutons.pop(source))
open(path, "w").write("\n".join(head + croutons) + "\n")
EOF
}

render() {
    rm -f "$work/out.$1"
    RUN_IN=$work/home measure "$script" "$work/p$1.script"
}

# One line: the run's name, its wall and processor seconds, the output's
# length, and the ratios to the reference's wall and processor seconds.
line() {
    printf '%-24s %8.2f %8.2f %7.2f   %s %s\n' "$1" "$2" "$3" "$(length "$work/out.$kind")" "$(ratio "$2" "$4")" \
        "$(ratio "$3" "$5")"
}

printf '%-24s %8s %8s %7s   %s\n' run wall_s cpu_s length "ratios to the first render: wall, cpu"
for ((round = 1; round <= rounds; ++round)); do
    echo "round $round, $(load)"
    for kind in "${kinds[@]}"; do
        rm -rf "$work/cache" "$work"/croutons/r*.cwcrouton
        project "$n" "$work/out.$kind" "p$kind"
        distinct_croutons
        read -r ow oc _ < <(CLIPWEAVER_NO_PIECE_CACHE=1 render "$kind")
        line "$n .$kind store off" "$ow" "$oc" "$ow" "$oc"
        read -r fw fc _ < <(render "$kind")
        line "$n .$kind first" "$fw" "$fc" "$ow" "$oc"
        read -r w c _ < <(render "$kind")
        line "$n .$kind unchanged" "$w" "$c" "$fw" "$fc"
        set_length "$work/croutons/r$((n / 3)).cwcrouton" 3
        read -r w c _ < <(render "$kind")
        line "$n .$kind end" "$w" "$c" "$fw" "$fc"
        move_crouton "$work/p$kind.cwproj" $((n / 2)) 1
        read -r w c _ < <(render "$kind")
        line "$n .$kind moved" "$w" "$c" "$fw" "$fc"
        add_title "$work/croutons/r$((n / 4)).cwcrouton"
        read -r w c _ < <(render "$kind")
        line "$n .$kind title" "$w" "$c" "$fw" "$fc"
    done
    echo "store: $(du -sh "$work/cache/clipweaver" | cut -f1), $(load)"
done
