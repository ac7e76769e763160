#!/bin/sh
# How close the printed tone of real photographs comes to the originals:
# mean |dL*| between each photo and its simulated print (zova_print_sim: dots
# of 0.2 mm on paper, both seen through a Gaussian of sigma 0.15 mm), for
# zova_ID's two screens, for another zova_ID build if given (an older one, to
# compare), and for Ghostscript's default halftone screen (its generic pbmraw
# device) on the same pixels.
#
# The photos are from Debian's mate-backgrounds package
# (/usr/share/backgrounds/mate/nature/), printed 5 inches wide at 180x180 and
# 360x180 dpi: one pixel per cell, as the filter spools a page.
#
# Usage: bench/tone_photos.sh [BUILD_DIR [OTHER_ZOVA_ID]]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
other=${2:-}
photos="Dune Storm LadyBird TwoWings Wood"
source_dir=/usr/share/backgrounds/mate/nature
width_in=5

fail() {
  echo "ERROR: tone_photos: $*" >&2
  exit 1
}
[ -d "$source_dir" ] || fail "no $source_dir (apt-get install mate-backgrounds)"
# The real ImageMagick, not a stand-in that may be first on PATH.
convert=$(command -v convert-im6.q16 || command -v convert) || fail "ImageMagick is not installed"
identify=$(command -v identify-im6.q16 || command -v identify) || fail "ImageMagick is not installed"
command -v gs > /dev/null || fail "Ghostscript is not installed"
tool=$build/tools/zova_ID/zova_ID
sim=$build/bench/zova_print_sim
if [ ! -x "$tool" ] || [ ! -x "$sim" ]; then fail "build $build first"; fi
[ -z "$other" ] || [ -x "$other" ] || fail "$other is not a program"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Mean |dL*| of a halftone of $work/page.ppm, at $1 dpi.
score() {
  "$sim" "$work/page.ppm" "$2" "$1" | sed 's/^mean |dL\*| \([^ ]*\) .*mean dL\* \(.*\)$/\1 (\2)/'
}

halftone() {  # tool dpi mode
  cp "$work/page.ppm" "$work/zova.ppm"
  "$1" "$work/zova" "$2" "$3" 2> "$work/zova.log" || { cat "$work/zova.log" >&2; fail "$1 failed"; }
  score "$2" "$work/zova.pbm"
}

# Ghostscript paints the pixels one to a device pixel, with its own screen.
ghostscript() {  # dpi width height
  tail -c $(($2 * $3 * 3)) "$work/page.ppm" > "$work/page.rgb"
  cat > "$work/page.ps" << EOF
%!PS
/w $2 def /h $3 def /pw w 72 mul $1 div def /ph h 72 mul 180 div def
<< /PageSize [pw ph] >> setpagedevice
pw ph scale
/DeviceRGB setcolorspace
<< /ImageType 1 /Width w /Height h /BitsPerComponent 8 /Decode [0 1 0 1 0 1]
   /ImageMatrix [w 0 0 h neg 0 h] /DataSource ($work/page.rgb) (r) file >> image
showpage
EOF
  gs -q -dSAFER -dBATCH -dNOPAUSE --permit-file-read="$work/" -sDEVICE=pbmraw \
    -r"$1"x180 -sOutputFile="$work/gs.pbm" "$work/page.ps" || fail "gs failed"
  score "$1" "$work/gs.pbm"
}

printf 'mean |dL*| (mean dL*, print minus original), %s in wide\n' "$width_in"
printf '%-9s %4s  %-16s %-16s' photo dpi "ED (MODE 2)" "CD (MODE 3)"
[ -z "$other" ] || printf ' %-16s %-16s' "other ED" "other CD"
printf ' %-16s\n' "Ghostscript"
for dpi in 180 360; do
  for photo in $photos; do
    jpg=$source_dir/$photo.jpg
    [ -f "$jpg" ] || fail "no $jpg"
    size=$("$identify" -format '%w %h' "$jpg")
    width=$((width_in * dpi))
    height=$(echo "$size" | awk -v w="$width_in" '{ printf "%d", w * 180 * $2 / $1 + 0.5 }')
    "$convert" "$jpg" -resize "${width}x${height}!" -depth 8 "ppm:$work/page.ppm"
    ed=$(halftone "$tool" "$dpi" 2)
    cd=$(halftone "$tool" "$dpi" 3)
    printf '%-9s %4d  %-16s %-16s' "$photo" "$dpi" "$ed" "$cd"
    if [ -n "$other" ]; then
      ed=$(halftone "$other" "$dpi" 2)
      cd=$(halftone "$other" "$dpi" 3)
      printf ' %-16s %-16s' "$ed" "$cd"
    fi
    gs_score=$(ghostscript "$dpi" "$width" "$height")
    printf ' %-16s\n' "$gs_score"
  done
done
