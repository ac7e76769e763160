#!/bin/sh
# A real install on the live system and its uninstall, in a mount namespace
# of the test's own whose /usr, /etc and /var are overlays on a scratch
# directory: the machine's own trees are never written. The install puts
# each file where CUPS and systemd look; the uninstall leaves /usr and /etc
# as they were before, entry for entry, except a file someone else put in a
# directory the install made (that file and its directory stay).
# Usage: live_install_test.sh BUILD_DIR PREFIX
set -eu
build=$1
prefix=$2

fail() { echo "FAILED: $*" >&2; exit 1; }

if [ -z "${ZOVA_LIVE_SCRATCH:-}" ]; then
  [ "$(id -u)" = 0 ] || { echo "SKIPPED: a mount namespace needs root"; exit 77; }
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  status=0
  ZOVA_LIVE_SCRATCH=$scratch unshare --mount --propagation private sh "$0" "$@" || status=$?
  exit $status
fi

scratch=$ZOVA_LIVE_SCRATCH
for tree in usr etc var; do
  mkdir -p "$scratch/upper/$tree" "$scratch/work/$tree"
  mount -t overlay overlay \
    -o "lowerdir=/$tree,upperdir=$scratch/upper/$tree,workdir=$scratch/work/$tree" "/$tree" ||
    { echo "SKIPPED: no overlay mount over /$tree here"; exit 77; }
done
# The build's own list of roots stays as it was.
export ZOVA_INSTALL_ROOTS="$scratch/roots"
unset DESTDIR

# Every entry under /usr and /etc: type, mode, size of files, link target.
snapshot() {
  find /usr /etc -xdev \( -type f -printf '%y %m %s %p\n' \) -o -printf '%y %m %p %l\n' |
    LC_ALL=C sort > "$1"
}
snapshot "$scratch/before"

cmake --install "$build" > "$scratch/install.out" 2>&1 ||
  fail "install: $(cat "$scratch/install.out")"
filters=$(cups-config --serverbin)/filter
models=$(cups-config --datadir)/model/zova
for file in "$filters/rastertozova" "$filters/texttozova" "$filters/pdftozova" "$filters/commandtozova" \
  "$filters/zova_ID" "$prefix/bin/zova-preview" "$prefix/bin/zova-testpage" \
  "$prefix/bin/zova-printer-app" "$prefix/lib/systemd/system/zova-printer-app.service" \
  "$models/zovaqrt.ppd" "$models/zovaqrto.ppd" "$prefix/share/man/man1/zova-preview.1" \
  "$prefix/share/man/man1/zova-testpage.1" "$prefix/share/man/man1/zova-printer-app.1" \
  "$prefix/share/man/man8/rastertozova.8" "$prefix/share/man/man8/texttozova.8" \
  "$prefix/share/man/man8/pdftozova.8" "$prefix/share/man/man8/commandtozova.8" \
  "$prefix/share/man/man8/zova_ID.8"; do
  [ -s "$file" ] || fail "the install did not put down $file"
done
for program in rastertozova texttozova pdftozova commandtozova zova_ID; do
  [ -x "$filters/$program" ] || fail "$filters/$program is not executable"
done
grep -q "^ExecStart=$prefix/bin/zova-printer-app server" \
  "$prefix/lib/systemd/system/zova-printer-app.service" ||
  fail "the unit does not start $prefix/bin/zova-printer-app"
warnings=$(grep -c 'CMake Warning' "$scratch/install.out" || true)
[ "$warnings" -eq 0 ] || fail "the install warned: $(cat "$scratch/install.out")"

# Someone else's file in a directory the install made keeps it.
other="$models/other.ppd"
echo other > "$other"
cmake --build "$build" --target uninstall > "$scratch/uninstall.out" 2>&1 ||
  fail "uninstall: $(cat "$scratch/uninstall.out")"
if grep -q 'CMake Warning' "$scratch/uninstall.out"; then
  fail "the uninstall warned: $(cat "$scratch/uninstall.out")"
fi
[ "$(cat "$other")" = other ] || fail "the uninstall removed $other"
grep -q "Keeping $models: it holds files of others" "$scratch/uninstall.out" ||
  fail "no word of keeping $models: $(cat "$scratch/uninstall.out")"
rm "$other"
rmdir "$models"

snapshot "$scratch/after"
if ! diff "$scratch/before" "$scratch/after" > "$scratch/diff"; then
  fail "the uninstall left /usr or /etc changed: $(cat "$scratch/diff")"
fi
[ ! -e "$ZOVA_INSTALL_ROOTS/$(printf '' | sha1sum | cut -d' ' -f1).txt" ] ||
  fail "the live system's list was not removed"
echo "The live install put down every file; its uninstall removed them and nothing else."
