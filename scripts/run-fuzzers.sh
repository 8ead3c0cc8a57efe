#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz) and runs each for FUZZ_SECONDS seconds (default
# 30), as many at once as there are cores (FUZZ_JOBS), each on a working copy of its committed
# corpus in a temporary folder, so the tree is never changed. Fails when any target meets a
# crash, a leak, undefined behaviour, a time-out or a memory blow-up (an input running past 30 s
# counts as a hang); the input that did it is kept under build/fuzz/artifacts/<target>/. Prints
# each target's number of executions.
#
#   scripts/run-fuzzers.sh [target...]     (default: every folder of tests/fuzz/corpus/)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "FUZZ_SECONDS must be a whole number of seconds, not \"$seconds\"" >&2
  exit 2
fi
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for folder in tests/fuzz/corpus/*/; do targets+=("$(basename "$folder")"); done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="build/fuzz/artifacts"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# Runs one target; its log and exit status stay in its folder of $work.
fuzz_one() {
  local target="$1" binary="build/fuzz/tests/fuzz/fuzz_$1" corpus="$work/$1/corpus"
  local status=0
  "$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=30 \
    -artifact_prefix="$artifacts/$target/" "$corpus" >"$work/$target/log" 2>&1 || status=$?
  echo "$status" >"$work/$target/status"
}

# The targets run side by side, one per core.
jobs_max="${FUZZ_JOBS:-$(nproc)}"
for target in "${targets[@]}"; do
  binary="build/fuzz/tests/fuzz/fuzz_$target"
  seeds="tests/fuzz/corpus/$target"
  if [ ! -x "$binary" ] || [ ! -d "$seeds" ]; then
    echo "no fuzz target $target" >&2
    exit 2
  fi
  mkdir -p "$work/$target/corpus" "$artifacts/$target"
  cp -- "$seeds"/* "$work/$target/corpus"/
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do wait -n || true; done
  echo "fuzzing $target for $seconds s"
  fuzz_one "$target" &
done
wait

failed=()
results=()
for target in "${targets[@]}"; do
  log="$work/$target/log"
  status="$(cat "$work/$target/status")"
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "$target FAILED (exit $status); its input is in $artifacts/$target/" >&2
    failed+=("$target")
  fi
  results+=("$(printf '%-16s %12s executions%s' "$target" "${executions:-?}" \
    "$([ "$status" -ne 0 ] && echo '  FAILED')")")
done

echo
echo "fuzzing, $seconds s per target:"
printf '  %s\n' "${results[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
