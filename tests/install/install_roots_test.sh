#!/bin/sh
# Two installs from one build, into two roots (DESTDIR), then an uninstall of
# each: it removes only what went into its own root, and an uninstall for a
# root that holds nothing of ours refuses and removes nothing.
# Usage: install_roots_test.sh BUILD_DIR
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ZOVA_INSTALL_ROOTS="$scratch/roots"
live=$scratch/live
stage=$scratch/stage

fail() { echo "FAILED: $*" >&2; exit 1; }
count() { find "$1" -type f | wc -l; }
install_into() { DESTDIR=$1 cmake --install "$build" > /dev/null; }
uninstall_from() { DESTDIR=$1 cmake --build "$build" --target uninstall > "$scratch/out" 2>&1; }

install_into "$live"
files=$(count "$live")
[ "$files" -ge 6 ] || fail "the install put down $files files"
filter=$(find "$live" -name rastertozova)
[ -n "$filter" ] || fail "no rastertozova under $live"

# A staged install, then its uninstall: the other root is untouched.
install_into "$stage"
uninstall_from "$stage" || fail "uninstall of the staged root: $(cat "$scratch/out")"
[ "$(count "$stage")" -eq 0 ] || fail "files left in the staged root: $(find "$stage" -type f)"
[ "$(count "$live")" -eq "$files" ] || fail "the staged uninstall removed live files"

# The reverse: the other root's uninstall leaves a staged install whole.
install_into "$stage"
uninstall_from "$live" || fail "uninstall of the first root: $(cat "$scratch/out")"
[ ! -e "$filter" ] || fail "$filter is still there"
[ "$(count "$stage")" -eq "$files" ] || fail "the first root's uninstall touched the staged one"

# Nothing of ours under this root: refused, with the roots that hold ours.
if uninstall_from "$scratch/elsewhere"; then fail "an uninstall of nothing succeeded"; fi
said=$(tr -s ' \n' '  ' < "$scratch/out")  # CMake folds long messages
case $said in
  *"Nothing was installed on $scratch/elsewhere from this build; nothing is removed."*) ;;
  *) fail "no refusal: $said" ;;
esac
case $said in *"Installed from this build: $stage "*) ;; *) fail "$stage not named: $said" ;; esac
[ "$(count "$stage")" -eq "$files" ] || fail "the refused uninstall removed files"
echo "Each uninstall removed only its own root."
