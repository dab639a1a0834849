#!/bin/sh
# Rebuilds the launcher's pictures from their SVG sources.
#
#   src/NAME.svg  --rsvg-convert-->  PNG  --tools/png2bmp.py-->  NAME.bmp
#
# Every SVG in src/ gives the BMP of the same name in this folder: an
# uncompressed 24-bit bitmap (BI_RGB, bottom-up, no palette), exactly the size
# of the SVG's width and height. The build embeds the committed BMPs and never
# runs this script; run it by hand after editing a source and commit both.
#
# Needs: rsvg-convert (librsvg2-bin), python3, the DejaVu fonts.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

for svg in "$here"/src/*.svg; do
    name=$(basename "$svg" .svg)
    size=$(python3 -c 'import re, sys
tag = re.search(r"<svg\b[^>]*>", open(sys.argv[1]).read())
w = tag and re.search(r"\swidth=\"(\d+)\"", tag.group(0))
h = tag and re.search(r"\sheight=\"(\d+)\"", tag.group(0))
print(w.group(1) + "x" + h.group(1) if w and h else "")' "$svg")
    if [ -z "$size" ]; then
        echo "render.sh: $svg: no width/height on the <svg> element" >&2
        exit 1
    fi
    rsvg-convert --format=png --background-color=white "$svg" -o "$tmp/$name.png"
    python3 "$here/tools/png2bmp.py" "$tmp/$name.png" "$here/$name.bmp" --size "$size"
    echo "$name.bmp  $size"
done

python3 "$here/tools/checkbmp.py" "$here"/*.bmp --expect \
    Background=640x480 \
    UserGuide=252x23 UserGuide_C=252x23 \
    Install=244x24 Install_C=244x24 \
    Acrobat=148x21 Acrobat_C=148x21 \
    Safety=179x19 Safety_C=179x19 \
    Exit=76x32 Exit_C=76x32 \
    MainIcon=16x16
