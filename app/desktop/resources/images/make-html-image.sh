#!/usr/bin/env bash
# Draws html.png, the word HTML in yellow three-dimensional letters on a transparent
# background, with ImageMagick. The PNG is committed beside this script.
set -euo pipefail
cd "$(dirname "$0")"

FONT=DejaVu-Sans-Condensed-Bold
FACE_TOP='#fff36b' FACE_BOTTOM='#f2b700' SIDE='#a86a00' OUTLINE='#6b4300'
SCALE=4                      # drawn at four times the size, then scaled down
W=$((120 * SCALE)) H=$((42 * SCALE))    # room for the word; trimmed below
POINT=$((27 * SCALE)) X=$((2 * SCALE)) Y=$((31 * SCALE)) DEPTH=$((4 * SCALE))

# The depth: the word stamped again and again towards the lower right.
depth=()
for ((i = DEPTH; i > 0; i -= 2)); do
  depth+=(-annotate "+$((X + i))+$((Y + i))" HTML)
done

face=(-font "$FONT" -pointsize "$POINT" -kerning $((3 * SCALE)))

convert -size ${W}x${H} xc:none "${face[@]}" \
  -fill "$SIDE" -stroke "$SIDE" -strokewidth $SCALE "${depth[@]}" \
  -fill "$OUTLINE" -stroke "$OUTLINE" -strokewidth $((SCALE + SCALE / 2)) \
  -annotate "+$X+$Y" HTML \
  \( -size ${W}x${H} gradient:"$FACE_TOP"-"$FACE_BOTTOM" \
  \( -size ${W}x${H} xc:none "${face[@]}" -fill white -stroke none -annotate "+$X+$Y" HTML \) \
  -compose CopyOpacity -composite \) \
  -compose Over -composite \
  -trim +repage -filter Box -resize 73x36! -background none -gravity center -extent 75x42 \
  -define png:exclude-chunks=date,time PNG32:html.png

identify html.png
