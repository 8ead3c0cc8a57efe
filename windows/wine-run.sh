#!/usr/bin/env bash
# Runs a cross-built test program under Wine for CTest (the CMAKE_CROSSCOMPILING_EMULATOR of the
# Windows build). WINEPREFIX must name the build tree's private prefix. The output goes through
# a file: Wine's helper processes can keep a pipe open after the program ends, and CTest would
# wait on it.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the prefix the tests run in}"
export WINEDEBUG=-all
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"${VELCOR_WINE:-/usr/lib/wine/wine64}" "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
# A crash on a thread other than the main one can end the program with status 0 under Wine;
# Wine's report of the unhandled exception decides then.
if [ "$status" -eq 0 ] && grep -qE '^(wine: Unhandled|Unhandled exception)' "$out"; then
  status=1
fi
exit $status
