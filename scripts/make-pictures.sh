#!/usr/bin/env bash
# Draws the program's own pictures into data/: the stand-ins shown where a
# preview is missing or still being made, and the blank spacer of the main
# window's preview row. Needs ffmpeg with drawtext and the DejaVu fonts.
#
#   bash scripts/make-pictures.sh [output-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-data}
mkdir -p "$out"

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
small=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
for f in "$font" "$small"; do
    [ -f "$f" ] || { echo "make-pictures: font $f is missing (apt-get install fonts-dejavu-core)" >&2; exit 1; }
done

# picture NAME WIDTH HEIGHT BACKGROUND FRAME LINE1 [LINE2]
# A flat background, a two-pixel frame inset by four pixels, and one or two
# centred lines of text.
picture() {
    local name=$1 w=$2 h=$3 bg=$4 frame=$5 line1=$6 line2=${7:-}
    local filter="drawbox=x=4:y=4:w=iw-8:h=ih-8:color=${frame}:t=2"
    if [ -n "$line2" ]; then
        filter+=",drawtext=fontfile=${font}:text='${line1}':fontcolor=white:fontsize=18:x=(w-text_w)/2:y=h/2-text_h-3"
        filter+=",drawtext=fontfile=${small}:text='${line2}':fontcolor=0xd0d0d0:fontsize=13:x=(w-text_w)/2:y=h/2+5"
    else
        filter+=",drawtext=fontfile=${font}:text='${line1}':fontcolor=white:fontsize=18:x=(w-text_w)/2:y=(h-text_h)/2"
    fi
    ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "color=c=${bg}:s=${w}x${h}:d=1" \
        -vf "$filter" -frames:v 1 -pix_fmt rgb24 "$out/$name"
}

picture NoVideoLoaded.png    160 120 0x303848 0x8090b0 "No video" "Load a clip to begin"
picture NoImageAvailable.png 160 120 0x483030 0xb08080 "No image" "The picture is missing"
picture NoImageLoaded.png    160 120 0x383838 0x909090 "No image" "Nothing loaded yet"
picture NoKeyFrame.png       160 120 0x403820 0xb0a060 "No key frame" "Try another position"
picture Loading.png          160 120 0x203828 0x70b080 "Loading…" "Making the preview"

# The spacer closes the preview row: a narrow, fully transparent strip.
ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "color=c=black@0.0:s=16x90:d=1,format=rgba" -frames:v 1 -pix_fmt rgba "$out/BlankSpacer.png"

ls -l "$out"/NoVideoLoaded.png "$out"/NoImageAvailable.png "$out"/NoImageLoaded.png \
      "$out"/NoKeyFrame.png "$out"/Loading.png "$out"/BlankSpacer.png
