#!/bin/sh
# Builds the reference documentation of the public headers as `make docs` does, into a folder of
# its own, and fails on any doxygen warning: a public function, type or constant without a
# comment, or a comment that links to nothing. Exits 77 (skipped) when doxygen is not installed
# (scripts/install-deps.sh --docs installs it).
# Usage: check-docs.sh <source folder> <output folder>
set -eu
if ! command -v doxygen >/dev/null 2>&1; then
    echo "doxygen is not installed: documentation check skipped"
    exit 77
fi
source_dir=$1
output_dir=$2
mkdir -p "$output_dir"
log="$output_dir/warnings.log"
rm -f "$log"
cd "$source_dir"
status=0
{
    cat docs/Doxyfile
    echo "OUTPUT_DIRECTORY = $output_dir"
    echo "WARN_LOGFILE = $log"
} | doxygen - || status=$?
if [ "$status" -ne 0 ] || [ -s "$log" ]; then
    cat "$log" 2>/dev/null || true
    echo "doxygen found undocumented or wrongly documented declarations (status $status)"
    exit 1
fi
echo "public headers fully documented"
