#!/bin/sh
# The manual pages: one for each program, each rendered by groff without a
# warning, and each naming what its program's own help lists (options,
# sub-commands, page types, arguments); the filters' pages together name
# every option of the PPD.
# Usage: man_pages_test.sh MAN_DIR BUILD_DIR
set -eu
man=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }
command -v groff > /dev/null || fail "groff not found (scripts/install-deps.sh --tests installs it)"

# Checked with every warning groff has (-ww leaves out mac, di and reg),
# then rendered as a reader sees it, on lines too long to break a word.
render() {
  page=$man/$1
  [ -f "$page" ] || fail "no manual page $page"
  groff -man -ww -wmac -wdi -wreg -z -Tutf8 "$page" 2> "$scratch/warnings" || fail "groff failed on $page"
  [ ! -s "$scratch/warnings" ] || fail "$page: $(cat "$scratch/warnings")"
  groff -man -rLL=400n -rHY=0 -Tascii -P-cbou "$page" > "$scratch/$1.txt"
}
# Each word on standard input appears in the rendered page $1.
names_all() {
  while read -r word; do
    grep -qF -- "$word" "$scratch/$1.txt" || fail "$1 does not name $word"
  done
}
# Each word on standard input starts a line of the rendered page $1, as an
# item of a list.
lists_all() {
  while read -r word; do
    grep -qE -- "^ +$word( |\[|\$)" "$scratch/$1.txt" || fail "$1 does not list $word"
  done
}
# The options a help text lists: -x and --name, without their values.
options_of() { sed 's/[][ \t|(),=]/\n/g' | grep -E '^--?[a-z]' | sort -u; }

for page in rastertozova.8 texttozova.8 pdftozova.8 commandtozova.8 zova_ID.8 zova-preview.1 \
  zova-testpage.1 zova-printer-app.1; do
  render "$page"
done

# The synopsis: the program's own usage line.
for filter in rastertozova texttozova pdftozova commandtozova; do
  "$build/filter/$filter" > /dev/null 2> "$scratch/usage" && fail "$filter ran without arguments"
  sed "s/.*Usage: [^ ]*/$filter/" "$scratch/usage" | names_all "$filter.8"
done
sed -n 's/^\*OpenUI \*\([^/:]*\).*/\1/p' "$build/ppd/zovaqrt.ppd" > "$scratch/ppd-options"
[ -s "$scratch/ppd-options" ] || fail "no options in $build/ppd/zovaqrt.ppd"
cat "$scratch/rastertozova.8.txt" "$scratch/texttozova.8.txt" "$scratch/pdftozova.8.txt" > "$scratch/filters.txt"
names_all filters < "$scratch/ppd-options"

"$build/tools/zova_ID/zova_ID" > /dev/null 2> "$scratch/usage" && fail "zova_ID ran without arguments"
sed 's/.*usage: //' "$scratch/usage" | names_all zova_ID.8

"$build/tools/preview/zova-preview" 2> "$scratch/usage" && fail "zova-preview ran without arguments"
options_of < "$scratch/usage" | names_all zova-preview.1

"$build/tools/testpage/zova-testpage" 2> "$scratch/usage" && fail "zova-testpage ran without arguments"
options_of < "$scratch/usage" | names_all zova-testpage.1
sed -n 's/^    \([a-z][a-z=A-Z]*\) .*/\1/p' "$scratch/usage" | lists_all zova-testpage.1

"$build/printer-app/zova-printer-app" --help > "$scratch/usage"
options_of < "$scratch/usage" | names_all zova-printer-app.1
sed -n '/^Sub-commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' "$scratch/usage" |
  lists_all zova-printer-app.1
echo "Every manual page renders without a warning and names what its program's help lists."
