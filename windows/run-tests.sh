#!/usr/bin/env bash
# Runs the Windows build's tests (ctest --preset <preset>, windows-x64 unless the first argument
# names another) with a Wine prefix of the build tree's own: makes the prefix on first use, keeps
# one wineserver up for the whole run (instead of one started and stopped per test program) and
# stops it afterwards. The 32-bit build's programs run in the same kind of prefix through the
# 32-bit loader of wine32; without it only its tests that need no Wine run.
set -euo pipefail
preset=windows-x64
case "${1:-}" in windows-*) preset=$1; shift ;; esac
build="$(cd "$(dirname "$0")/.." && pwd)/build/$preset"
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [ "$preset" = windows-x86 ]; then
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "no 32-bit Wine (wine32): the x86 DLL's export and import checks only"
    exec ctest --preset "$preset" -LE wine "$@"
  fi
  export VELCOR_WINE=/usr/lib/wine/wine
fi
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # No display here: the prefix is made without one, and its wineserver is waited for before the
  # run's own one starts. Output through a file, as in wine-run.sh.
  log=$(mktemp)
  DISPLAY= "$wine" wineboot --init >"$log" 2>&1 </dev/null || { cat "$log"; rm -f "$log"; exit 1; }
  rm -f "$log"
  "$wineserver" -w
fi
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
ctest --preset "$preset" "$@"
