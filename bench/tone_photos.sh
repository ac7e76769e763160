#!/bin/sh
# How close the printed tone of real photographs comes to the originals:
# mean |dL*| between each photo and its simulated print (zova_print_sim: dots
# of 0.2 mm on paper, both seen through a Gaussian of sigma 0.15 mm), for
# zova_ID's two screens, for another zova_ID build if given (an older one, to
# compare), and for Ghostscript's default halftone screen (its generic pbmraw
# device) on the same pixels.
#
# The photos are from Debian's mate-backgrounds package
# (/usr/share/backgrounds/mate/nature/), printed 5 inches wide at 180x180,
# 360x180, 180x360 and 360x360 dpi: one pixel per cell, as the filter spools
# a page. zova_ID is called as the filter calls it, with the vertical
# resolution when it is not 180; OTHER_ZOVA_ID with three arguments, as the
# filter called it before it passed the vertical resolution. The last line
# of each resolution averages the five photos.
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

# Mean |dL*| (mean dL*) of a halftone $3 of $work/page.ppm, at $1x$2 dpi.
score() {
  "$sim" "$work/page.ppm" "$3" "$1" "$2" |
    sed 's/^mean |dL\*| \([^ ]*\) .*mean dL\* \(.*\)$/\1 (\2)/'
}

halftone() {  # tool dpi ydpi mode [YDPI argument]
  cp "$work/page.ppm" "$work/zova.ppm"
  "$1" "$work/zova" "$2" "$4" ${5:-} 2> "$work/zova.log" || {
    cat "$work/zova.log" >&2
    fail "$1 failed"
  }
  score "$2" "$3" "$work/zova.pbm"
}

# Ghostscript paints the pixels one to a device pixel, with its own screen.
ghostscript() {  # dpi ydpi width height
  tail -c $(($3 * $4 * 3)) "$work/page.ppm" > "$work/page.rgb"
  cat > "$work/page.ps" << EOF
%!PS
/w $3 def /h $4 def /pw w 72 mul $1 div def /ph h 72 mul $2 div def
<< /PageSize [pw ph] >> setpagedevice
pw ph scale
/DeviceRGB setcolorspace
<< /ImageType 1 /Width w /Height h /BitsPerComponent 8 /Decode [0 1 0 1 0 1]
   /ImageMatrix [w 0 0 h neg 0 h] /DataSource ($work/page.rgb) (r) file >> image
showpage
EOF
  gs -q -dSAFER -dBATCH -dNOPAUSE --permit-file-read="$work/" -sDEVICE=pbmraw \
    -r"$1"x"$2" -sOutputFile="$work/gs.pbm" "$work/page.ps" || fail "gs failed"
  score "$1" "$2" "$work/gs.pbm"
}

printf 'mean |dL*| (mean dL*, print minus original), %s in wide\n' "$width_in"
printf '%-9s %-7s  %-16s %-16s' photo dpi "ED (MODE 2)" "CD (MODE 3)"
[ -z "$other" ] || printf ' %-16s %-16s' "other ED" "other CD"
printf ' %-16s\n' "Ghostscript"
for resolution in 180x180 360x180 180x360 360x360; do
  dpi=${resolution%x*}
  ydpi=${resolution#*x}
  ydpi_arg=
  [ "$ydpi" = 180 ] || ydpi_arg=$ydpi
  : > "$work/scores"
  for photo in $photos; do
    jpg=$source_dir/$photo.jpg
    [ -f "$jpg" ] || fail "no $jpg"
    size=$("$identify" -format '%w %h' "$jpg")
    width=$((width_in * dpi))
    height=$(echo "$size" | awk -v w="$width_in" -v y="$ydpi" '{ printf "%d", w * y * $2 / $1 + 0.5 }')
    "$convert" "$jpg" -resize "${width}x${height}!" -depth 8 "ppm:$work/page.ppm"
    row="$(halftone "$tool" "$dpi" "$ydpi" 2 "$ydpi_arg") $(halftone "$tool" "$dpi" "$ydpi" 3 "$ydpi_arg")"
    if [ -n "$other" ]; then
      row="$row $(halftone "$other" "$dpi" "$ydpi" 2) $(halftone "$other" "$dpi" "$ydpi" 3)"
    fi
    row="$row $(ghostscript "$dpi" "$ydpi" "$width" "$height")"
    echo "$row" >> "$work/scores"
    echo "$row" | awk -v p="$photo" -v r="$resolution" \
      '{ printf "%-9s %-7s", p, r; for (i = 1; i < NF; i += 2) printf "  %-15s", $i " " $(i + 1); print "" }'
  done
  awk -v r="$resolution" '
    { for (i = 1; i <= NF; i += 2) { a[i] += $i; gsub(/[()]/, "", $(i + 1)); b[i] += $(i + 1) } n = NF }
    END { printf "%-9s %-7s", "mean", r
          for (i = 1; i <= n; i += 2) printf "  %-15s", sprintf("%.2f (%+.2f)", a[i] / NR, b[i] / NR)
          print "" }' "$work/scores"
done
