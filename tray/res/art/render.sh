#!/usr/bin/env bash
# Renders the tray program's art from the SVG sources beside this script into
# the BMP and ICO files that qlx.rc names:  render.sh OUTPUT_DIR
# Bitmaps are 24-bit with magenta (255,0,255) where they are transparent;
# edges are cut hard (alpha at 50%) so that no half-magenta fringe remains.
# Button bitmaps are strips of four faces: normal, hot, pressed, disabled.
# Every bitmap is drawn at 100% into OUTPUT_DIR and at 150% and 200% into
# OUTPUT_DIR/150 and OUTPUT_DIR/200; OUTPUT_DIR/scaled.rc names the larger
# ones as resources numbered 1000 and 2000 above their 100% number.
set -euo pipefail
src=$(cd "$(dirname "$0")" && pwd)
top=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$top"

scale=100
png() { # svg width height png: the sizes are at 100%, rounded as the program rounds layouts
    rsvg-convert -w $((($2 * scale + 50) / 100)) -h $((($3 * scale + 50) / 100)) "$1" -o "$4"
}
bmp() { # png bmp [type]: TrueColor, or Palette (256 colours, a third of the memory)
    convert "$1" -channel A -threshold 50% +channel -background '#FF00FF' -alpha remove \
        -alpha off -type "${3:-TrueColor}" -compress None BMP3:"$2"
}
from_template() { # template output key=value...
    local template=$1 output=$2
    shift 2
    local args=()
    for kv in "$@"; do args+=(-e "s|@${kv%%=*}@|${kv#*=}|g"); done
    sed "${args[@]}" "$src/$template" >"$output"
}
face() { # width height fill stroke png
    from_template face.svg "$tmp/face.svg" W="$1" H="$2" W2=$(($1 - 2)) H2=$(($2 - 2)) \
        R=$(($2 / 4)) FILL="$3" STROKE="$4"
    png "$tmp/face.svg" "$1" "$2" "$5"
}
# button NUMBER WIDTH HEIGHT GLYPH GLYPH_SIZE: four faces with the glyph centred
button() {
    local n=$1 w=$2 h=$3 glyph=$4 size=$5 i=0 faces=()
    local fills=('#FFFCF4' '#FFFFFF' '#FADC89' '#DDE3E8') strokes=('#FADC89' '#F78404' '#784918' '#B8C2CC')
    for i in 0 1 2 3; do
        face "$w" "$h" "${fills[$i]}" "${strokes[$i]}" "$tmp/f$i.png"
        if [ -n "$glyph" ]; then
            png "$src/$glyph.svg" "$size" "$size" "$tmp/g.png"
            [ $i -eq 3 ] && convert "$tmp/g.png" -modulate 100,0 -channel A -evaluate multiply 0.5 +channel "$tmp/g.png"
            convert "$tmp/f$i.png" "$tmp/g.png" -gravity center -composite "$tmp/f$i.png"
        fi
        faces+=("$tmp/f$i.png")
    done
    convert "${faces[@]}" +append "$tmp/strip.png"
    bmp "$tmp/strip.png" "$out/$n.bmp"
}
icon() { # svg ico: every size the shell asks for, 100% to 200% and beyond
    local sizes=(16 20 24 32 40 48 64) files=()
    for s in "${sizes[@]}"; do
        png "$src/$1.svg" $s $s "$tmp/i$s.png"
        files+=("$tmp/i$s.png")
    done
    convert "${files[@]}" "$out/$2"
}
glyph_bmp() { # svg number size
    png "$src/$1.svg" "$3" "$3" "$tmp/g.png"
    bmp "$tmp/g.png" "$out/$2.bmp"
}

out=$top
icon shield 128.ico
icon shield_alert 214.ico

for scale in 100 150 200; do
out=$top
[ $scale -eq 100 ] || out=$top/$scale
mkdir -p "$out"

# Window shapes and backgrounds.
# The large window backgrounds stay in memory while their windows live:
# palette bitmaps keep them small.
png "$src/main.svg" 320 404 "$tmp/w.png" && bmp "$tmp/w.png" "$out/130.bmp" Palette
png "$src/tip.svg" 250 180 "$tmp/w.png" && bmp "$tmp/w.png" "$out/191.bmp" Palette
png "$src/about.svg" 280 160 "$tmp/w.png" && bmp "$tmp/w.png" "$out/153.bmp" Palette
png "$src/splash.svg" 480 260 "$tmp/w.png" && bmp "$tmp/w.png" "$out/138.bmp" Palette
png "$src/settings.svg" 490 408 "$tmp/w.png" && bmp "$tmp/w.png" "$out/159.bmp" Palette
# Settings pages: a rule under each section caption (the caption's top in pixels).
page() { # number band-tops...
    local n=$1 bands=""
    shift
    for y in "$@"; do
        bands+="<line x1='10' y1='$((y + 18))' x2='440' y2='$((y + 18))' stroke='#F78404'/>"
    done
    from_template page.svg "$tmp/p.svg" BANDS="$bands"
    png "$tmp/p.svg" 450 320 "$tmp/w.png" && bmp "$tmp/w.png" "$out/$n.bmp" Palette
}
page 163 6 54 202 256
page 162 6
from_template minibar.svg "$tmp/bar.svg" W=251
png "$tmp/bar.svg" 252 34 "$tmp/w.png" && bmp "$tmp/w.png" "$out/181.bmp"
from_template minibar.svg "$tmp/bar.svg" W=48
png "$tmp/bar.svg" 252 34 "$tmp/w.png" && bmp "$tmp/w.png" "$out/182.bmp"

# Minibar buttons.
button 185 30 30 shield 24
button 188 30 30 glyph_task 22
button 186 30 30 glyph_enable_on 24
button 187 30 30 glyph_enable_off 24
button 189 42 30 glyph_menu 32
button 184 15 15 glyph_close 11
button 180 15 15 glyph_shrink 11
button 183 15 15 glyph_expand 11
# Text buttons of the windows (Open, Remove, Clear, Ok): the face only.
button 139 88 24 "" 0
button 140 72 24 "" 0

# Menu and menu-strip icons.
glyph_bmp glyph_about 207 16
glyph_bmp glyph_exit 208 16
glyph_bmp glyph_help 209 16
glyph_bmp glyph_task 210 16
glyph_bmp glyph_settings 211 16
glyph_bmp glyph_update 212 16

# The toggle strip: one bitmap per blocking/minibar state and image list
# (normal and pressed share one; hot is lighter).
toggle() { # number background lamp1 lamp2
    from_template toggle.svg "$tmp/t.svg" BG="$2" LAMP1="$3" LAMP2="$4"
    png "$tmp/t.svg" 296 26 "$tmp/t.png" && bmp "$tmp/t.png" "$out/$1.bmp"
}
off='#9AA5B1' on='#2EAD4B'
toggle 144 '#FFFCF4' $off $off
toggle 145 '#FFFFFF' $off $off
toggle 201 '#FFFCF4' $off $on
toggle 206 '#FFFFFF' $off $on
toggle 202 '#FFFCF4' $on $off
toggle 205 '#FFFFFF' $on $off
toggle 203 '#FFFCF4' $on $on
toggle 204 '#FFFFFF' $on $on
done

{
    echo "// Generated by render.sh: the art at 150% and 200%."
    for scale in 150 200; do
        offset=$((scale == 150 ? 1000 : 2000))
        for f in "$top/$scale"/*.bmp; do
            n=$(basename "$f" .bmp)
            echo "$((n + offset)) BITMAP \"art/$scale/$n.bmp\""
        done
    done
} >"$top/scaled.rc"
