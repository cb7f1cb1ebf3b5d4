#!/usr/bin/env bash
# run-test.sh WINE_DIR SECONDS PROGRAM.exe [ARGS...]
# Runs a Windows test program under Wine in a fresh copy of the template
# prefix, stops that prefix's wineserver afterwards and removes the copy.
# Where the tree's programs cannot run here (environment.sh), says
# "run-test: skipped: REASON" and ends with 77.
# PLOVE_KEEP_PREFIX=1 keeps the copy for a look afterwards.
set -uo pipefail
dir=$1; limit=$2; exe=$3; shift 3
if [ ! -f "$dir/template/.ready" ] && [ ! -f "$dir/unavailable" ]; then
  "$(dirname "$0")/environment.sh" start "$dir" >/dev/null
  started=$?
  [ $started = 0 ] || [ $started = 77 ] || exit 1
fi
if [ -f "$dir/unavailable" ]; then
  echo "run-test: skipped: $(cat "$dir/unavailable")"
  exit 77
fi
export WINEDEBUG=${WINEDEBUG:--all}
# No Gecko or Mono prompts; no Linux menu entries for the shortcuts tests make
# (the menu builder would write them outside the prefix).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[ -n "${DISPLAY:-}" ] || export DISPLAY=$(cat "$dir/display")
prefix=$(mktemp -d "$dir/run-$(basename "$exe" .exe)-XXXXXX")
cp -a "$dir/template/." "$prefix/"
export WINEPREFIX=$prefix
export PLOVE_WINE_PREFIX=$prefix
export PLOVE_TEST_DATA=${PLOVE_TEST_DATA:-}

timeout -k 10 "$limit" wine "$exe" "$@"
status=$?
[ $status = 124 ] && echo "run-test: $(basename "$exe") timed out after ${limit}s" >&2
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
[ "${PLOVE_KEEP_PREFIX:-0}" = 1 ] && echo "run-test: prefix kept at $prefix" >&2 || rm -rf "$prefix"
exit $status
