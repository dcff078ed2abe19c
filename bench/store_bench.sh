#!/usr/bin/env bash
# The render loop with the piece store: render, change one crouton, render
# again. For a project of N croutons (64 by default) of 4 s at 640x360
# (bench_common.sh), each kind (.mp4 and .avi by default) is rendered
#   first      with an empty store (and, as the reference, with the store off);
#   unchanged  again with nothing changed;
#   end        again after one crouton's end moved a second earlier;
#   moved      again after one crouton moved to another place;
# each by a fresh clipweaver-script, as a user would start it. Each line
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

# The crouton file's length line (the second whole number after the
# source's lines) set to SECONDS.
set_length() {
    python3 - "$1" "$2" <<'EOF'
import sys
path, seconds = sys.argv[1], sys.argv[2]
lines = open(path).read().split("\n")
numbers = [i for i, line in enumerate(lines) if i > 1 and line.strip().isdigit()]
lines[numbers[1]] = seconds
open(path, "w").write("\n".join(lines))
EOF
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

printf '%-24s %8s %8s   %s\n' run wall_s cpu_s "ratios to the first render: wall, cpu"
for ((round = 1; round <= rounds; ++round)); do
    echo "round $round, $(load)"
    for kind in "${kinds[@]}"; do
        rm -rf "$work/cache" "$work"/croutons/r*.cwcrouton
        project "$n" "$work/out.$kind" "p$kind"
        read -r ow oc _ < <(CLIPWEAVER_NO_PIECE_CACHE=1 render "$kind")
        printf '%-24s %8.2f %8.2f\n' "$n .$kind store off" "$ow" "$oc"
        read -r fw fc _ < <(render "$kind")
        printf '%-24s %8.2f %8.2f   %s %s (to the store off)\n' "$n .$kind first" "$fw" "$fc" \
            "$(ratio "$fw" "$ow")" "$(ratio "$fc" "$oc")"
        read -r w c _ < <(render "$kind")
        printf '%-24s %8.2f %8.2f   %s %s\n' "$n .$kind unchanged" "$w" "$c" "$(ratio "$w" "$fw")" "$(ratio "$c" "$fc")"
        set_length "$work/croutons/r$((n / 3)).cwcrouton" 3
        read -r w c _ < <(render "$kind")
        printf '%-24s %8.2f %8.2f   %s %s\n' "$n .$kind end" "$w" "$c" "$(ratio "$w" "$fw")" "$(ratio "$c" "$fc")"
        move_crouton "$work/p$kind.cwproj" $((n / 2)) 1
        read -r w c _ < <(render "$kind")
        printf '%-24s %8.2f %8.2f   %s %s\n' "$n .$kind moved" "$w" "$c" "$(ratio "$w" "$fw")" "$(ratio "$c" "$fc")"
    done
    echo "store: $(du -sh "$work/cache/clipweaver" | cut -f1), $(load)"
done
