#!/usr/bin/env bash
# Runs the Windows build's tests (ctest --preset <preset>, windows-x64 unless the first argument
# names another) with a Wine prefix of the build tree's own: makes the prefix on first use, keeps
# one wineserver up for the whole run (instead of one started and stopped per test program) and
# stops it afterwards. The 32-bit build's programs run in the same kind of prefix through the
# 32-bit loader of wine32; without it only its tests that need no Wine run.
# The preview window's and dialogs' tests draw on a private X server (Xvfb on a display number
# it picks, 1920 x 1200 x 24) that lives as long as the run; without Xvfb they are skipped.
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
xvfb=
stop() {
  "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
}
trap stop EXIT
export DISPLAY=
if command -v Xvfb >/dev/null; then
  displays=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$displays" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 200); do [ -s "$displays" ] && break; sleep 0.05; done
  [ -s "$displays" ] && DISPLAY=":$(head -n1 "$displays")"
  rm -f "$displays"
fi
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # The prefix is made on the run's display, so that it knows the screen the windows go on from
  # the start; its wineserver is waited for before the run's own one starts. Output through a
  # file, as in wine-run.sh.
  log=$(mktemp)
  "$wine" wineboot --init >"$log" 2>&1 </dev/null || { cat "$log"; rm -f "$log"; exit 1; }
  rm -f "$log"
  "$wineserver" -w
fi
"$wineserver" -p
# Wine's windows unmanaged: with no window manager on the X server, each window that a managed
# setting hides or destroys would wait 2 s for a window manager's answer.
if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg"; then
  log=$(mktemp)
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >"$log" 2>&1 </dev/null ||
    { cat "$log"; rm -f "$log"; exit 1; }
  rm -f "$log"
fi
ctest --preset "$preset" "$@"
