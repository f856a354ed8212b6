#!/usr/bin/env bash
# Draws the three default link images (prev1.gif, home1.gif, next1.gif) with ImageMagick.
# Run it again after changing a colour or size; the GIFs are committed beside this script.
set -euo pipefail
cd "$(dirname "$0")"

W=72 H=22
FONT=DejaVu-Sans-Bold
FILL_TOP='#4f86c6' FILL_BOTTOM='#2a5a94' EDGE='#1d3f69'

# A rounded button with a vertical gradient and a one-pixel darker edge. The corners
# outside the button stay transparent so the button sits on any page colour.
button() {
  convert -size ${W}x${H} gradient:"$FILL_TOP"-"$FILL_BOTTOM" \
    \( -size ${W}x${H} xc:none -fill white -draw "roundrectangle 0,0 $((W - 1)),$((H - 1)) 5,5" \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill none -stroke "$EDGE" -strokewidth 1 \
    -draw "roundrectangle 0.5,0.5 $((W - 1)).5,$((H - 1)).5 5,5" \
    -fill 'rgba(255,255,255,0.25)' -stroke none \
    -draw "roundrectangle 2,2 $((W - 3)),$((H / 2)) 4,4" \
    "$@"
}

label() { # x, text
  echo -font "$FONT" -pointsize 10 -fill white -stroke none -annotate "+$1+15" "$2"
}

# Previous: a left-pointing arrow, then the word.
button $(label 17 Previous) \
  -fill white -draw "polygon 5,11 12,6 12,16" \
  -background none -flatten -channel A -threshold 50% +channel prev1.gif

# Next: the word, then a right-pointing arrow.
button $(label 16 Next) \
  -fill white -draw "polygon 66,11 59,6 59,16" \
  -background none -flatten -channel A -threshold 50% +channel next1.gif

# Home: a small house (roof, walls, door), then the word.
button $(label 26 Home) \
  -fill white -draw "polygon 8,11 15,4 22,11" \
  -draw "rectangle 10,11 20,17" \
  -fill "$FILL_BOTTOM" -draw "rectangle 14,13 16,17" \
  -background none -flatten -channel A -threshold 50% +channel home1.gif

for f in prev1.gif home1.gif next1.gif; do
  identify "$f"
done
