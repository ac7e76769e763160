#!/bin/sh
# Prints 20 jobs (the sample PDF, two pages each) through a private cupsd at
# CUPS's default log level (warn), with the filter of BUILD, and counts the
# lines of the scheduler's error log. Run as root (cupsd runs filters as lp).
# Usage: bench/cups_error_log.sh [BUILD] [JOBS]
set -eu
build=$(realpath "${1:-build}")
jobs=${2:-20}
dir=$(mktemp -d /tmp/zova-cups-log.XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
chmod 755 "$dir"
mkdir -p "$dir/spool" "$dir/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/out" "$dir/serverbin/filter"
chown root:lp "$dir/tmp" && chmod 1770 "$dir/tmp"
serverbin=$(cups-config --serverbin)
for entry in "$serverbin"/*; do
  [ "$(basename "$entry")" = filter ] || ln -s "$entry" "$dir/serverbin/"
done
for f in "$serverbin"/filter/*; do ln -s "$f" "$dir/serverbin/filter/"; done
ln -sf "$build/filter/rastertozova" "$dir/serverbin/filter/rastertozova"
ln -sf "$build/tools/zova_ID/zova_ID" "$dir/serverbin/filter/zova_ID"
cat > "$dir/cups-files.conf" << CONF
ServerRoot $dir
ServerBin $dir/serverbin
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
FileDevice Yes
CONF
cat > "$dir/cupsd.conf" << CONF
Listen $dir/sock
MaxLogSize 0
Browsing No
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
CONF
cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" &
pid=$!
export CUPS_SERVER="$dir/sock"
until lpstat -r 2> /dev/null | grep -q "is running"; do sleep 0.1; done
touch "$dir/out/zova.prn" && chmod 666 "$dir/out/zova.prn"
lpadmin -p zova -E -v "file://$dir/out/zova.prn" -P "$build/ppd/zovaqrt.ppd" 2> /dev/null
i=0
while [ "$i" -lt "$jobs" ]; do
  lp -d zova "$build/samples/sample.pdf" > /dev/null
  i=$((i + 1))
done
until [ -z "$(lpstat -o zova 2> /dev/null)" ]; do sleep 0.2; done
completed=$(lpstat -W completed -o zova | wc -l)
log=$dir/log/error_log
touch "$log"  # cupsd makes it at its first line
echo "$jobs jobs submitted, $completed completed; error_log: $(wc -l < "$log") lines," \
  "$(grep -c '^E ' "$log" || true) at level E"
