#!/bin/sh
# Ctrl-C ends `velcor stream` cleanly: after the first per-second line, SIGINT makes the tool stop
# the stream, print its summary and exit with 0.
#   InterruptStream.sh <velcor> <output file>
velcor=$1
out=$2
rm -f "$out"
"$velcor" --simulate 1 stream >"$out" 2>&1 &
pid=$!
# The stream is running once it has printed its first line a second.
tries=0
until grep -q 'frames/s' "$out" 2>/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -gt 300 ] || ! kill -0 "$pid" 2>/dev/null; then
        echo "no per-second line from the stream"
        cat "$out"
        kill -KILL "$pid" 2>/dev/null
        exit 1
    fi
    sleep 0.1
done
kill -INT "$pid"
wait "$pid"
status=$?
cat "$out"
if [ "$status" -ne 0 ]; then
    echo "exit status $status, expected 0"
    exit 1
fi
if ! grep -q '^interrupted$' "$out" ||
    ! grep -Eq '^[0-9]+ frames in [0-9.]+ s: .* frames per second, 0 failed, [0-9]+ dropped' "$out"; then
    echo "no summary after the interrupt"
    exit 1
fi
