#!/usr/bin/env bash
# Runs the Windows build's tests (ctest --preset windows-x64) with a Wine prefix of the build
# tree's own: makes the prefix on first use, keeps one wineserver up for the whole run (instead
# of one started and stopped per test program) and stops it afterwards.
set -euo pipefail
build="$(cd "$(dirname "$0")/.." && pwd)/build/windows-x64"
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # No display here: the prefix is made without one, and its wineserver is waited for before the
  # run's own one starts. Output through a file, as in wine-run.sh.
  log=$(mktemp)
  DISPLAY= "$wine" wineboot --init >"$log" 2>&1 </dev/null || { cat "$log"; rm -f "$log"; exit 1; }
  # Xvfb has no window manager: Wine then places its windows itself, instead of waiting for
  # one to map them (seconds per dialog).
  DISPLAY= "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >"$log" 2>&1 \
    </dev/null || { cat "$log"; rm -f "$log"; exit 1; }
  rm -f "$log"
  "$wineserver" -w
fi
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
ctest --preset windows-x64 "$@"
