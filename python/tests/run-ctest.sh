#!/bin/sh
# The Python package's tests as `make test` runs them: install the package from a copy of its
# sources into a fresh virtual environment (over the system's numpy and pytest), then run pytest
# against the library named by VELCOR_LIBRARY.
#   run-ctest.sh PACKAGE_DIR WORK_DIR
# Exit 77 (skipped) when no Python with numpy, pytest, venv and pip is at hand.
set -eu
package=$1
work=$2

python=
for candidate in ${VELCOR_PYTHON:-} /usr/bin/python3 python3; do
  if command -v "$candidate" >/dev/null 2>&1 &&
     "$candidate" -c 'import numpy, pytest, venv, ensurepip' >/dev/null 2>&1; then
    python=$candidate
    break
  fi
done
if [ -z "$python" ]; then
  echo "skipped: no python3 with numpy, pytest, venv and pip (scripts/install-deps.sh installs them)"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work"
# pip builds in the source folder: build from a copy, so the work tree stays clean.
cp -R "$package" "$work/source"
rm -rf "$work/source/build" "$work/source"/*.egg-info
if ! "$python" -m venv --system-site-packages "$work/venv" >"$work/venv.log" 2>&1; then
  cat "$work/venv.log"
  echo "skipped: $python cannot make a virtual environment with pip"
  exit 77
fi
export PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INPUT=1
"$work/venv/bin/pip" install --quiet --no-index --no-build-isolation "$work/source"
# From outside the sources: the tests import the installed package.
cd "$work"
exec "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$work/source/tests"
