#!/bin/bash
# What printing a PDF's monospaced text in the printer's fonts saves
# (ZovaDocumentText=Fonts): the printer stream's bytes and the printer's
# modelled time (zova-preview --time) of three PDFs through pdftozova, as
# today (CUPS's gstoraster into the raster route) and with the text in the
# printer's fonts, draft and LQ:
#   - the sample statement (tests/data/statement.ps: a logo, a proportional
#     heading, a Courier account block and a ruled Courier table), A4;
#   - the sample form (samples/form.ps: a grey title, Courier-Bold lines, a
#     picture, a shaded box), A4;
#   - a 60-line Courier statement: bench/text/report60x80.txt made a PDF by
#     cups-filters' texttopdf, US Letter, in its default character set (in
#     Courier; under cupsd with a UTF-8 charset it embeds DejaVu Sans Mono
#     by glyph number, without a Unicode map, and the text stays graphics);
#     beside it the same text sent as plain text (texttozova);
#   - a passbook page: bench/text/passbook20.txt by texttopdf, 140 x 180 mm;
#     and its plain text.
# Then the processor time Ghostscript (and pdffonts) take for the text
# route against the drawing alone, from one pdftozova run per document.
#
#   bench/document_text.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
pdf_filter=$build/filter/pdftozova
text_filter=$build/filter/texttozova
preview=$build/tools/preview/zova-preview
ppd=$build/ppd/zovaqrt.ppd
for tool in "$pdf_filter" "$text_filter" "$preview" "$ppd"; do
  [ -e "$tool" ] || { echo "ERROR: $tool is missing; build first (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
serverbin=$(cups-config --serverbin)

# As cupsd runs filters.
run() {  # FILTER OPTIONS FILE [ERRORS]
  env -i PATH="$build/tools/zova_ID:/usr/bin:/bin" PPD="$ppd" LANG=C.UTF8 CHARSET=utf-8 \
    CUPS_DATADIR=/usr/share/cups CUPS_SERVERROOT=/etc/cups CUPS_SERVERBIN="$serverbin" \
    TMPDIR="$work" "$1" 1 bench doc 1 "$2" "$3" 2> "${4:-/dev/null}"
}
modelled() { "$preview" "$1" -o "$work/pages" --time | sed -n 's/^job 1: .*, about //p'; }
measure() {  # FILTER OPTIONS FILE: "BYTES bytes, TIME"
  run "$1" "$2" "$3" > "$work/out.prn"
  echo "$(wc -c < "$work/out.prn") bytes, $(modelled "$work/out.prn")"
}

gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$work/statement.pdf" \
  tests/data/statement.ps
for page in report60x80.txt:Letter passbook20.txt:140x180mm; do
  IFS=: read -r file size <<< "$page"
  env -i PATH=/usr/bin:/bin PPD="$ppd" CUPS_DATADIR=/usr/share/cups "$serverbin/filter/texttopdf" \
    1 bench doc 1 "PageSize=$size" "bench/text/$file" > "$work/${file%.txt}.pdf" 2> /dev/null
done

echo "| document | as today (graphics) | Fonts, draft | Fonts, LQ | plain text, draft |"
echo "|---|---|---|---|---|"
cp "$build/samples/form.pdf" "$work/form.pdf"
for doc in "sample statement (A4):statement.pdf:A4:" "sample form (A4):form.pdf:A4:" \
           "60-line Courier statement (Letter):report60x80.pdf:Letter:report60x80.txt" \
           "passbook page (140 x 180 mm):passbook20.pdf:140x180mm:passbook20.txt"; do
  IFS=: read -r label pdf size text <<< "$doc"
  row="| $label | $(measure "$pdf_filter" "PageSize=$size" "$work/$pdf") |"
  row="$row $(measure "$pdf_filter" "PageSize=$size ZovaDocumentText=Fonts" "$work/$pdf") |"
  row="$row $(measure "$pdf_filter" "PageSize=$size ZovaDocumentText=Fonts ZovaTextQuality=LQ" \
    "$work/$pdf") |"
  if [ -n "$text" ]; then
    row="$row $(measure "$text_filter" "PageSize=$size page-top=0 page-bottom=0" "bench/text/$text") |"
  else
    row="$row |"
  fi
  echo "$row"
done

echo
echo "Processor time of one pdftozova run with ZovaDocumentText=Fonts, per page:"
for doc in statement.pdf:A4 form.pdf:A4 report60x80.pdf:Letter passbook20.pdf:140x180mm; do
  IFS=: read -r pdf size <<< "$doc"
  run "$pdf_filter" "PageSize=$size ZovaDocumentText=Fonts" "$work/$pdf" "$work/err" > /dev/null
  sed -n 's/^DEBUG: Processor time: //p' "$work/err" | python3 -c '
import re, sys
line = sys.stdin.read()
t = dict((k.strip(), float(v)) for k, v in re.findall(r"([a-z ]+) ([0-9.]+) s", line))
drawn = t["gstoraster"]
total = sum(t.values())
print("  %-16s %s: %.2f s against %.2f s for the drawing alone, %.2fx" %
      (sys.argv[1], line.strip(), total, drawn, total / drawn))' "$pdf"
done
