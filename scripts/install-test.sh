#!/usr/bin/env bash
# Installs the built programs into a temporary prefix and checks that the
# installed launcher starts each of them in a fresh working folder on Qt's
# offscreen platform: the program opens its main window and runs its event
# loop ("Quitting." is traced only then), and quits on Ctrl-C as the Quit
# button does.
#
#   bash scripts/install-test.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tmp=$(mktemp -d /tmp/cw-install-XXXXXX)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "install-test: $*" >&2
    exit 1
}

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/clipweaver libexec/clipweaver/Clipweaver libexec/clipweaver/ClipweaverBasic \
            libexec/clipweaver/clipweaver-title \
            share/clipweaver/NoImageAvailable.png share/clipweaver/silence.mp3 \
            share/applications/clipweaver.desktop share/applications/clipweaver-basic.desktop \
            share/icons/hicolor/scalable/apps/clipweaver.svg share/icons/hicolor/256x256/apps/clipweaver.png \
            share/mime/packages/clipweaver.xml share/doc/clipweaver/manual.html share/doc/clipweaver/copyright \
            share/doc/clipweaver/changelog.gz share/man/man1/clipweaver.1.gz; do
    [ -e "$prefix/$file" ] || fail "$file was not installed"
done
[ -x "$prefix/bin/clipweaver" ] || fail "the launcher cannot be run"
# The installed title program draws a title on the offscreen platform.
printf 'place=centre\nsize=10\ntext=Title "quoted" 100%%\n' >"$tmp/title.txt"
env -u DISPLAY "$prefix/libexec/clipweaver/clipweaver-title" "$tmp/title.txt" "$tmp/title.png" 320 240 ||
    fail "the installed title program could not draw a title"
[ -s "$tmp/title.png" ] || fail "the installed title program wrote no picture"
for entry in clipweaver clipweaver-basic; do
    desktop=$prefix/share/applications/$entry.desktop
    grep -qx "Icon=clipweaver" "$desktop" || fail "$entry.desktop has no icon"
    grep -q "^Exec=\"$prefix/bin/clipweaver\"" "$desktop" || fail "$entry.desktop does not start the launcher"
done

# start NAME WORK [launcher arguments...]: runs the launcher with the
# environment given before it, waits for the program's first trace, breaks
# it and checks that it went through its event loop and ended cleanly.
start() {
    local name=$1 work=$2
    shift 2
    local log=$tmp/$name.log
    : >"$log"
    env "$@" QT_QPA_PLATFORM=offscreen "$prefix/bin/clipweaver" ${launch_args:-} 2>"$log" >/dev/null &
    pid=$!
    # The Ctrl-C handler is in place before the first trace.
    for _ in $(seq 600); do
        grep -q "Open ASL." "$log" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q "Open ASL." "$log" || { cat "$log" >&2; fail "$name did not start"; }
    kill -INT "$pid"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || { cat "$log" >&2; fail "$name ended with status $status"; }
    grep -q "Quitting." "$log" || { cat "$log" >&2; fail "$name never showed its main window"; }
    grep -q "Closing down." "$log" || { cat "$log" >&2; fail "$name did not close down"; }
    for entry in Projects Croutons NoImageAvailable.png NoVideoLoaded.png Loading.png silence.mp3; do
        [ -e "$work/$entry" ] || fail "$name's working folder $work has no $entry"
    done
    echo "install-test: $name started from the installed launcher in $work and quit on Ctrl-C"
}

mkdir -p "$tmp/home" "$tmp/data"
launch_args="" start Clipweaver "$tmp/data/clipweaver" HOME="$tmp/home" XDG_DATA_HOME="$tmp/data"
launch_args="--basic" start ClipweaverBasic "$tmp/home/.local/share/clipweaver" HOME="$tmp/home" XDG_DATA_HOME=
