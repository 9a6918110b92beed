#!/usr/bin/env bash
# The installer's own pictures, from the program's icon: the welcome and
# finish pages' left panel (164x314) and the header (150x57) at 96 DPI, and
# both at 144 DPI (246x471, 225x86), as the 24-bit BMP files NSIS reads.
# Usage: installer-pictures.sh SVGPNG ICON.svg FONT TITLE VERSION OUTDIR
set -euo pipefail
svgpng=$1 icon=$2 font=$3 title=$4 version=$5 out=$6
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The icon at twice its size is the sharpest source for every size below.
"$svgpng" "$work" "$icon" >/dev/null
base=$(basename "$icon" .svg)
big=$work/$base@2x.png

# $1 scale in percent, $2x$3 the size NSIS expects at that scale, $4 output. The icon above the name and version on a
# pale band that fades into the page's white.
welcome() {
    local s=$1 w=$2 h=$3
    convert -size "${w}x${h}" gradient:'#dde8f6'-'#ffffff' \
        \( "$big" -resize $((112 * s / 100))x \) -gravity north -geometry +0+$((44 * s / 100)) -composite \
        -font "$font" -fill '#1a1a1a' -pointsize $((19 * s / 100)) \
        -annotate +0+$((172 * s / 100)) "$title" \
        -fill '#555555' -pointsize $((11 * s / 100)) -annotate +0+$((202 * s / 100)) "$version" \
        -alpha off -type TrueColor "BMP3:$4"
}

# The header's picture sits at its right edge on white: the icon, then the name.
header() {
    local s=$1 w=$2 h=$3
    convert -size "${w}x${h}" xc:white \
        \( "$big" -resize $((40 * s / 100))x \) -gravity west -geometry +$((4 * s / 100))+0 -composite \
        -font "$font" -fill '#1a1a1a' -pointsize $((13 * s / 100)) \
        -annotate +$((50 * s / 100))+0 "$title" \
        -alpha off -type TrueColor "BMP3:$4"
}

welcome 100 164 314 "$out/welcome.bmp"
welcome 150 246 471 "$out/welcome@144dpi.bmp"
header 100 150 57 "$out/header.bmp"
header 150 225 86 "$out/header@144dpi.bmp"
