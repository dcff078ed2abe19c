# Shared by anchor_bench.sh and store_bench.sh (sourced, not run): the clips,
# the croutons, projects of N croutons, the measuring of one run, and the
# ffmpeg runs that do the same job with the same encoder settings.
#
# Expects: here (the source tree), build (the build folder), work (a
# scratch folder).

script=$build/src/clipweaver-script
[ -x "$script" ] || { echo "build clipweaver-script first: cmake --build $build --target clipweaver-script" >&2; exit 1; }
mkdir -p "$work/clips" "$work/croutons" "$work/home" "$work/tmp"
cp "$here"/data/*.png "$here"/data/*.mp3 "$work/home/"
export CLIPWEAVER_TMPROOT=$work/tmp
export XDG_STATE_HOME=$work/state
export XDG_CACHE_HOME=$work/cache

# Eight H.264 clips of 4 s at 640x360, 25 frames a second, 915 kbit/s, AAC
# at 192 kbit/s, and a crouton of each, made as a user makes them.
make_clips() {
    for i in 1 2 3 4 5 6 7 8; do
        ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi \
            -i "sine=frequency=$((200 + 50 * i)):sample_rate=44100" -t 4 -c:v libx264 -b:v 915k -maxrate 915k \
            -bufsize 1830k -c:a aac -b:a 192k "$work/clips/clip$i.mp4"
    done
    for i in 1 2 3 4 5 6 7 8; do
        printf 'requester "%s" "clip%d.mp4"\nrequester "%s" "c%d.cwcrouton"\npress BUTTON_MAIN_NEWCROUTON\n' \
            "$work/clips" "$i" "$work/croutons" "$i"
    done > "$work/make.script"
    (cd "$work/home" && CLIPWEAVER_NO_PIECE_CACHE=1 "$script" "$work/make.script" > /dev/null 2>&1)
}

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

# A project of N croutons (640x360, 915 kbit/s, 25 frames a second) writing
# OUTPUT into FILE.cwproj, and FILE.script that renders it. Crouton k is
# r<k>.cwcrouton, a copy of clip k mod 8's (a crouton file stands in one
# project once: it is locked).
project() {
    local n=$1 output=$2 file=$3
    {
        printf 'Bench\n%s\n\n640\n360\n11\n6\n2\n25.000000\n%d\n' "$output" "$n"
        for ((k = 0; k < n; ++k)); do
            [ -f "$work/croutons/r$k.cwcrouton" ] || cp "$work/croutons/c$((k % 8 + 1)).cwcrouton" "$work/croutons/r$k.cwcrouton"
            printf '%s/croutons/r%d.cwcrouton\n' "$work" "$k"
        done
    } > "$work/$file.cwproj"
    printf 'requester "%s" "%s.cwproj"\npress BUTTON_MAIN_LOAD\npress BUTTON_MAIN_RENDER\n' "$work" "$file" \
        > "$work/$file.script"
}

# The encoder settings each output kind's render uses, as ffmpeg options:
# the picture filters after scaling, the video encoder, the sound encoder
# and the container's own options (src/tools' plans of the crouton lines
# and the finish).
settings() {
    case $1 in
    avi) filters="framestep=2,fps=25"
        video=(-c:v mpeg4 -b:v 915000 -bt 91500 -mbd 2 -trellis 1)
        sound=(-c:a libmp3lame -b:a 192k -ar 44100); muxer=() ;;
    mp4) filters="fps=25"
        video=(-c:v libx264 -b:v 915000 -maxrate 1372500 -bufsize 1830000 -preset veryfast -profile:v high
            -pix_fmt yuv420p -subq 1)
        sound=(-c:a aac -b:a 192k -ar 44100); muxer=(-movflags +faststart) ;;
    webm) filters="fps=25"
        video=(-c:v libvpx-vp9 -b:v 915000 -pix_fmt yuv420p -deadline realtime -cpu-used 8 -row-mt 1)
        sound=(-c:a libopus -b:a 128k -ar 48000); muxer=() ;;
    esac
}

# One ffmpeg run of the concat filter over the same stretches with the same
# settings as a render to .KIND, into the array `command`.
anchor() {
    local n=$1 kind=$2 output=$3
    local inputs=() graph=""
    settings "$kind"
    for ((k = 0; k < n; ++k)); do
        inputs+=(-t 4 -i "$work/clips/clip$((k % 8 + 1)).mp4")
        graph+="[$k:v:0][$k:a:0]"
    done
    graph+="concat=n=$n:v=1:a=1[v0][a],[v0]scale=640:360,$filters,setsar=1[v]"
    command=(ffmpeg -nostdin -v error -y "${inputs[@]}" -filter_complex "$graph" -map "[v]" -map "[a]"
        "${video[@]}" "${sound[@]}" "${muxer[@]}" "$output")
}

# The length of a file in seconds, as ffprobe reads it.
length() { ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 "$1" 2>/dev/null || echo 0; }

# A hash of a file's decoded pictures and sound.
decoded() { ffmpeg -nostdin -v error -i "$1" -f framemd5 - | grep -v '^#' | md5sum | cut -d' ' -f1; }

ratio() { python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }

# How loaded the machine is: the 1-minute load average and the processors.
load() { printf 'load %s on %s processors' "$(cut -d' ' -f1 /proc/loadavg)" "$(nproc)"; }
