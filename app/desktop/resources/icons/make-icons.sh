#!/usr/bin/env bash
# Draws the program icon with ImageMagick: one long page fanned out into a stack of three,
# the front page with a folded corner and a few lines of text. The PNGs are committed
# beside this script; run it again only after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"

DARK='#12408a' MID='#1f63c6' LIGHT='#4a8ff0' FOLD='#f59f00' FOLD_EDGE='#c77700' INK='#5b6f8f'

# The pages, in the drawing's own grid. $1 = stroke width, $2-$5 = the back page's box
# (left, top, right, bottom), $6 $7 = the offset of each following page, $8 = the front page's
# extra width, $9 = the size of the folded corner.
pages() {
  local w=$1 l=$2 t=$3 r=$4 b=$5 dx=$6 dy=$7 extra=$8 fold=$9
  local l2=$((l + dx)) t2=$((t + dy)) r2=$((r + dx)) b2=$((b + dy))
  local l3=$((l2 + dx)) t3=$((t2 + dy)) r3=$((r2 + dx + extra)) b3=$((b2 + dy))
  echo "stroke-linejoin round stroke $DARK stroke-width $w"
  echo "fill $MID polygon $l,$t $r,$t $r,$b $l,$b"
  echo "fill $LIGHT polygon $l2,$t2 $r2,$t2 $r2,$b2 $l2,$b2"
  echo "fill white polygon $l3,$t3 $((r3 - fold)),$t3 $r3,$((t3 + fold)) $r3,$b3 $l3,$b3"
  echo "fill $FOLD stroke $FOLD_EDGE"
  echo "polygon $((r3 - fold)),$t3 $((r3 - fold)),$((t3 + fold)) $r3,$((t3 + fold))"
  echo "stroke none"
}

# A bar of text. Its ends are pulled in by a quarter of the grid so that in the small sizes
# it covers whole pixels.
bar() { # colour, left, top, right, bottom
  echo "fill $1 rectangle $2.25,$3.25 $(($4 - 1)).75,$(($5 - 1)).75"
}

# The full drawing in a 256 x 256 grid: a heading and five lines of text on the front page.
drawing_full() { # stroke width
  pages "$1" 20 14 150 178 35 31 11 40
  bar "$FOLD" 108 98 178 110
  for y in 134 154 194; do bar "$INK" 108 $y 218 $((y + 7)); done
  bar "$INK" 108 174 200 181
  bar "$INK" 108 214 172 221
}

# The small sizes are drawn pixel by pixel so that every edge is one sharp pixel: strokes of
# width 1 run along pixel centres (the .5 positions, given here in a grid of half pixels).
drawing_32() {
  echo "scale 0.5,0.5"
  pages 2 5 3 39 45 8 8 6 10
  bar "$FOLD" 28 26 46 30
  bar "$INK" 28 34 54 38
  bar "$INK" 28 42 54 46
  bar "$INK" 28 50 48 54
}

# At 16 pixels a drawing blurs, so that size is set pixel by pixel.
draw_16() {
  cat <<EOF | convert xpm:- -define png:exclude-chunks=date,time PNG32:quirefold-16.png
/* XPM */
static char* icon[] = {
"16 16 8 1",
". c None", "D c $DARK", "M c $MID", "L c $LIGHT",
"W c white", "O c $FOLD", "E c $FOLD_EDGE", "I c $INK",
"DDDDDDDDD.......",
"DMMMMMMMD.......",
"DMMDDDDDDDDD....",
"DMMDLLLLLLLD....",
"DMMDLLDDDDDD....",
"DMMDLLDWWWWED...",
"DMMDLLDWOOWEOD..",
"DMMDLLDWWWWEOOD.",
"DMMDLLDWIIWEEEED",
"DMMDLLDWWWWWWWWD",
"DDDDLLDWIIIIIIWD",
"...DLLDWWWWWWWWD",
"...DDDDWIIIIIIWD",
"......DWWWWWWWWD",
"......DWIIIIWWWD",
"......DDDDDDDDDD"};
EOF
}

# Draws at four times the size and scales down with a box filter: smooth diagonals, and
# edges on the pixel grid stay sharp.
render() { # size, scale from the drawing's grid to the size, drawing command...
  local size=$1 k
  k=$(awk "BEGIN { print 4 * $2 }")
  shift 2
  convert -size $((size * 4))x$((size * 4)) xc:none -draw "translate -0.5,-0.5 scale $k,$k $("$@")" \
    -filter Box -resize ${size}x${size} \
    -define png:exclude-chunks=date,time PNG32:"quirefold-$size.png"
}

draw_16
render 32 1 drawing_32
for s in 48 64 128 256; do
  render $s "$(awk "BEGIN { print $s / 256 }")" drawing_full $((s < 64 ? 7 : s < 128 ? 6 : 5))
done

for s in 16 32 48 64 128 256; do
  identify "quirefold-$s.png"
done
