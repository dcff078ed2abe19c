#!/usr/bin/env bash
# Installs what is missing, builds, and starts Clipweaver (or ClipweaverBasic
# with --basic) in its working folder. Without a display it runs on a virtual
# one and says where a VNC viewer connects: with x11vnc installed, on a
# virtual X server whose VNC port listens on localhost only; else on Qt's own
# VNC platform, which listens on every network interface (Qt's VNC plugin
# knows no listening address).
set -euo pipefail
cd "$(dirname "$0")/.."
program=Clipweaver
[ "${1:-}" = "--basic" ] && program=ClipweaverBasic
bash scripts/install-deps.sh
bash scripts/build.sh build
binary=$PWD/build/src/qtview/$program
work=${CLIPWEAVER_HOME:-$PWD/run}
mkdir -p "$work/Projects" "$work/Croutons"
cp -f data/*.png data/*.mp3 "$work"/ 2>/dev/null || true
cd "$work"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec "$binary"
fi

port=${CLIPWEAVER_VNC_PORT:-5900}
size=1280x900

if command -v x11vnc >/dev/null && command -v Xvfb >/dev/null; then
    # A free display number for the virtual X server.
    display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    vnc=""
    cleanup() {
        [ -n "$vnc" ] && kill "$vnc" 2>/dev/null || true
        kill "$xvfb" 2>/dev/null || true
    }
    trap cleanup EXIT
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    x11vnc -display ":$display" -localhost -rfbport "$port" -forever -nopw -quiet >/dev/null 2>&1 &
    vnc=$!
    echo "No display: Clipweaver listens for a VNC viewer on localhost:$port"
    # Ctrl-C reaches the program (it quits cleanly); the trap then ends the
    # virtual display.
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$binary" || true
    exit 0
fi

echo "No display: Clipweaver listens for a VNC viewer on port $port (every network interface;"
echo "install x11vnc to keep it on localhost)"
export QT_QPA_PLATFORM="vnc:port=$port:size=$size"
exec "$binary"
