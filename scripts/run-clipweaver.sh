#!/usr/bin/env bash
# Installs what is missing, builds, and starts Clipweaver (or ClipweaverBasic
# with --basic) in its working folder. Without a display it starts on Qt's
# VNC platform on localhost and says where to connect.
set -euo pipefail
cd "$(dirname "$0")/.."
program=Clipweaver
[ "${1:-}" = "--basic" ] && program=ClipweaverBasic
bash scripts/install-deps.sh
bash scripts/build.sh build
work=${CLIPWEAVER_HOME:-$PWD/run}
mkdir -p "$work/Projects" "$work/Croutons"
cp -f data/*.png data/*.mp3 "$work"/ 2>/dev/null || true
cd "$work"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    port=${CLIPWEAVER_VNC_PORT:-5900}
    echo "No display: Clipweaver listens for a VNC viewer on localhost:$port"
    export QT_QPA_PLATFORM="vnc:addr=127.0.0.1:port=$port:size=1280x900"
fi
exec "$OLDPWD/build/src/platform/qt/$program"
